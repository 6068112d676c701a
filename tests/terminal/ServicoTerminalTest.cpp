// The small pure routines of the terminal service: centring, description line, price text, time
// text.
#include "ServicoTerminal.h"
#include "Cp1252.h"
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
        // Control characters from the database are blanks: C0, DEL and C1.
        {"LINHA\r\nDUAS\x1B[2J", "   LINHA  DUAS [2J  "},
        {QString("A") + QChar(0) + QChar(0x7F) + QChar(0x81) + QChar(0x9D) + "B",
         QByteArray(7, ' ') + "A    B" + QByteArray(7, ' ')},
        {"DESCRICAO LONGA\tCOM\tTABULACOES\r\n", "DESCRICAO LONGA COM TABULACOES  "},
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
    const QString brasil = TextoPreco(125000).value_or("");
    EXPECT_TRUE(brasil.startsWith("R$")) << brasil.toStdString();
    EXPECT_TRUE(brasil.endsWith("12,50")) << brasil.toStdString();
}

// A price is never cut: wider than the line, it loses its blanks, then its currency sign, then
// its grouping; none when even that does not fit.
TEST_F(LocaleTexts, PriceWiderThanTheLineLosesWhatCarriesNoDigitBeforeItsGrouping) {
    const struct {
        QLocale::Language lingua;
        QLocale::Territory pais;
        int64_t preco;
        int largura;
        std::optional<QString> esperado;
    } casos[] = {
        // 20 characters fit as they are; 21 lose the blank; 26 lose blanks, sign and grouping.
        {QLocale::Portuguese, QLocale::Brazil, 999999999999900, 20, "R$ 99.999.999.999,99"},
        {QLocale::Portuguese, QLocale::Brazil, 1000000000000000, 20, "R$100.000.000.000,00"},
        {QLocale::Portuguese, QLocale::Brazil, INT64_MIN, 20, "-922337203685477,58"},
        {QLocale::Portuguese, QLocale::Brazil, INT64_MAX, 20, "922337203685477,58"},
        {QLocale::English, QLocale::UnitedStates, INT64_MAX, 20, "922337203685477.58"},
        {QLocale::English, QLocale::UnitedStates, INT64_MIN, 20, "(922337203685477.58)"},
        {QLocale::English, QLocale::UnitedStates, 99999999999990000, 20, "9,999,999,999,999.00"},
        {QLocale::Portuguese, QLocale::Brazil, 125000, 7, "R$12,50"},
        {QLocale::Portuguese, QLocale::Brazil, 125000, 5, "12,50"},
        {QLocale::Portuguese, QLocale::Brazil, 12345000, 7, "1234,50"},
        {QLocale::Portuguese, QLocale::Brazil, 125000, 4, std::nullopt},
    };
    for (const auto &c : casos) {
        QLocale::setDefault(QLocale(c.lingua, c.pais));
        SCOPED_TRACE(std::to_string(c.preco) + " in " + std::to_string(c.largura));
        EXPECT_EQ(TextoPreco(c.preco, c.largura), c.esperado);
    }
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
        // Digits or a currency sign without bytes: Latin digits, the ISO code.
        {QLocale(QLocale::Arabic, QLocale::Egypt), 12345678900, "1,234,567.89 EGP"},
        {QLocale(QLocale::Arabic, QLocale::Egypt), -125000, "-12.50 EGP"},
        {QLocale(QLocale::Persian, QLocale::Iran), 12345678900, "IRR 1,234,567.89"},
        {QLocale(QLocale::Persian, QLocale::Iran), -125000, "(IRR 12.50)"},
        {QLocale(QLocale::Hindi, QLocale::India), 12345678900, "INR 12,34,567.89"},
        {QLocale(QLocale::Japanese, QLocale::Japan), 12345678900, "JPY 1,234,567.89"},
        {QLocale(QLocale::Chinese, QLocale::China), 125000, "\u00A512.50"}, // a sign with a byte
    };
    for (const auto &c : casos) {
        QLocale::setDefault(c.locale);
        const QString texto = TextoPreco(c.preco).value_or("(none)");
        SCOPED_TRACE(c.locale.name().toStdString() + " " + texto.toStdString());
        EXPECT_EQ(texto, c.esperado);
        EXPECT_EQ(Centralizar(texto, 40).count('?'), 0); // every character has a byte
    }
}

// Whatever the locale, the line shows every digit of the price, in Latin digits, and only
// characters that the terminal has.
TEST_F(LocaleTexts, EveryLocalesPriceFitsTheLineWithAllItsDigits) {
    const std::pair<int64_t, QString> precos[] = {
        {INT64_MIN, "92233720368547758"},
        {INT64_MAX, "92233720368547758"},
        {-125000, "1250"},
        {12345678900, "123456789"},
    };
    const QList<QLocale> locais =
        QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyTerritory);
    ASSERT_GT(locais.size(), 100);
    for (const QLocale &local : locais) {
        QLocale::setDefault(local);
        for (const auto &[preco, digitos] : precos) {
            const std::optional<QString> texto = TextoPreco(preco);
            SCOPED_TRACE(local.name().toStdString() + " " + std::to_string(preco) + " " +
                         texto.value_or("(none)").toStdString());
            ASSERT_TRUE(texto);
            QString lidos;
            for (const QChar ch : *texto)
                if (ch >= u'0' && ch <= u'9')
                    lidos += ch;
            EXPECT_EQ(lidos, digitos);
            EXPECT_EQ(DeCp1252(ParaCp1252(*texto)), *texto);
        }
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
