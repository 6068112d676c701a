#pragma once
// The terminal library's thirteen functions as a table, so that the program loads them by name
// from pqtLurma beside the executable and tests fill the table with fakes.
#include "pqtLurma.h"
#include <QString>

using TIntQS62K = LurmaFunctions; // declared with the functions, in pqtLurma.h

// Loads pqtLurma from Pasta and resolves every function. Throws std::runtime_error naming the
// file when the library or one of its functions is missing.
TIntQS62K CarregarIntQS62K(const QString &Pasta);
