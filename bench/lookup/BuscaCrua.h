#pragma once
// The references of the benchmarks: the fewest classic-API calls that do the product lookup or
// the register listing (attach, start, prepare, execute, fetch, commit, detach). Throw on a
// Firebird error.
#include <QByteArray>
#include <cstdint>

// The raw PRECO column of the row found (0 when none).
int64_t buscaCrua(const QByteArray &nome, const char *codigo);
// Fetches every row of the register statement into the XSQLDA's buffers; returns the count.
int listagemCrua(const QByteArray &nome);

// An idle attachment (no transaction, no statement) with the same parameters: while it lives the
// database stays open, so the lookups' own attaches do not open and close it.
class AnexoOciosoCru {
public:
    explicit AnexoOciosoCru(const QByteArray &nome);
    ~AnexoOciosoCru();
    AnexoOciosoCru(const AnexoOciosoCru &) = delete;
    AnexoOciosoCru &operator=(const AnexoOciosoCru &) = delete;

private:
    unsigned FHandle = 0;
};
