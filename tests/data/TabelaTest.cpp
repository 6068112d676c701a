// The register table: row states and change log, stored value rules, sort, display updates,
// the column type table, titles and the ",##0.00" display format.
#include "Tabela.h"
#include "CopiarDataSet.h"
#include "Formato.h"
#include "RegistroTeste.h"
#include <QTimeZone>
#include <gtest/gtest.h>
#include <ibase.h>

namespace {

void abrirProdutos(TTabela &t) {
    t.AdicionarCampo(campo("CODIGO", TipoCampo::TextoLargo, 20, true));
    t.AdicionarCampo(campo("PRECO", TipoCampo::Decimal, 2));
    t.CriarDataSet();
}

std::vector<QString> codigosVisiveis(const TTabela &t) {
    std::vector<QString> r;
    for (int i = 0; i < t.ContarLinhas(); ++i)
        r.push_back(std::get<QString>(t.ValorEm(i, 0)));
    return r;
}

TEST(TTabela, RowStatesAndTheChangeLog) {
    TTabela t;
    abrirProdutos(t);
    EXPECT_FALSE(t.Alterada());
    for (const char *c : {"A", "B", "C"})
        t.Adicionar({QString(c), Decimal{100, 2}});
    EXPECT_TRUE(t.Alterada());
    t.IrPara(1);
    t.ApagarAtual();
    EXPECT_EQ(codigosVisiveis(t), (std::vector<QString>{"A", "C"}));
    EXPECT_EQ(t.NumeroRegistro(t.LinhaAtual()), 3); // the next row becomes current
    ASSERT_EQ(t.LinhasGuardadas().size(), 3u);
    EXPECT_EQ(t.LinhasGuardadas()[1].estado, 6);
    EXPECT_EQ(t.Log(), (std::vector<TEntradaLog>{{1, 0, 4}, {2, 0, 4}, {3, 0, 4}, {2, 0, 2}}));

    t.Esvaziar(); // fields stay, record numbers start again
    EXPECT_EQ(t.ContarCampos(), 2);
    EXPECT_TRUE(t.LinhasGuardadas().empty());
    EXPECT_TRUE(t.Log().empty());
    EXPECT_TRUE(t.Alterada());
    t.Adicionar({QString("D"), {}});
    EXPECT_EQ(t.Log(), (std::vector<TEntradaLog>{{1, 0, 4}}));
}

TEST(TTabela, DeletingWithoutARowDoesNothing) {
    TTabela t;
    abrirProdutos(t);
    t.ApagarAtual();
    EXPECT_TRUE(t.Log().empty());
    EXPECT_FALSE(t.Alterada());
    EXPECT_EQ(t.LinhaAtual(), -1);
}

TEST(TTabela, ValuesAreStoredByTheirFieldsKind) {
    struct Caso {
        const char *nome;
        TDefinicaoCampo definicao;
        Valor entrada;
        Valor esperado;
    };
    const QDate dia(2024, 1, 31);
    const Caso casos[] = {
        {"single-byte text cut, blanks dropped", campo("T", TipoCampo::Texto, 5),
         QByteArray("ABCDEFG"), QByteArray("ABCDE")},
        {"single-byte text trailing blanks", campo("T", TipoCampo::Texto, 6), QByteArray("123   "),
         QByteArray("123")},
        {"single-byte text from Unicode", campo("T", TipoCampo::Texto, 20),
         QString::fromUtf8("AÇÃO  "), QByteArray("A\xC7\xC3O")},
        {"wide text keeps blanks", campo("T", TipoCampo::TextoLargo, 6), QString("123   "),
         QString("123   ")},
        {"decimal rescaled up", campo("D", TipoCampo::Decimal, 2), Decimal{125, 1},
         Decimal{1250, 2}},
        {"decimal tie away from zero", campo("D", TipoCampo::Decimal, 2), Decimal{-12345, 3},
         Decimal{-1235, 2}},
        {"floating into decimal by its digits", campo("D", TipoCampo::Decimal, 2), 24.9,
         Decimal{2490, 2}},
        {"integer into decimal", campo("D", TipoCampo::DecimalLongo, 6), int64_t(7),
         Decimal{7000000, 6}},
        {"decimal into floating", campo("F", TipoCampo::Flutuante), Decimal{2490, 2}, 24.9},
        {"date into date-time", campo("DT", TipoCampo::DataHora), dia,
         QDateTime(dia, QTime(0, 0), Qt::UTC)},
        {"NULL stays NULL", campo("I", TipoCampo::Inteiro16), Valor{}, Valor{}},
        {"decimal of the field's size kept", campo("D", TipoCampo::Decimal, 2), Decimal{-5, 2},
         Decimal{-5, 2}},
        {"single-byte text into wide text", campo("T", TipoCampo::TextoLargo, 4),
         QByteArray("\xC7"), QString::fromUtf8("Ç")},
        {"date-time moved to UTC", campo("DT", TipoCampo::DataHora),
         QDateTime(dia, QTime(10, 0), QTimeZone(3600)), QDateTime(dia, QTime(10, 0), Qt::UTC)},
    };
    // Both ways in: the conversion itself, and a row added to a table of that one field.
    for (const Caso &c : casos) {
        SCOPED_TRACE(c.nome);
        EXPECT_EQ(ConverterValor(c.entrada, c.definicao), c.esperado);
        TTabela t;
        t.AdicionarCampo(c.definicao);
        t.CriarDataSet();
        t.Adicionar({c.entrada});
        EXPECT_EQ(t.LinhasGuardadas().at(0).valores.at(0), c.esperado);
    }
    const std::pair<TDefinicaoCampo, Valor> recusados[] = {
        {campo("I", TipoCampo::Inteiro16), int64_t(40000)},
        {campo("I", TipoCampo::Inteiro32), QString("x")},
        {campo("D", TipoCampo::Decimal, 2), Decimal{INT64_MAX, 0}},
        {campo("T", TipoCampo::TextoLargo, 4), int64_t(1)},
    };
    for (const auto &[definicao, valor] : recusados) {
        EXPECT_THROW(ConverterValor(valor, definicao), ErroTabela);
        TTabela t;
        t.AdicionarCampo(definicao);
        t.CriarDataSet();
        EXPECT_THROW(t.Adicionar({valor}), ErroTabela);
    }

    TTabela t;
    abrirProdutos(t);
    EXPECT_THROW(t.Adicionar({Valor{}, Decimal{1, 2}}), ErroTabela); // CODIGO is required
    EXPECT_TRUE(t.Log().empty());
}

TEST(TTabela, BadFieldDefinitionsAreRefused) {
    TTabela t;
    t.AdicionarCampo(campo("CODIGO", TipoCampo::TextoLargo, 20));
    EXPECT_THROW(t.AdicionarCampo(campo("codigo", TipoCampo::Inteiro32)), ErroTabela);
    EXPECT_THROW(t.AdicionarCampo(campo("", TipoCampo::Inteiro32)), ErroTabela);
    EXPECT_THROW(t.AdicionarCampo(campo("X", TipoCampo::Decimal, 19)), ErroTabela);
    t.CriarDataSet();
    EXPECT_THROW(t.AdicionarCampo(campo("Y", TipoCampo::Inteiro32)), ErroTabela);
    EXPECT_EQ(t.ContarCampos(), 1);
}

// Stable ascending sort; NULL first; text without regard to letter case; deleted rows out.
TEST(TTabela, SortIsStableAscendingWithNullsFirst) {
    TTabela t;
    abrirProdutos(t);
    t.Adicionar({QString("b"), Decimal{500, 2}});
    t.Adicionar({QString("A"), Decimal{100, 2}});
    t.Adicionar({QString("c"), {}});
    t.Adicionar({QString("d"), Decimal{100, 2}});
    t.Adicionar({QString("e"), Decimal{50, 2}});
    t.IrPara(0); // "b"
    t.OrdenarPor(1);
    EXPECT_EQ(codigosVisiveis(t), (std::vector<QString>{"c", "e", "A", "d", "b"}));
    EXPECT_EQ(std::get<QString>(t.ValorEm(t.LinhaAtual(), 0)), "b"); // same record stays current
    t.OrdenarPor(1);
    EXPECT_EQ(codigosVisiveis(t), (std::vector<QString>{"c", "e", "A", "d", "b"}));
    t.OrdenarPor(0);
    EXPECT_EQ(codigosVisiveis(t), (std::vector<QString>{"A", "b", "c", "d", "e"}));
    t.IrPara(2);
    t.ApagarAtual();
    t.Adicionar({QString("B"), Decimal{1, 2}}); // a new row takes its place in the sort
    EXPECT_EQ(codigosVisiveis(t), (std::vector<QString>{"A", "b", "B", "d", "e"}));
    EXPECT_EQ(t.LinhasGuardadas()[5].estado, 4); // storage stays in record order
}

struct Observador : TObservadorTabela {
    int inicios = 0, fins = 0;
    void InicioMudanca() override { ++inicios; }
    void FimMudanca() override {
        ++fins;
        EXPECT_EQ(inicios, fins);
    }
};

TEST(TTabela, SuspendedUpdatesCostOneRefresh) {
    TTabela t;
    abrirProdutos(t);
    Observador o;
    t.DefinirObservador(&o);
    t.Adicionar({QString("A"), {}});
    EXPECT_EQ(o.fins, 1);
    t.DesabilitarControles();
    t.DesabilitarControles();
    for (int i = 0; i < 100; ++i)
        t.Adicionar({QString::number(i), {}});
    t.HabilitarControles();
    EXPECT_EQ(o.fins, 1); // still suspended
    t.HabilitarControles();
    EXPECT_EQ(o.inicios, 2);
    EXPECT_EQ(o.fins, 2);
    t.DefinirObservador(nullptr);
}

CampoOrigem coluna(int tipo, int tamanho = 0, int escala = 0, int subtipo = 0,
                   bool anulavel = true) {
    return CampoOrigem{"C", tipo, subtipo, tamanho, escala, anulavel};
}

TEST(DefinicaoDe, EachFirebirdTypeGetsItsFieldKind) {
    struct Caso {
        const char *nome;
        CampoOrigem coluna;
        int dialeto;
        TipoCampo tipo;
        int tamanho;
        bool requerido;
    };
    const Caso casos[] = {
        {"VARCHAR(60)", coluna(SQL_VARYING, 60), 3, TipoCampo::TextoLargo, 60, false},
        {"CHAR(6) NOT NULL", coluna(SQL_TEXT, 6, 0, 0, false), 3, TipoCampo::TextoLargo, 6, true},
        {"SMALLINT", coluna(SQL_SHORT, 2), 3, TipoCampo::Inteiro16, 0, false},
        {"INTEGER", coluna(SQL_LONG, 4), 3, TipoCampo::Inteiro32, 0, false},
        {"BIGINT", coluna(SQL_INT64, 8), 3, TipoCampo::Inteiro64, 0, false},
        {"NUMERIC(15,2)", coluna(SQL_INT64, 8, -2), 3, TipoCampo::Decimal, 2, false},
        {"NUMERIC(9,4) dialect 1", coluna(SQL_LONG, 4, -4), 1, TipoCampo::Decimal, 4, false},
        {"NUMERIC(18,6)", coluna(SQL_INT64, 8, -6), 3, TipoCampo::DecimalLongo, 6, false},
        {"NUMERIC(9,6) dialect 3", coluna(SQL_LONG, 4, -6), 3, TipoCampo::DecimalLongo, 6, false},
        {"NUMERIC(9,6) dialect 1", coluna(SQL_LONG, 4, -6), 1, TipoCampo::Flutuante, 0, false},
        {"NUMERIC(15,2) dialect 1 (double)", coluna(SQL_DOUBLE, 8, -2), 1, TipoCampo::Flutuante, 0,
         false},
        {"FLOAT", coluna(SQL_FLOAT, 4), 3, TipoCampo::Flutuante, 0, false},
        {"DATE", coluna(SQL_TYPE_DATE, 4), 3, TipoCampo::Data, 0, false},
        {"DATE dialect 1", coluna(SQL_TYPE_DATE, 4), 1, TipoCampo::DataHora, 0, false},
        {"TIME", coluna(SQL_TYPE_TIME, 4), 3, TipoCampo::Hora, 0, false},
        {"TIMESTAMP", coluna(SQL_TIMESTAMP, 8), 3, TipoCampo::DataHora, 0, false},
        {"BOOLEAN", coluna(SQL_BOOLEAN, 1), 3, TipoCampo::Booleano, 0, false},
        {"BLOB SUB_TYPE TEXT", coluna(SQL_BLOB, 8, 0, 1), 3, TipoCampo::Texto, 20, false},
        {"BLOB", coluna(SQL_BLOB, 8, 0, 0), 3, TipoCampo::Blob, 8, false},
    };
    for (const Caso &c : casos) {
        SCOPED_TRACE(c.nome);
        const auto d = DefinicaoDe(c.coluna, c.dialeto);
        ASSERT_TRUE(d);
        EXPECT_EQ(d->tipo, c.tipo);
        EXPECT_EQ(d->tamanho, c.tamanho);
        EXPECT_EQ(d->requerido, c.requerido);
    }
    EXPECT_FALSE(DefinicaoDe(coluna(SQL_ARRAY, 8), 3));
}

TEST(Titulos, TraduzirTituloGivesThePortugueseTitles) {
    const std::pair<QString, QString> casos[] = {
        {"CODIGO", "Código"},
        {"descricao", "Descrição"},
        {"  PRECO ", "Preço"},
        {"promocao", "Promoção"},
        {"VALOR_VENDA", "Valor_venda"},
        {"Preço", "Preço"},
        {"PRECO DE CUSTO", "Preco de Custo"},
    };
    for (const auto &[entrada, esperado] : casos)
        EXPECT_EQ(TraduzirTitulo(entrada), esperado) << entrada.toStdString();
}

TEST(Titulos, AjustarCamposTwiceIsTheSameAsOnce) {
    TTabela t;
    for (const char *nome : {"CODIGO", "DESCRICAO", "PROMOCAO", "PRECO"})
        t.AdicionarCampo(campo(nome, nome[0] == 'P' ? TipoCampo::Decimal : TipoCampo::TextoLargo,
                               nome[0] == 'P' ? 2 : 20));
    t.AdicionarCampo(campo("QTD", TipoCampo::Inteiro32));
    t.AdicionarCampo(campo("PESO", TipoCampo::Flutuante));
    AjustarCampos(t); // closed: nothing
    EXPECT_EQ(t.Campo(0).titulo, "CODIGO");
    t.CriarDataSet();
    AjustarCampos(t);
    AjustarCampos(t);
    const char *titulos[] = {"Código", "Descrição", "Promoção", "Preço", "Qtd", "Peso"};
    const char *formatos[] = {"", "", ",##0.00", ",##0.00", "", ",##0.00"};
    for (int i = 0; i < t.ContarCampos(); ++i) {
        EXPECT_EQ(t.Campo(i).titulo, QString::fromUtf8(titulos[i]));
        EXPECT_EQ(t.Campo(i).formato, formatos[i]);
    }
}

TEST(Formato, CommaHashZeroPointZeroZeroFollowsTheLocale) {
    const QLocale brasil(QLocale::Portuguese, QLocale::Brazil);
    const QLocale eua(QLocale::English, QLocale::UnitedStates);
    const QString f = ",##0.00";
    struct Caso {
        Valor valor;
        const char *brasil;
    };
    const Caso casos[] = {
        {Decimal{123450, 2}, "1.234,50"},
        {Decimal{-1234567891, 3}, "-1.234.567,89"},
        {Decimal{0, 2}, "0,00"},
        {Decimal{5, 3}, "0,01"},  // tie away from zero
        {Decimal{-4, 3}, "0,00"}, // no minus on a zero result
        {Decimal{-5, 3}, "-0,01"},
        {Decimal{99999, 3}, "100,00"},
        {0.125, "0,13"}, // floating: its shortest decimal form is rounded
        {1.005, "1,01"},
        {24.9, "24,90"},
        {-1e20, "-100.000.000.000.000.000.000,00"},
        {int64_t(1234), "1.234,00"},
    };
    for (const Caso &c : casos)
        EXPECT_EQ(FormatarNumero(c.valor, f, brasil), QString::fromUtf8(c.brasil)) << c.brasil;
    EXPECT_EQ(FormatarNumero(Decimal{123450, 2}, f, eua), "1,234.50");
    EXPECT_EQ(FormatarNumero(Valor{}, f, brasil), "");
}

// The locale's short form, with the seconds after the minutes when they are not zero, joined by
// the hours' separator (":" when that holds letters).
TEST(Formato, ADateTimeCellShowsItsSecondsWhenTheyAreNotZero) {
    const QDate dia(2024, 1, 31);
    const struct {
        const char *local;
        QTime hora;
        const char *texto;
    } casos[] = {
        {"pt_BR", QTime(14, 30), "31/01/2024 14:30"},
        {"pt_BR", QTime(14, 30, 5), "31/01/2024 14:30:05"},
        {"pt_BR", QTime(14, 30, 0, 250), "31/01/2024 14:30"},
        {"en_US", QTime(14, 30, 5), "1/31/24 2:30:05 PM"},
        {"fi_FI", QTime(14, 30, 5), "31.1.2024 14.30.05"},
        {"bg_BG", QTime(14, 30, 5), "31.01.24 \u0433. 14:30:05 \u0447."},
        {"fr_CA", QTime(14, 30, 5), "2024-01-31 14 h 30:05"},
    };
    const TDefinicaoCampo definicao = campo("QUANDO", TipoCampo::DataHora);
    for (const auto &k : casos) {
        const QString texto = TextoExibicao(QDateTime(dia, k.hora, Qt::UTC), definicao, QString(),
                                            QLocale(QString::fromLatin1(k.local)));
        EXPECT_EQ(texto, QString::fromUtf8(k.texto)) << k.local << " " << texto.toStdString();
    }
}

TEST(Formato, ACellsTextFollowsItsFieldsFormat) {
    TTabela t;
    t.AdicionarCampo(campo("CODIGO", TipoCampo::TextoLargo, 20));
    t.AdicionarCampo(campo("PRECO", TipoCampo::Decimal, 2));
    t.AdicionarCampo(campo("QTD", TipoCampo::Inteiro32));
    t.CriarDataSet();
    t.Adicionar({QString("A"), Decimal{123450, 2}, int64_t(12345)});
    t.Adicionar({{}, {}, {}});
    const QLocale brasil(QLocale::Portuguese, QLocale::Brazil);
    EXPECT_EQ(t.TextoExibido(0, 1, brasil), "1234,50"); // plain before AjustarCampos
    AjustarCampos(t);
    EXPECT_EQ(t.TextoExibido(0, 0, brasil), "A");
    EXPECT_EQ(t.TextoExibido(0, 1, brasil), "1.234,50");
    EXPECT_EQ(t.TextoExibido(0, 2, brasil), "12345"); // integers have no format
    for (int c = 0; c < 3; ++c)
        EXPECT_EQ(t.TextoExibido(1, c, brasil), "");
}

} // namespace
