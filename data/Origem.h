#pragma once
// A result set that the register copies from: its columns as the database declares them,
// the current row, and a forward walk over the rows.
#include "Valor.h"
#include <QString>
#include <vector>

struct CampoOrigem {
    QString nome;    // as the server names the column (alias included)
    int tipoSql = 0; // Firebird SQL_* type, without the NULL flag bit
    int subtipo = 0; // BLOB subtype (1 = text); for integers 1/2 = NUMERIC/DECIMAL
    int tamanho = 0; // declared length: sqllen, but a text's characters over a UTF8 attachment
    int escala = 0;  // 0 or negative: number of decimals is -escala
    bool anulavel = true;
};

class Origem {
public:
    virtual ~Origem() = default;
    virtual bool Aberta() const = 0;
    virtual int Dialeto() const = 0; // SQL dialect of the database (1 or 3)
    virtual const std::vector<CampoOrigem> &Campos() const = 0;
    virtual void Primeiro() = 0; // back to the first row (a no-op right after opening)
    virtual void Proximo() = 0;
    virtual bool Fim() const = 0;
    virtual Valor ValorEm(int indice) const = 0; // of the current row; NULL as std::monostate
};
