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
