#pragma once
// Readable QString values in GoogleTest messages.
#include <QString>
#include <ostream>

inline std::ostream &operator<<(std::ostream &Saida, const QString &Texto) {
    return Saida << '"' << Texto.toStdString() << '"';
}
