#pragma once
// What the grid shows for a value: its plain form, or a number display format such as
// ",##0.00" applied with a locale's separators.
#include "Tabela.h"
#include <QLocale>
#include <QString>

// A display format: "," anywhere groups the integer digits; the characters after "." give
// the number of decimals. Rounding is ties away from zero on the exact decimal value, and for
// floating values on their shortest decimal form (0.125 and 1.005 give "0.13" and "1.01").
// A value that rounds to zero shows no minus sign.
QString FormatarNumero(const Valor &valor, const QString &formato, const QLocale &local);

// The separator that a time format puts between the hours and the minutes, quotes removed;
// ":" when it has none or when it holds letters (fr_CA's "HH 'h' mm" would give "13 h 49 h 36"
// once the seconds follow).
QString SeparadorHora(const QString &FormatoHora);

// The text of one cell: NULL is empty; a number with a display format goes through
// FormatarNumero; a date-time shows the locale's short form, with its seconds after the minutes
// when they are not zero; everything else shows its plain value.
QString TextoExibicao(const Valor &valor, const TDefinicaoCampo &definicao, const QString &formato,
                      const QLocale &local);
