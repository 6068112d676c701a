#pragma once
// The product table the lookup benchmarks measure against: 10 000 priced products with
// 13-digit codes from 7890000000000, CODIGO indexed as in a shop's database.
#include "BancoTeste.h"

#include <QStringList>

inline QStringList ItensMedidos() {
    return {criarItens({.codigo = "VARCHAR(13)"}), "CREATE INDEX IX_ITENS_CODIGO ON ITENS (CODIGO)",
            "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 10000) DO BEGIN "
            "INSERT INTO ITENS VALUES (7890000000000 + :I, "
            "'PRODUTO ' || :I, 0, :I / 100.0 + 1, NULL); I = I + 1; END END"};
}
