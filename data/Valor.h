#pragma once
// One value of a database column or of a register cell. Decimals stay exact: the unscaled
// integer and the number of decimals, never a binary floating point on the way.
#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>
#include <cstdint>
#include <variant>

struct Decimal {
    int64_t unscaled = 0; // value * 10^decimals
    int decimals = 0;     // 0 and up
    bool operator==(const Decimal &) const = default;
};

// std::monostate is NULL. QByteArray holds single-byte (Windows-1252) text and BLOB bytes;
// the field's kind tells which.
using Valor = std::variant<std::monostate, QString, QByteArray, int64_t, double, Decimal, QDate,
                           QTime, QDateTime, bool>;

inline bool EhNulo(const Valor &v) {
    return std::holds_alternative<std::monostate>(v);
}
