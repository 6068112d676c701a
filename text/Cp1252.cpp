#include "Cp1252.h"

#include <array>

namespace {

// Bytes 0x80..0x9F; the unassigned 0x81, 0x8D, 0x8F, 0x90, 0x9D keep their own number.
constexpr std::array<char16_t, 32> Alto80 = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char paraByte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return static_cast<char>(c);
    for (size_t i = 0; i < Alto80.size(); ++i)
        if (Alto80[i] == c)
            return static_cast<char>(0x80 + i);
    return '?';
}

} // namespace

QByteArray paraCp1252(const QString &texto) {
    QByteArray r;
    r.reserve(texto.size());
    for (qsizetype i = 0; i < texto.size(); ++i) {
        const QChar c = texto[i];
        // A character outside the BMP is one character: one '?', not two.
        if (c.isHighSurrogate() && i + 1 < texto.size() && texto[i + 1].isLowSurrogate())
            ++i;
        r += paraByte(c.unicode());
    }
    return r;
}

QString deCp1252(const QByteArray &bytes) {
    QString r(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        r[i] = QChar(b >= 0x80 && b < 0xA0 ? Alto80[b - 0x80] : char16_t(b));
    }
    return r;
}
