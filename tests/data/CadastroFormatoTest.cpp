// The Cadastro.xml packet: the writer byte for byte, the reader's rules and failures, and a
// round trip over random tables.
#include "ArquivoCadastro.h"
#include "ExemploCadastro.h"
#include "RegistroTeste.h"
#include <QFile>
#include <QTemporaryDir>
#include <charconv>
#include <gtest/gtest.h>
#include <limits>
#include <random>

namespace {

QByteArray entre(const QByteArray &texto, const char *inicio, const char *fim) {
    const qsizetype i = texto.indexOf(inicio) + qsizetype(strlen(inicio));
    return texto.mid(i, texto.indexOf(fim, i) - i);
}

// The packet of a table with one field and one row holding `valor`.
QByteArray umValor(const TDefinicaoCampo &d, const Valor &valor) {
    TTabela t;
    t.AdicionarCampo(d);
    t.CriarDataSet();
    t.Adicionar({valor});
    return EscreverPacote(t);
}

TEST(EscreverPacote, TheFieldElementOfEachKind) {
    struct Caso {
        TDefinicaoCampo definicao;
        const char *esperado;
    };
    const Caso casos[] = {
        {campo("C", TipoCampo::TextoLargo, 20, true),
         R"(<FIELD attrname="C" fieldtype="string.uni" required="true" WIDTH="40"/>)"},
        {campo("C", TipoCampo::Texto, 20),
         R"(<FIELD attrname="C" fieldtype="string" WIDTH="20"/>)"},
        {campo("C", TipoCampo::Inteiro16), R"(<FIELD attrname="C" fieldtype="i2"/>)"},
        {campo("C", TipoCampo::Inteiro32), R"(<FIELD attrname="C" fieldtype="i4"/>)"},
        {campo("C", TipoCampo::Inteiro64), R"(<FIELD attrname="C" fieldtype="i8"/>)"},
        {campo("C", TipoCampo::Flutuante), R"(<FIELD attrname="C" fieldtype="r8"/>)"},
        {campo("C", TipoCampo::Flutuante, 0, true, true),
         R"(<FIELD attrname="C" fieldtype="r8" required="true" SUBTYPE="Money"/>)"},
        {campo("C", TipoCampo::Decimal, 2, true),
         R"(<FIELD attrname="C" fieldtype="fixed" required="true" DECIMALS="2" WIDTH="32"/>)"},
        {campo("C", TipoCampo::DecimalLongo, 6),
         R"(<FIELD attrname="C" fieldtype="fixedFMT" DECIMALS="6" WIDTH="32"/>)"},
        {campo("C", TipoCampo::Data), R"(<FIELD attrname="C" fieldtype="date"/>)"},
        {campo("C", TipoCampo::Hora), R"(<FIELD attrname="C" fieldtype="time"/>)"},
        {campo("C", TipoCampo::DataHora), R"(<FIELD attrname="C" fieldtype="dateTime"/>)"},
        {campo("C", TipoCampo::Booleano), R"(<FIELD attrname="C" fieldtype="boolean"/>)"},
        {campo("C", TipoCampo::Blob, 8),
         R"(<FIELD attrname="C" fieldtype="bin.hex" SUBTYPE="Binary" WIDTH="8"/>)"},
        {campo(QString::fromUtf8("PREÇO<"), TipoCampo::Inteiro32),
         R"(<FIELD attrname="PRE&#199;O&lt;" fieldtype="i4"/>)"},
    };
    for (const Caso &c : casos) {
        TTabela t;
        t.AdicionarCampo(c.definicao);
        t.CriarDataSet();
        EXPECT_EQ(entre(EscreverPacote(t), "<FIELDS>", "</FIELDS>"), c.esperado);
    }
}

TEST(EscreverPacote, TheWrittenFormOfEachValue) {
    struct Caso {
        TDefinicaoCampo definicao;
        Valor valor;
        QByteArray esperado; // the attribute's value
    };
    const auto largo = campo("V", TipoCampo::TextoLargo, 60);
    const auto simples = campo("V", TipoCampo::Texto, 60);
    const auto r8 = campo("V", TipoCampo::Flutuante);
    const auto fixed = campo("V", TipoCampo::Decimal, 2);
    const auto dataHora = campo("V", TipoCampo::DataHora);
    const QDate dia(2024, 1, 31);
    const Caso casos[] = {
        {largo, QString::fromUtf8("FEIJÃO & ARROZ"), "FEIJ&#195;O &amp; ARROZ"},
        {largo, QString::fromUtf8("<>&'\"\r\n\t\\"),
         "&lt;&gt;&amp;&apos;&quot;&#013;&#010;&#009;&#092;"},
        {largo, QString("a\x01z/"), "a\x01z/"}, // other controls unchanged
        {largo, QString::fromUtf8("€😀"), "&#8364;&#55357;&#56832;"},
        {largo, QString("123   "), "123   "},
        {largo, QString(""), ""},
        {simples, QByteArray("A\xC7\xC3O \"1\"\\<"), "A\xC7\xC3O &quot;1&quot;&#092;&lt;"},
        {simples, QByteArray("123   "), "123"},
        {campo("V", TipoCampo::Inteiro16), int64_t(-5), "-5"},
        {campo("V", TipoCampo::Inteiro32), int64_t(0), "0"},
        {campo("V", TipoCampo::Inteiro64), INT64_MIN, "-9223372036854775808"},
        {r8, 24.9, "24.9"},
        {r8, 5.0, "5"},
        {r8, 12.0, "12"},
        {r8, 0.5, "0.5"},
        {r8, 0.125, "0.125"},
        {r8, 1234.56, "1234.56"},
        {r8, 0.05, "5.e-002"},
        {r8, 0.0125, "1.25e-002"},
        {r8, 2.5e16, "2.5e+016"},
        {r8, 1e16, "1.e+016"},
        {r8, 1e15, "1000000000000000"},
        {r8, -24.9, "-24.9"},
        {r8, -0.05, "-5.e-002"},
        {r8, 0.0, "0"},
        {r8, 1.0 / 3, "0.3333333333333333"},
        {r8, 123456789012345678.0, "1.234567890123457e+017"},
        {r8, 1e-300, "1.e-300"},
        {fixed, Decimal{2490, 2}, "24.90"},
        {fixed, Decimal{50, 2}, "0.50"},
        {fixed, Decimal{-150, 2}, "-1.50"},
        {fixed, Decimal{0, 2}, "0.00"},
        {fixed, Decimal{123450, 2}, "1234.50"},
        {fixed, Decimal{-5, 2}, "-0.05"},
        {campo("V", TipoCampo::DecimalLongo, 6), Decimal{1, 6}, "0.000001"},
        {campo("V", TipoCampo::Decimal, 0), Decimal{12, 0}, "12"},
        {campo("V", TipoCampo::Data), dia, "20240131"},
        {campo("V", TipoCampo::Data), QDate(5, 3, 7), "00050307"},
        {campo("V", TipoCampo::Hora), QTime(14, 30, 5, 250), "14:30:05250"},
        {campo("V", TipoCampo::Hora), QTime(8, 0), "08:00:00000"},
        {dataHora, QDateTime(dia, QTime(0, 0), Qt::UTC), "20240131"},
        {dataHora, QDateTime(dia, QTime(0, 0, 1), Qt::UTC), "20240131T00:00:01000"},
        {dataHora, QDateTime(dia, QTime(14, 30, 5, 250), Qt::UTC), "20240131T14:30:05250"},
        {campo("V", TipoCampo::Booleano), true, "TRUE"},
        {campo("V", TipoCampo::Booleano), false, "FALSE"},
        {campo("V", TipoCampo::Blob, 8), QByteArray("\x00\x01\x02", 3), "AAEC"},
        {campo("V", TipoCampo::Blob, 8), QByteArray("hello"), "aGVsbG8="},
    };
    for (const Caso &c : casos) {
        SCOPED_TRACE(c.esperado.toStdString());
        EXPECT_EQ(entre(umValor(c.definicao, c.valor), "<ROW RowState=\"4\" V=\"", "\"/>"),
                  c.esperado);
    }
    EXPECT_EQ(entre(umValor(largo, Valor{}), "<ROWDATA>", "</ROWDATA>"), "<ROW RowState=\"4\"/>");
}

TEST(EscreverPacote, AnEmptyTableAndTheChangeLog) {
    TTabela t;
    t.AdicionarCampo(campo("N", TipoCampo::Inteiro32));
    t.CriarDataSet();
    EXPECT_EQ(EscreverPacote(t), "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET "
                                 "Version=\"2.0\"><METADATA><FIELDS><FIELD attrname=\"N\" "
                                 "fieldtype=\"i4\"/></FIELDS><PARAMS/></METADATA><ROWDATA>"
                                 "</ROWDATA></DATAPACKET>");
    for (int i = 1; i <= 3; ++i)
        t.Adicionar({int64_t(i)});
    t.IrPara(1);
    t.ApagarAtual();
    const QByteArray p = EscreverPacote(t);
    EXPECT_TRUE(p.contains("<PARAMS CHANGE_LOG=\"1 0 4 2 0 4 3 0 4 2 0 2\"/>"));
    EXPECT_TRUE(p.contains("<ROWDATA><ROW RowState=\"4\" N=\"1\"/><ROW RowState=\"6\" N=\"2\"/>"
                           "<ROW RowState=\"4\" N=\"3\"/></ROWDATA>"));
}

// ---------------------------------------------------------------- reading

// The same packet with line breaks, indentation, comments, processing instructions, other
// attribute orders, single quotes, hexadecimal references and an unused PARAM element.
const QByteArray ExemploEspalhado =
    "\r\n<?xml version='1.0'?>\n<!-- Produtos -->\n<DATAPACKET Version=\"2.0\">\n"
    "  <METADATA>\n    <FIELDS>\n"
    "      <FIELD WIDTH=\"40\" required=\"TRUE\" fieldtype=\"STRING.UNI\" attrname=\"CODIGO\" />\n"
    "      <FIELD fieldtype='string.uni' attrname='DESCRICAO' WIDTH='120'/>\n"
    "      <FIELD DECIMALS=\"2\" WIDTH=\"32\" attrname=\"PROMOCAO\" fieldtype=\"fixed\"></FIELD>\n"
    "      <FIELD required=\"true\" attrname=\"PRECO\" WIDTH=\"32\" DECIMALS=\"2\" "
    "fieldtype=\"fixed\"/>\n    </FIELDS>\n"
    "    <PARAMS CHANGE_LOG=\"1 0 4\n 2 0 4\"><PARAM Name=\"x\" Value=\"1\"/></PARAMS>\n"
    "  </METADATA>\n  <?pi data?>\n  <ROWDATA>\n"
    "    <ROW PRECO=\"24.90\" PROMOCAO=\"22.90\" RowState=\"4\" DESCRICAO=\"ARROZ TIPO 1 5KG\" "
    "CODIGO=\"7891000100103\"/>\n"
    "    <ROW RowState=\"4\" CODIGO=\"7891000200200\" DESCRICAO=\"A&#xC7;&#xda;CAR CRISTAL 1KG\" "
    "PRECO=\"4.79\" OUTRO=\"ignored\"/>\n  </ROWDATA>\n</DATAPACKET>\n<!-- end -->\n";

TEST(LerPacote, TheExampleAndItsEquivalentFormsReadAlike) {
    TTabela compacto, espalhado;
    LerPacote(Exemplo, compacto);
    LerPacote(ExemploEspalhado, espalhado);
    EXPECT_TRUE(compacto.Aberta());
    EXPECT_FALSE(compacto.Alterada());
    ASSERT_EQ(compacto.ContarCampos(), 4);
    EXPECT_EQ(compacto.Definicao(0), campo("CODIGO", TipoCampo::TextoLargo, 20, true));
    EXPECT_EQ(compacto.Definicao(3), campo("PRECO", TipoCampo::Decimal, 2, true));
    ASSERT_EQ(compacto.ContarLinhas(), 2);
    EXPECT_EQ(compacto.ValorEm(1, 1), Valor(QString::fromUtf8("AÇÚCAR CRISTAL 1KG")));
    EXPECT_EQ(compacto.ValorEm(1, 2), Valor{}); // absent attribute: NULL, not zero
    EXPECT_EQ(compacto.ValorEm(0, 3), Valor(Decimal{2490, 2}));
    EXPECT_EQ(EscreverPacote(compacto), Exemplo);
    EXPECT_EQ(EscreverPacote(espalhado), Exemplo);
    // Tabs are blanks too, between elements and between attributes.
    QByteArray comTabs = Exemplo;
    comTabs.replace("><", ">\t<").replace("\" ", "\"\t").replace("<ROW ", "<ROW\t");
    comTabs.replace("<FIELD ", "<FIELD\t");
    ASSERT_NE(comTabs, Exemplo);
    TTabela tabulado;
    LerPacote(comTabs, tabulado);
    EXPECT_EQ(EscreverPacote(tabulado), Exemplo);
}

// What the writer can produce reads back: the largest double (written rounded to 16 digits,
// just above it) and field names, which the reader refuses when they could not be written as
// attribute names of ROW.
TEST(LerPacote, WhatIsWrittenIsRead) {
    for (double maximo :
         {std::numeric_limits<double>::max(), -std::numeric_limits<double>::max()}) {
        TTabela t;
        t.AdicionarCampo({"R", TipoCampo::Flutuante, 0});
        t.CriarDataSet();
        t.Adicionar({maximo});
        const QByteArray pacote = EscreverPacote(t);
        EXPECT_TRUE(pacote.contains(maximo > 0 ? "R=\"1.797693134862316e+308\""
                                               : "R=\"-1.797693134862316e+308\""));
        TTabela lida;
        LerPacote(pacote, lida);
        EXPECT_EQ(lida.ValorEm(0, 0), Valor(maximo));
    }
    const char *nomes[] = {"A B",      "A/B",      "A=B",     "A&lt;B",   "A&gt;B",
                           "A&quot;B", "A&apos;B", "A&amp;B", "A&#092;B", "A&#009;B",
                           "RowState", "ROWSTATE", ""};
    for (const char *nome : nomes) {
        SCOPED_TRACE(nome);
        TTabela t;
        try {
            LerPacote("<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"" + QByteArray(nome) +
                          "\" fieldtype=\"i4\"/></FIELDS></METADATA><ROWDATA/></DATAPACKET>",
                      t);
            ADD_FAILURE() << "accepted";
        } catch (const ErroTabela &e) {
            EXPECT_TRUE(e.Mensagem().startsWith("Field name '")) << e.what();
            EXPECT_TRUE(e.Mensagem().endsWith("' cannot be stored in the file.")) << e.what();
        }
        EXPECT_FALSE(t.Aberta());
    }
}

TEST(LerPacote, BrokenPacketsAreRefusedWithTheirMessage) {
    const QByteArray inicio = "<DATAPACKET><METADATA><FIELDS>";
    const QByteArray fim = "</FIELDS><PARAMS/></METADATA><ROWDATA></ROWDATA></DATAPACKET>";
    const QString incompativel = "Mismatch in datapacket.";
    const QString tipoInvalido = "Invalid field type.";
    const std::pair<QByteArray, QString> casos[] = {
        {"", "Produtos: Missing data provider or data packet"},
        {"x" + Exemplo, incompativel},
        {"   \r\n", incompativel},
        {"<ROOT><METADATA/><ROWDATA/></ROOT>", incompativel},
        {"<DATAPACKET><METADATA/></DATAPACKET>", incompativel},     // no ROWDATA
        {Exemplo.left(Exemplo.size() - 13), incompativel},          // no </DATAPACKET>
        {Exemplo.left(Exemplo.size() - 1), incompativel},           // cut in a tag
        {inicio + "<FIELDS></FIELD>" + fim, incompativel},          // unbalanced
        {Exemplo + "<DATAPACKET/>", incompativel},                  // a second root
        {inicio + "<FIELD fieldtype=\"i4\"/>" + fim, incompativel}, // no attrname
        {inicio + "<FIELD attrname=\"A\"/>" + fim, tipoInvalido},
        {inicio + "<FIELD attrname=\"A\" fieldtype=\"ui4\"/>" + fim, tipoInvalido},
        {inicio + "<FIELD attrname=\"A\" fieldtype=\"r4\"/>" + fim, tipoInvalido},
        {inicio +
             "<FIELD attrname=\"A\" fieldtype=\"i4\"/><FIELD attrname=\"a\" "
             "fieldtype=\"i4\"/>" +
             fim,
         incompativel}, // repeated name
        {inicio + "<FIELD attrname=\"A\" fieldtype=\"string\"/>" + fim, incompativel}, // no WIDTH
        {"<DATAPACKET><METADATA><PARAMS CHANGE_LOG=\"1 0\"/></METADATA><ROWDATA/></DATAPACKET>",
         incompativel},
        {"<DATAPACKET><METADATA/><ROWDATA><ROW RowState=\"x\"/></ROWDATA></DATAPACKET>",
         incompativel},
        {"<DATAPACKET><!-- open comment", incompativel},
    };
    for (const auto &[pacote, mensagem] : casos) {
        SCOPED_TRACE(pacote.toStdString());
        TTabela t;
        try {
            LerPacote(pacote, t);
            ADD_FAILURE() << "accepted";
        } catch (const ErroTabela &e) {
            EXPECT_EQ(e.Mensagem(), mensagem);
        }
        EXPECT_FALSE(t.Aberta());
    }
}

TEST(LerPacote, MalformedValuesAreRefused) {
    const char *casos[][2] = {
        {"i4", "12a"},
        {"i2", "70000"},
        {"r8", "1,5"},
        {"fixed", "1.2.3"},
        {"date", "2024131"},
        {"date", "20240230"},
        {"date", "-0010101"}, // years outside 1..9999 have no four-digit form
        {"date", "00000101"},
        {"dateTime", "-0010101T10:00:00000"},
        {"r8", "1.797693134862317e+308"}, // beyond the largest double's 16-digit form
        {"time", "25:00:00000"},
        {"boolean", "yes"},
        {"bin.hex", "A*=="},
        {"string.uni", "&bogus;"},
        {"string.uni", "&#70000;"},
        {"string.uni", "a & b"},
    };
    for (const auto &c : casos) {
        SCOPED_TRACE(std::string(c[0]) + " " + c[1]);
        const QByteArray largura = QByteArray(c[0]).startsWith("string") ? " WIDTH=\"20\""
                                   : QByteArray(c[0]) == "fixed"         ? " DECIMALS=\"2\""
                                                                         : "";
        const QByteArray pacote =
            "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"V\" fieldtype=\"" + QByteArray(c[0]) +
            "\"" + largura + "/></FIELDS></METADATA><ROWDATA><ROW V=\"" + c[1] +
            "\"/></ROWDATA></DATAPACKET>";
        TTabela t;
        EXPECT_THROW(LerPacote(pacote, t), ErroTabela);
        EXPECT_FALSE(t.Aberta());
    }
}

// The encoding branch: a BOM or a declared and valid UTF-8 file is UTF-8; everything else is
// Windows-1252. References give UTF-16 code units (wide text) or bytes (single-byte text).
TEST(LerPacote, EncodingAndCharacterReferences) {
    auto pacote = [](const QByteArray &antes, const QByteArray &largo, const QByteArray &simples) {
        return antes +
               "<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"L\" fieldtype=\"string.uni\" "
               "WIDTH=\"40\"/><FIELD attrname=\"S\" fieldtype=\"string\" WIDTH=\"20\"/>"
               "</FIELDS></METADATA><ROWDATA><ROW L=\"" +
               largo + "\" S=\"" + simples + "\"/></ROWDATA></DATAPACKET>";
    };
    struct Caso {
        const char *nome;
        QByteArray pacote;
        QString largo;
        QByteArray simples;
    };
    const QByteArray declaraUtf8 = "<?xml version=\"1.0\" encoding=\"utf-8\"?>";
    const QByteArray referencias = "&#199;&#xC7;&#xc8;&lt;&gt;&amp;&apos;&quot;&#010;";
    const Caso casos[] = {
        {"code page", pacote("", "A\xC7\x80", "A\xC7\x80"), QString::fromUtf8("AÇ€"), "A\xC7\x80"},
        {"BOM", pacote("\xEF\xBB\xBF", "A\xC3\x87\xE2\x82\xAC", "A\xC3\x87\xE2\x82\xAC"),
         QString::fromUtf8("AÇ€"), "A\xC7\x80"},
        {"declared and valid", pacote(declaraUtf8, "A\xC3\x87", "A\xC3\x87"),
         QString::fromUtf8("AÇ"), "A\xC7"},
        {"declared, not valid", pacote(declaraUtf8, "A\xC7", "A\xC7"), QString::fromUtf8("AÇ"),
         "A\xC7"},
        {"references", pacote("", referencias, referencias), QString::fromUtf8("ÇÇÈ<>&'\"\n"),
         "\xC7\xC7\xC8<>&'\"\n"},
        {"code units", pacote("", "&#x20AC;&#55357;&#56832;", ""), QString::fromUtf8("€😀"), ""},
    };
    for (const Caso &c : casos) {
        SCOPED_TRACE(c.nome);
        TTabela t;
        LerPacote(c.pacote, t);
        EXPECT_EQ(t.ValorEm(0, 0), Valor(c.largo));
        EXPECT_EQ(t.ValorEm(0, 1), Valor(c.simples));
    }
    TTabela t; // a single-byte text reference must name a byte
    EXPECT_THROW(LerPacote(pacote("", "", "&#8364;"), t), ErroTabela);
}

TEST(LerPacote, RowStatesAndTheChangeLogAreRead) {
    TTabela t;
    LerPacote("<DATAPACKET><METADATA><FIELDS><FIELD attrname=\"N\" fieldtype=\"i4\"/></FIELDS>"
              "<PARAMS CHANGE_LOG=\"2 0 2\"/></METADATA><ROWDATA><ROW N=\"1\"/>"
              "<ROW RowState=\"2\" N=\"2\"/><ROW RowState=\"6\" N=\"3\"/><ROWX N=\"4\"/>"
              "</ROWDATA></DATAPACKET>",
              t);
    ASSERT_EQ(t.LinhasGuardadas().size(), 4u);
    EXPECT_EQ(t.LinhasGuardadas()[0].estado, 0);
    ASSERT_EQ(t.ContarLinhas(), 2);
    EXPECT_EQ(t.ValorEm(1, 0), Valor(int64_t(4)));
    EXPECT_EQ(t.Log(), (std::vector<TEntradaLog>{{2, 0, 2}}));
    // A state-0 row is written without RowState.
    EXPECT_TRUE(EscreverPacote(t).contains("<ROWDATA><ROW N=\"1\"/><ROW RowState=\"2\" N=\"2\"/>"));
    // Deleting it makes it a deleted unchanged row: state 2, not 6.
    t.IrPara(0);
    t.ApagarAtual();
    const QByteArray depois = EscreverPacote(t);
    EXPECT_TRUE(depois.contains("<ROWDATA><ROW RowState=\"2\" N=\"1\"/>")) << depois.toStdString();
    EXPECT_TRUE(depois.contains("CHANGE_LOG=\"2 0 2 1 0 2\"")) << depois.toStdString();
}

// ---------------------------------------------------------------- round trip

Valor valorAleatorio(std::mt19937_64 &g, const TDefinicaoCampo &d) {
    auto ate = [&](int64_t n) { return int64_t(g() % uint64_t(n)); };
    if (ate(5) == 0)
        return {};
    auto texto = [&](int n) {
        QString s;
        const char16_t especiais[] = {u'<',  u'>', u'&', u'\'',  u'"',   u'\r', u'\n', u'\t',
                                      u'\\', u'Ç', u'€', 0xD83D, 0xDE00, 1,     127};
        for (int i = ate(n + 1); i > 0; --i)
            s += ate(3) == 0 ? QChar(especiais[ate(std::size(especiais))])
                             : QChar(char16_t(32 + ate(95)));
        return s;
    };
    switch (d.tipo) {
    case TipoCampo::TextoLargo:
        return texto(d.tamanho);
    case TipoCampo::Texto: {
        QByteArray b;
        for (int i = ate(d.tamanho + 1); i > 0; --i)
            b += char(1 + ate(255));
        return b;
    }
    case TipoCampo::Inteiro16:
        return ate(65536) - 32768;
    case TipoCampo::Inteiro32:
        return ate(int64_t(1) << 32) - (int64_t(1) << 31);
    case TipoCampo::Inteiro64:
        return int64_t(g());
    case TipoCampo::Flutuante: {
        // Up to 15 significant digits: the 16-digit form then reads back to the same double.
        const std::string texto = std::to_string(ate(999999999999999) * (ate(2) ? 1 : -1)) + "e" +
                                  std::to_string(ate(40) - 30);
        double f = 0;
        std::from_chars(texto.data(), texto.data() + texto.size(), f);
        return f;
    }
    case TipoCampo::Decimal:
    case TipoCampo::DecimalLongo:
        return Decimal{int64_t(g()) / int64_t(ate(1000000) + 1), d.tamanho};
    case TipoCampo::Data:
        return QDate(int(1 + ate(9999)), int(1 + ate(12)), int(1 + ate(28)));
    case TipoCampo::Hora:
        return QTime(0, 0).addMSecs(int(ate(86400000)));
    case TipoCampo::DataHora:
        return QDateTime(QDate(int(1 + ate(9999)), 2, 3),
                         ate(3) ? QTime(0, 0).addMSecs(int(ate(86400000))) : QTime(0, 0), Qt::UTC);
    case TipoCampo::Booleano:
        return ate(2) == 1;
    case TipoCampo::Blob: {
        QByteArray b;
        for (int i = ate(20); i > 0; --i)
            b += char(ate(256));
        return b;
    }
    }
    return {};
}

TEST(LerPacote, RandomTablesSurviveAWriteAndARead) {
    const TipoCampo tipos[] = {TipoCampo::TextoLargo, TipoCampo::Texto,        TipoCampo::Inteiro16,
                               TipoCampo::Inteiro32,  TipoCampo::Inteiro64,    TipoCampo::Flutuante,
                               TipoCampo::Decimal,    TipoCampo::DecimalLongo, TipoCampo::Data,
                               TipoCampo::Hora,       TipoCampo::DataHora,     TipoCampo::Booleano,
                               TipoCampo::Blob};
    for (uint64_t semente = 1; semente <= 200; ++semente) {
        SCOPED_TRACE(semente);
        std::mt19937_64 g(semente);
        TTabela original;
        const int campos = int(1 + g() % 6);
        for (int i = 0; i < campos; ++i) {
            const TipoCampo tipo = tipos[g() % std::size(tipos)];
            int tamanho = 0;
            if (tipo == TipoCampo::TextoLargo || tipo == TipoCampo::Texto)
                tamanho = int(1 + g() % 30);
            else if (tipo == TipoCampo::Decimal)
                tamanho = int(g() % 5);
            else if (tipo == TipoCampo::DecimalLongo)
                tamanho = int(5 + g() % 10);
            else if (tipo == TipoCampo::Blob)
                tamanho = 8;
            original.AdicionarCampo(campo("F" + QString::number(i) + (g() % 2 ? "_Ç" : ""), tipo,
                                          tamanho, false, tipo == TipoCampo::Flutuante && g() % 2));
        }
        original.CriarDataSet();
        for (int n = int(g() % 20); n > 0; --n) {
            std::vector<Valor> linha;
            for (int i = 0; i < campos; ++i)
                linha.push_back(valorAleatorio(g, original.Definicao(i)));
            original.Adicionar(linha);
            if (g() % 4 == 0)
                original.ApagarAtual();
        }
        const QByteArray primeiro = EscreverPacote(original);
        TTabela lida;
        LerPacote(primeiro, lida);
        EXPECT_EQ(EscreverPacote(lida), primeiro);
        ASSERT_EQ(lida.LinhasGuardadas().size(), original.LinhasGuardadas().size());
        for (size_t i = 0; i < lida.LinhasGuardadas().size(); ++i)
            EXPECT_EQ(lida.LinhasGuardadas()[i], original.LinhasGuardadas()[i]);
        EXPECT_EQ(lida.Log(), original.Log());
    }
}

} // namespace
