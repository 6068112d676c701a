#include "ModeloProdutos.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QTableView>
#include <memory>

TModeloProdutos::TModeloProdutos(TTabela &Tabela, QLocale Local, QObject *Pai)
    : QAbstractTableModel(Pai), FTabela(Tabela), FLocal(std::move(Local)) {
    FMarcada = FTabela.LinhaAtual();
    FTabela.DefinirObservador(this);
}

TModeloProdutos::~TModeloProdutos() {
    FTabela.DefinirObservador(nullptr);
}

int TModeloProdutos::rowCount(const QModelIndex &Pai) const {
    return Pai.isValid() || !FTabela.Aberta() ? 0 : FTabela.ContarLinhas();
}

int TModeloProdutos::columnCount(const QModelIndex &Pai) const {
    return Pai.isValid() || !FTabela.Aberta() ? 0 : FTabela.ContarCampos();
}

static bool Numerico(TipoCampo Tipo) {
    switch (Tipo) {
    case TipoCampo::Inteiro16:
    case TipoCampo::Inteiro32:
    case TipoCampo::Inteiro64:
    case TipoCampo::Flutuante:
    case TipoCampo::Decimal:
    case TipoCampo::DecimalLongo:
        return true;
    default:
        return false;
    }
}

QVariant TModeloProdutos::data(const QModelIndex &Indice, int Papel) const {
    if (!Indice.isValid())
        return {};
    if (Papel == Qt::DisplayRole)
        return FTabela.TextoExibido(Indice.row(), Indice.column(), FLocal);
    if (Papel == Qt::TextAlignmentRole && Numerico(FTabela.Definicao(Indice.column()).tipo))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant TModeloProdutos::headerData(int Secao, Qt::Orientation Orientacao, int Papel) const {
    if (Papel != Qt::DisplayRole)
        return {};
    if (Orientacao == Qt::Horizontal)
        return Secao < columnCount() ? FTabela.Campo(Secao).titulo : QVariant();
    return Secao == FTabela.LinhaAtual() ? Marcador : QString();
}

Qt::ItemFlags TModeloProdutos::flags(const QModelIndex &Indice) const {
    return Indice.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
}

void TModeloProdutos::InicioMudanca() {
    beginResetModel();
}

void TModeloProdutos::FimMudanca() {
    FMarcada = FTabela.LinhaAtual();
    endResetModel();
}

void TModeloProdutos::LinhaAtualMudou() {
    const int antiga = FMarcada;
    FMarcada = FTabela.LinhaAtual();
    const int linhas = rowCount();
    for (int linha : {antiga, FMarcada})
        if (linha >= 0 && linha < linhas)
            emit headerDataChanged(Qt::Vertical, linha, linha);
    emit LinhaMarcadaMudou(FMarcada);
}

void LigarGrade(QTableView &Grade, TModeloProdutos &Modelo) {
    Grade.setModel(&Modelo);
    Grade.setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grade.setSelectionMode(QAbstractItemView::SingleSelection);
    Grade.setTabKeyNavigation(true);
    Grade.setShowGrid(true);
    Grade.horizontalHeader()->setSectionsClickable(true);
    Grade.horizontalHeader()->setHighlightSections(false);
    Grade.horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    // Fixed row heights keep the vertical header cheap for large registers.
    QHeaderView *linhas = Grade.verticalHeader();
    linhas->setSectionResizeMode(QHeaderView::Fixed);
    linhas->setDefaultSectionSize(Grade.fontMetrics().height() + 4);
    linhas->setMinimumWidth(Grade.fontMetrics().horizontalAdvance(TModeloProdutos::Marcador) + 8);

    auto mostrarAtual = [&Grade, &Modelo](int Linha) {
        if (Linha < 0 || Linha >= Modelo.rowCount())
            return;
        const int coluna = std::max(Grade.currentIndex().column(), 0);
        if (Grade.currentIndex().row() != Linha)
            Grade.setCurrentIndex(Modelo.index(Linha, coluna));
    };
    QObject::connect(&Modelo, &TModeloProdutos::LinhaMarcadaMudou, &Grade, mostrarAtual);
    // A reset rebuilds the view. The same columns keep their widths (a sort, a deletion); new
    // columns are sized from a sample of rows. The current row is shown again.
    struct Colunas {
        QStringList titulos;
        QList<int> larguras;
    };
    auto antes = std::make_shared<Colunas>();
    const auto titulos = [&Modelo] {
        QStringList r;
        for (int c = 0; c < Modelo.columnCount(); ++c)
            r << Modelo.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString();
        return r;
    };
    QObject::connect(&Modelo, &QAbstractItemModel::modelAboutToBeReset, &Grade,
                     [&Grade, antes, titulos] {
                         antes->titulos = titulos();
                         antes->larguras.clear();
                         for (int c = 0; c < antes->titulos.size(); ++c)
                             antes->larguras << Grade.columnWidth(c);
                     });
    QObject::connect(&Modelo, &QAbstractItemModel::modelReset, &Grade,
                     [&Grade, &Modelo, mostrarAtual, antes, titulos] {
                         if (!antes->titulos.isEmpty() && titulos() == antes->titulos)
                             for (int c = 0; c < antes->larguras.size(); ++c)
                                 Grade.setColumnWidth(c, antes->larguras[c]);
                         else
                             Grade.resizeColumnsToContents();
                         mostrarAtual(Modelo.Tabela().LinhaAtual());
                     });
    QObject::connect(Grade.selectionModel(), &QItemSelectionModel::currentRowChanged, &Modelo,
                     [&Modelo](const QModelIndex &Atual) {
                         if (Atual.isValid())
                             Modelo.Tabela().IrPara(Atual.row());
                     });
}
