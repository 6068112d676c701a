#pragma once
// The reference lookup of the benchmarks: the fewest classic-API calls that do the product
// lookup (attach, start, prepare, execute, fetch, commit, detach). Throws on a Firebird error.
#include <QByteArray>
#include <cstdint>

// The raw PRECO column of the row found (0 when none).
int64_t buscaCrua(const QByteArray &nome, const char *codigo);
