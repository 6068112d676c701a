#include "Cp1252.h"

#include <gtest/gtest.h>

#include <iconv.h>


namespace {

// glibc's iconv from Windows-1252 to UTF-32, closed when it goes.
class Iconv {
public:
    Iconv() : cd(iconv_open("UTF-32LE", "CP1252")) {}
    ~Iconv() {
        if (aberto())
            iconv_close(cd);
    }
    bool aberto() const { return cd != iconv_t(-1); }
    // The Unicode character of one byte; 0xFFFF when iconv has none.
    char32_t caractere(unsigned char byte) {
        char in = static_cast<char>(byte);
        unsigned char out[4] = {};
        char *entrada = &in, *saida = reinterpret_cast<char *>(out);
        size_t resta = 1, cabe = sizeof out;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &entrada, &resta, &saida, &cabe) == size_t(-1))
            return 0xFFFF;
        return char32_t(out[0]) | char32_t(out[1]) << 8 | char32_t(out[2]) << 16 |
               char32_t(out[3]) << 24;
    }

private:
    iconv_t cd;
};

// Every byte both ways against the Unicode mapping; the five bytes the code page leaves
// unassigned are the C1 controls of the same number by our design.
TEST(Cp1252, EveryByteMapsAsIconvsCp1252) {
    Iconv iconv;
    ASSERT_TRUE(iconv.aberto()) << "iconv has no CP1252";
    for (int b = 0; b < 256; ++b) {
        const bool semCaractere = b == 0x81 || b == 0x8D || b == 0x8F || b == 0x90 || b == 0x9D;
        const char32_t esperado =
            semCaractere ? char32_t(b) : iconv.caractere(static_cast<unsigned char>(b));
        ASSERT_NE(esperado, 0xFFFFu) << "iconv has no character for " << b;
        const QString texto = DeCp1252(QByteArray(1, static_cast<char>(b)));
        ASSERT_EQ(texto.size(), 1) << b;
        EXPECT_EQ(char32_t(texto[0].unicode()), esperado) << "byte " << b;
        EXPECT_EQ(ParaCp1252(texto), QByteArray(1, static_cast<char>(b))) << "byte " << b;
    }
}

TEST(Cp1252, EveryByteRoundTrips) {
    QByteArray todos;
    for (int b = 0; b < 256; ++b)
        todos += static_cast<char>(b);
    const QString texto = DeCp1252(todos);
    ASSERT_EQ(texto.size(), 256);
    EXPECT_EQ(ParaCp1252(texto), todos);
    // Distinct bytes give distinct characters.
    for (int a = 0; a < 256; ++a)
        for (int b = a + 1; b < 256; ++b)
            ASSERT_NE(texto[a], texto[b]) << a << " " << b;
}

TEST(Cp1252, KnownCharactersMapToTheirBytes) {
    const std::pair<char16_t, unsigned char> casos[] = {
        {u'A', 0x41},   {0x20AC, 0x80}, {0x0081, 0x81}, {0x008D, 0x8D}, {0x008F, 0x8F},
        {0x0090, 0x90}, {0x009D, 0x9D}, {0x2122, 0x99}, {0x0178, 0x9F}, {0x00C7, 0xC7},
        {0x00E3, 0xE3}, {0x00FF, 0xFF}, {0x00A0, 0xA0},
    };
    for (const auto &[c, b] : casos) {
        EXPECT_EQ(ParaCp1252(QString(QChar(c))), QByteArray(1, char(b))) << int(c);
        EXPECT_EQ(DeCp1252(QByteArray(1, char(b))), QString(QChar(c))) << int(b);
    }
}

TEST(Cp1252, ACharacterWithoutAByteBecomesAQuestionMark) {
    EXPECT_EQ(ParaCp1252(QString::fromUtf8("a\u4E2Db")), "a?b");
    EXPECT_EQ(ParaCp1252(QString(QChar(0x0080))), "?"); // C1 control that has a character
    EXPECT_EQ(ParaCp1252(QString::fromUtf8("x\U0001F600y")), "x?y"); // one character, one '?'
    EXPECT_EQ(ParaCp1252(QString(QChar(0xD800))), "?");
    EXPECT_EQ(ParaCp1252(""), "");
}

} // namespace
