// The small pure routines of the terminal service: centring, description line, price text, time
// text.
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
        // A character outside the Basic Multilingual Plane is one column, not two.
        {"\U0001F600", 20, QByteArray(10, ' ') + "?" + QByteArray(9, ' ')},
        {"A\U0001F600B", 20, QByteArray(9, ' ') + "A?B" + QByteArray(8, ' ')},
    };
    for (const auto &c : casos)
        EXPECT_EQ(Centralizar(c.texto, c.largura), c.esperado) << c.texto.toStdString();
}

TEST(LinhaDescricao, CentresOnlyWhatHasFewerCharactersThanTheLine) {
    const struct {
        QString texto;
        QByteArray esperado;
    } casos[] = {
        {"ABCDEFGHIJKLMNOPQRS", " ABCDEFGHIJKLMNOPQRS"},
        {"ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNOPQRST"},
        {"DESCRICAO COM TRINTA CARACTERE", "DESCRICAO COM TRINTA CARACTERE"}, // sent whole
        // 19 characters in 20 UTF-16 units: still shorter than the line.
        {"ABCDEFGHIJKLMNOPQR\U0001F600", " ABCDEFGHIJKLMNOPQR?"},
    };
    for (const auto &c : casos)
        EXPECT_EQ(LinhaDescricao(c.texto), c.esperado) << c.texto.toStdString();
}

class LocaleTexts : public ::testing::Test {
protected:
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
};

TEST_F(LocaleTexts, PriceIsLocaleCurrencyWithTwoDecimalsRoundedHalfAwayFromZero) {
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

// Locales whose money text holds characters without a Windows-1252 byte: the terminal gets
// their look-alikes, never '?'.
TEST_F(LocaleTexts, PriceTextHasOnlyCharactersTheTerminalCanShow) {
    const struct {
        QLocale locale;
        int64_t preco;
        QString esperado;
    } casos[] = {
        {QLocale(QLocale::Portuguese, QLocale::Brazil), 249000, "R$ 24,90"},
        {QLocale(QLocale::French, QLocale::France), 12345678900, "1 234 567,89 \u20AC"},
        {QLocale(QLocale::Swedish, QLocale::Sweden), -125000, "-12,50 kr"},
    };
    for (const auto &c : casos) {
        QLocale::setDefault(c.locale);
        const QString texto = TextoPreco(c.preco);
        SCOPED_TRACE(c.locale.name().toStdString() + " " + texto.toStdString());
        EXPECT_EQ(texto, c.esperado);
        EXPECT_EQ(Centralizar(texto, 40).count('?'), 0); // every character has a byte
    }
}

// A separator that holds letters gives ":" (fr_CA's "HH 'h' mm" would give "09 h 05 h 07").
TEST_F(LocaleTexts, TimeUsesTheLocaleSeparatorWithTwoDigitsEach) {
    const QTime hora(9, 5, 7);
    const struct {
        const char *local;
        QTime hora;
        const char *texto;
    } casos[] = {
        {"en_US", hora, "09:05:07"},
        {"en_US", QTime(23, 59, 0), "23:59:00"}, // 24-hour, whatever the locale's AM/PM
        {"fi_FI", hora, "09.05.07"},
        {"fr_CA", hora, "09:05:07"},
        {"bg_BG", hora, "09:05:07"}, // "H:mm 'ч'.": the letters follow the minutes
        {"ko_KR", hora, "09:05:07"}, // "AP h:mm": the letters stand before the hours
    };
    for (const auto &k : casos) {
        QLocale::setDefault(QLocale(QString::fromLatin1(k.local)));
        EXPECT_EQ(TextoHora(k.hora), k.texto) << k.local;
    }
}

} // namespace
