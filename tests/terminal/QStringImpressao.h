#pragma once
// Readable QString values in GoogleTest failure messages.
#include <QString>
#include <ostream>

inline void PrintTo(const QString &Texto, std::ostream *Saida) {
    *Saida << '"' << Texto.toStdString() << '"';
}
