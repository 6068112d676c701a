#pragma once
// Windows-1252, the single-byte text of the terminals, the database and the register file: the
// one table of the project, plain C++ so that the terminal library (no Qt) and the program's
// converter share it. Every byte has a character: the five that Windows-1252 leaves unassigned
// (0x81, 0x8D, 0x8F, 0x90, 0x9D) have the C1 control of the same number, so a round trip
// never loses a byte.
#include <array>

namespace cp1252 {

// The code point of every byte.
inline constexpr std::array<char16_t, 256> Caracteres = [] {
    constexpr char16_t De80a9F[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    std::array<char16_t, 256> tabela{};
    for (int b = 0; b < 256; ++b)
        tabela[b] = b >= 0x80 && b < 0xA0 ? De80a9F[b - 0x80] : char16_t(b);
    return tabela;
}();

// The byte of a code point, or -1 when Windows-1252 has none.
constexpr int Byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return int(c);
    for (int b = 0x80; b < 0xA0; ++b)
        if (Caracteres[b] == c)
            return b;
    return -1;
}

} // namespace cp1252
