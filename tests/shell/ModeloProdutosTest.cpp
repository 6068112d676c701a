// The grid's model over the register table: titles, display format with the locale's
// separators, NULL as an empty cell, read-only cells, the current-row marker and its sync
// with the view.
#include "ModeloProdutos.h"
#include "CopiarDataSet.h"
#include "QStringImpressao.h"
#include "RegistroTeste.h"

#include <QSignalSpy>
#include <QTableView>
#include <gtest/gtest.h>

namespace {

class ModeloProdutos : public ::testing::Test {
protected:
    TTabela tabela;
    void SetUp() override {
        definirCamposDaListagem(tabela);
        tabela.AdicionarCampo({"ESTOQUE", TipoCampo::Inteiro32});
        tabela.CriarDataSet();
        tabela.Adicionar(
            {QString("002"), QString("ARROZ"), Valor{}, Decimal{123450, 2}, int64_t(7)});
        tabela.Adicionar(
            {QString("001"), QString("FEIJÃO"), Decimal{-99, 2}, Decimal{100000000, 2}, Valor{}});
        AjustarCampos(tabela);
    }
    static QString texto(const TModeloProdutos &m, int linha, int coluna) {
        return m.data(m.index(linha, coluna), Qt::DisplayRole).toString();
    }
};

TEST_F(ModeloProdutos, TitlesFormatsAndNullsWithTheLocalesSeparators) {
    const struct {
        QLocale local;
        QStringList linha0, linha1;
    } casos[] = {
        {QLocale(QLocale::Portuguese, QLocale::Brazil),
         {"002", "ARROZ", "", "1.234,50", "7"},
         {"001", "FEIJÃO", "-0,99", "1.000.000,00", ""}},
        {QLocale(QLocale::English, QLocale::UnitedStates),
         {"002", "ARROZ", "", "1,234.50", "7"},
         {"001", "FEIJÃO", "-0.99", "1,000,000.00", ""}},
    };
    for (const auto &k : casos) {
        TModeloProdutos m(tabela, k.local);
        ASSERT_EQ(m.rowCount(), 2);
        ASSERT_EQ(m.columnCount(), 5);
        QStringList titulos, l0, l1;
        for (int c = 0; c < 5; ++c) {
            titulos << m.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
            l0 << texto(m, 0, c);
            l1 << texto(m, 1, c);
        }
        EXPECT_EQ(titulos, QStringList({"Código", "Descrição", "Promoção", "Preço", "Estoque"}));
        EXPECT_EQ(l0, k.linha0) << k.local.name();
        EXPECT_EQ(l1, k.linha1) << k.local.name();
    }
}

TEST_F(ModeloProdutos, CellsAreReadOnlyAndNumbersRightAligned) {
    TModeloProdutos m(tabela);
    for (int c = 0; c < 5; ++c) {
        const QModelIndex i = m.index(0, c);
        EXPECT_FALSE(m.flags(i) & Qt::ItemIsEditable);
        EXPECT_FALSE(m.setData(i, "x"));
        const bool direita = m.data(i, Qt::TextAlignmentRole).toInt() & Qt::AlignRight;
        EXPECT_EQ(direita, c >= 2) << c;
    }
    EXPECT_FALSE(m.insertRows(0, 1));
}

TEST_F(ModeloProdutos, AClosedTableShowsNoColumnsAndNoRows) {
    TModeloProdutos m(tabela);
    QSignalSpy reinicios(&m, &QAbstractItemModel::modelReset);
    tabela.Fechar(); // no file name: nothing is written
    EXPECT_EQ(m.rowCount(), 0);
    EXPECT_EQ(m.columnCount(), 0);
    EXPECT_EQ(reinicios.count(), 1);
}

TEST_F(ModeloProdutos, TheMarkerAndTheViewFollowTheCurrentRowBothWays) {
    TModeloProdutos m(tabela);
    QTableView grade;
    LigarGrade(grade, m);
    const auto marcador = [&](int linha) {
        return m.headerData(linha, Qt::Vertical, Qt::DisplayRole).toString();
    };
    EXPECT_EQ(marcador(0), TModeloProdutos::Marcador);
    EXPECT_EQ(marcador(1), "");

    QSignalSpy cabecalhos(&m, &QAbstractItemModel::headerDataChanged);
    tabela.IrPara(1);
    EXPECT_EQ(marcador(0), "");
    EXPECT_EQ(marcador(1), TModeloProdutos::Marcador);
    EXPECT_EQ(cabecalhos.count(), 2);
    EXPECT_EQ(grade.currentIndex().row(), 1);

    grade.setCurrentIndex(m.index(0, 2));
    EXPECT_EQ(tabela.LinhaAtual(), 0);
    EXPECT_EQ(marcador(0), TModeloProdutos::Marcador);

    tabela.OrdenarPor(0); // "001" first: the same record stays current, now on row 1
    EXPECT_EQ(texto(m, 0, 0), "001");
    EXPECT_EQ(tabela.LinhaAtual(), 1);
    EXPECT_EQ(grade.currentIndex().row(), 1);
}

TEST_F(ModeloProdutos, ASortKeepsTheColumnWidthsTheOperatorChose) {
    TModeloProdutos m(tabela);
    QTableView grade;
    LigarGrade(grade, m);
    grade.setColumnWidth(1, 222);
    tabela.OrdenarPor(1);
    tabela.ApagarAtual();
    EXPECT_EQ(grade.columnWidth(1), 222);
    EXPECT_EQ(texto(m, 0, 1), "FEIJÃO");
}

} // namespace
