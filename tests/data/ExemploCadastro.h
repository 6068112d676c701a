#pragma once
// The register file of two products that a listing writes: the reference for the writer and
// the reader tests.
#include <QByteArray>

inline const QByteArray Exemplo =
    "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
    "<FIELD attrname=\"CODIGO\" fieldtype=\"string.uni\" required=\"true\" WIDTH=\"40\"/>"
    "<FIELD attrname=\"DESCRICAO\" fieldtype=\"string.uni\" WIDTH=\"120\"/>"
    "<FIELD attrname=\"PROMOCAO\" fieldtype=\"fixed\" DECIMALS=\"2\" WIDTH=\"32\"/>"
    "<FIELD attrname=\"PRECO\" fieldtype=\"fixed\" required=\"true\" DECIMALS=\"2\" "
    "WIDTH=\"32\"/></FIELDS><PARAMS CHANGE_LOG=\"1 0 4 2 0 4\"/></METADATA><ROWDATA>"
    "<ROW RowState=\"4\" CODIGO=\"7891000100103\" DESCRICAO=\"ARROZ TIPO 1 5KG\" "
    "PROMOCAO=\"22.90\" PRECO=\"24.90\"/><ROW RowState=\"4\" CODIGO=\"7891000200200\" "
    "DESCRICAO=\"A&#199;&#218;CAR CRISTAL 1KG\" PRECO=\"4.79\"/></ROWDATA></DATAPACKET>";
