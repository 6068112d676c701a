#include "Cp1252.h"

#include <gtest/gtest.h>

namespace {

TEST(Cp1252, TodosOsBytesIdaEVolta) {
    QByteArray todos;
    for (int b = 0; b < 256; ++b)
        todos += static_cast<char>(b);
    const QString texto = deCp1252(todos);
    ASSERT_EQ(texto.size(), 256);
    EXPECT_EQ(paraCp1252(texto), todos);
    // Distinct bytes give distinct characters.
    for (int a = 0; a < 256; ++a)
        for (int b = a + 1; b < 256; ++b)
            ASSERT_NE(texto[a], texto[b]) << a << " " << b;
}

TEST(Cp1252, CaracteresConhecidos) {
    const std::pair<char16_t, unsigned char> casos[] = {
        {u'A', 0x41},   {0x20AC, 0x80}, {0x0081, 0x81}, {0x008D, 0x8D}, {0x008F, 0x8F},
        {0x0090, 0x90}, {0x009D, 0x9D}, {0x2122, 0x99}, {0x0178, 0x9F}, {0x00C7, 0xC7},
        {0x00E3, 0xE3}, {0x00FF, 0xFF}, {0x00A0, 0xA0},
    };
    for (const auto &[c, b] : casos) {
        EXPECT_EQ(paraCp1252(QString(QChar(c))), QByteArray(1, char(b))) << int(c);
        EXPECT_EQ(deCp1252(QByteArray(1, char(b))), QString(QChar(c))) << int(b);
    }
}

TEST(Cp1252, SemByteViraInterrogacao) {
    EXPECT_EQ(paraCp1252(QString::fromUtf8("a\u4E2Db")), "a?b");
    EXPECT_EQ(paraCp1252(QString(QChar(0x0080))), "?"); // C1 control that has a character
    EXPECT_EQ(paraCp1252(QString::fromUtf8("x\U0001F600y")), "x?y"); // one character, one '?'
    EXPECT_EQ(paraCp1252(QString(QChar(0xD800))), "?");
    EXPECT_EQ(paraCp1252(""), "");
}

} // namespace
