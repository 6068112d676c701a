#pragma once
// Exact decimal text: the one place where Decimal values meet digits (file, display, copy).
#include "Valor.h"
#include <string>
#include <string_view>

// "-" when negative, the integer part without leading zeros, and when decimals > 0 a "." and
// exactly that many digits: {-150, 2} gives "-1.50". Never uses the locale.
std::string escreverDecimal(const Decimal &valor);
// The same form into `destino`, which holds at least MaxTextoDecimal bytes; returns its end.
constexpr size_t MaxTextoDecimal = 48;
char *escreverDecimal(const Decimal &valor, char *destino);

// Reads [-+]digits[.digits] (digits on at least one side of the point); the result keeps as
// many decimals as were written. False on any other form or when it does not fit in 64 bits.
bool lerDecimal(std::string_view texto, Decimal &valor);

// Rescales to the given number of decimals, ties away from zero; false on overflow.
bool reescalar(const Decimal &entrada, int decimais, Decimal &saida);
