#include "UComum.h"

#include <gtest/gtest.h>

namespace {

struct CasoReplicar {
    QString texto;
    int vezes;
    QString esperado;
};

TEST(UComum, Replicar) {
    const CasoReplicar casos[] = {
        {"ab", 3, "ababab"}, {"ab", 1, "ab"}, {"ab", 0, ""}, {"ab", -2, ""}, {"", 5, ""},
    };
    for (const auto &c : casos)
        EXPECT_EQ(Replicar(c.texto, c.vezes), c.esperado) << c.texto.toStdString() << c.vezes;
}

TEST(UComum, Espacos) {
    EXPECT_EQ(Espacos(16), QString(16, u' '));
    EXPECT_EQ(Espacos(0), "");
    EXPECT_EQ(Espacos(-1), "");
}

struct CasoSubstituir {
    QString texto, antigo, novo, esperado;
};

TEST(UComum, Substituir) {
    const CasoSubstituir casos[] = {
        {"a-A-b", "a", "x", "x-x-b"},
        {"ão", "ÃO", "x", "ão"}, // accented letters compare exactly
        {"AÇÃO", "ação", "x", "AÇÃO"},
        {"aaa", "a", "aa", "aaaaaa"}, // Novo is not searched again
        {"aaa", "aa", "b", "ba"},
        {"1¶2", "z", "-", "1-2"}, // an existing marker is replaced too
        {"1¶2", "", "-", "1-2"},  // even with an empty Antigo
        {"abc", "", "-", "abc"},
        {"", "a", "b", ""},
        {"Café COM leite", " ", "Þ", "CaféÞCOMÞleite"},
        {"xYz", "XyZ", "", ""},
        {"ab", "abc", "x", "ab"},
        // No caller does this; it must only end.
        {"a¶b", "¶", "¶¶", "a¶¶b"},
        {"ab", "a", "¶", "¶b"},
    };
    for (const auto &c : casos)
        EXPECT_EQ(Substituir(c.texto, c.antigo, c.novo), c.esperado)
            << c.texto.toStdString() << " / " << c.antigo.toStdString();
}

TEST(UComum, Minusculas) {
    const std::pair<QString, QString> casos[] = {
        {"AÇÃO ÉPICA Ö", "ação épica Ö"},
        {"ÁÂÃÀÉÊÍÓÔÕÚÜÛÇÑ", "áâãàéêíóôõúüûçñ"},
        {"ÈÖÞ XYZ abc 123", "ÈÖÞ xyz abc 123"},
        {"", ""},
    };
    for (const auto &[texto, esperado] : casos)
        EXPECT_EQ(Minusculas(texto), esperado) << texto.toStdString();
}

struct CasoCapitalizar {
    QString texto;
    bool curto;
    QString esperado;
};

TEST(UComum, Capitalizar) {
    const CasoCapitalizar casos[] = {
        {"  CAFÉ COM LEITE  ", true, "Café com Leite"},
        {"ÁGUA DE COCO", true, "água de Coco"},
        {"NÃO PARA", true, "não para"},
        {"NAO DAS DOS POR SIM", true, "nao das dos por sim"},
        {"PARAFUSO DO SIM", true, "Parafuso do sim"},
        {"de", true, "De"},
        {"de", false, "de"},
        {"x", true, "X"},
        {"x", false, "x"},
        {"A  B", true, "a  b"},
        {"", true, ""},
        {" \t\r\n ", true, ""},
        {"PRECO", true, "Preco"},
        {"DESCRICAO", false, "Descricao"},
        {"1ABC", true, "1abc"},
        {"PRECOÞVENDA", true, "Preco Venda"}, // an existing word marker splits
        {"PRECO¶VENDA", true, "Preco Venda"}, // and so does a replacement marker
        // Characters, not UTF-16 units: a character outside the BMP counts once.
        {"a\U0001F600", false, "a\U0001F600"},
        {"a\U0001F600", true, "A\U0001F600"}, // two characters: the short rule applies
        {"X\U0001F600 ABC", false, "x\U0001F600 Abc"},
        {"\U0001F600\U0001F600", true, "\U0001F600\U0001F600"},
    };
    for (const auto &c : casos)
        EXPECT_EQ(Capitalizar(c.texto, c.curto), c.esperado) << c.texto.toStdString();
}

TEST(UComum, Trim) {
    const std::pair<QString, QString> casos[] = {
        {" code\r\n", "code"},
        {QString(QChar(1)) + "a b" + QChar(31), "a b"},
        {"\x7f"
         "a",
         "\x7f"
         "a"}, // only codes 32 and below
        {QString(QChar(0xA0)) + "a", QString(QChar(0xA0)) + "a"},
        {"   ", ""},
        {"", ""},
    };
    for (const auto &[texto, esperado] : casos)
        EXPECT_EQ(Trim(texto), esperado) << texto.toStdString();
}

} // namespace
