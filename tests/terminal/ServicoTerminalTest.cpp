// The small pure routines of the terminal service: centring, price text, time text.
#include "ServicoTerminal.h"
#include "QStringImpressao.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

struct CasoCentralizar {
    QString texto;
    int largura;
    QByteArray esperado;
};

TEST(Centralizar, CentresCutsAndConvertsToSingleByte) {
    const CasoCentralizar casos[] = {
        {"ABCD", 20, QByteArray(8, ' ') + "ABCD" + QByteArray(8, ' ')},
        {"ABC", 20, QByteArray(9, ' ') + "ABC" + QByteArray(8, ' ')},
        {"", 20, QByteArray(20, ' ')},
        {"ABCDEFGHIJKLMNOPQRS", 20, " ABCDEFGHIJKLMNOPQRS"},
        {"ABCDEFGHIJKLMNOPQRST", 20, "ABCDEFGHIJKLMNOPQRST"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXY", 20, "ABCDEFGHIJKLMNOPQRST"},
        {"Ação", 8, QByteArray("  A\xE7\xE3o  ")}, // Windows-1252 bytes, one per character
        {"X", 1, "X"},
    };
    for (const auto &c : casos)
        EXPECT_EQ(Centralizar(c.texto, c.largura), c.esperado) << c.texto.toStdString();
}

class ComLocale : public ::testing::Test {
protected:
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

TEST_F(ComLocale, PriceIsLocaleCurrencyWithTwoDecimalsRoundedHalfAwayFromZero) {
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(TextoPreco(125000), "$12.50");
    EXPECT_EQ(TextoPreco(0), "$0.00");
    EXPECT_EQ(TextoPreco(12345678900), "$1,234,567.89");
    EXPECT_EQ(TextoPreco(125), "$0.01");    // 0.0125
    EXPECT_EQ(TextoPreco(150), "$0.02");    // 0.015: half goes up
    EXPECT_EQ(TextoPreco(-150), "($0.02)"); // down for a negative one, in its negative form

    QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    const QString brasil = TextoPreco(125000);
    EXPECT_TRUE(brasil.startsWith("R$")) << brasil.toStdString();
    EXPECT_TRUE(brasil.endsWith("12,50")) << brasil.toStdString();
}

TEST_F(ComLocale, TimeUsesTheLocaleSeparatorWithTwoDigitsEach) {
    const QTime hora(9, 5, 7);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(TextoHora(hora), "09:05:07");
    EXPECT_EQ(TextoHora(QTime(23, 59, 0)), "23:59:00"); // 24-hour, whatever the locale's AM/PM
    QLocale::setDefault(QLocale(QLocale::Finnish, QLocale::Finland));
    EXPECT_EQ(TextoHora(hora), "09.05.07");
}

} // namespace
