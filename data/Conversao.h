#pragma once
// Reading a database value as text or as money (ten-thousandths of the currency unit).
#include "Valor.h"

#include <QString>
#include <cstdint>

// NULL gives an empty text; numbers their decimal text with "."; text as delivered.
QString ComoTexto(const Valor &v);
// NULL gives 0. Integers and decimals of up to four places exactly; more places to the nearest
// ten-thousandth (halves away from zero); floating point: its exact value times 10000 to the
// nearest, halves to even, rounded once.
// Other kinds, NaN and values out of range raise std::range_error.
int64_t ComoDinheiro(const Valor &v);
