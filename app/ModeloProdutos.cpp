#include "ModeloProdutos.h"

#include <QHeaderView>
#include <QItemSelectionModel>
#include <QScrollBar>
#include <QTableView>
#include <algorithm>
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

namespace {

// The width left for the columns once the frame, the row header and the vertical scroll bar that
// the rows need have theirs, as the view will lay them out.
int LarguraLivre(QTableView &Grade) {
    Grade.ensurePolished(); // the style sheet's frame, before the first showing
    const int moldura = 2 * Grade.frameWidth();
    const QHeaderView *linhas = Grade.verticalHeader();
    const QHeaderView *titulos = Grade.horizontalHeader();
    const int largura =
        Grade.width() - moldura - std::max(linhas->minimumWidth(), linhas->sizeHint().width());
    const int altura =
        Grade.height() - moldura - std::max(titulos->minimumHeight(), titulos->sizeHint().height());
    const bool rolaNaVertical = linhas->defaultSectionSize() * Grade.model()->rowCount() > altura;
    return largura - (rolaNaVertical ? Grade.verticalScrollBar()->sizeHint().width() : 0);
}

// Columns sized to their contents. When they are wider than the grid together, the widest give
// way down to one common width, so that the narrow ones (the prices, on the right) show without
// scrolling; the operator can still widen any of them.
void AjustarColunas(QTableView &Grade) {
    Grade.resizeColumnsToContents();
    const int colunas = Grade.model()->columnCount();
    QList<int> larguras;
    for (int c = 0; c < colunas; ++c)
        larguras << Grade.columnWidth(c);
    const int livre = LarguraLivre(Grade);
    int resto = 0;
    for (int l : larguras)
        resto += l;
    if (resto <= livre)
        return;
    QList<int> decrescentes = larguras;
    std::sort(decrescentes.begin(), decrescentes.end(), std::greater<int>());
    int teto = 0; // the common width of the k widest: what the others leave, shared
    for (int k = 1; k <= colunas; ++k) {
        resto -= decrescentes[k - 1];
        teto = (livre - resto) / k;
        if (k == colunas || teto >= decrescentes[k])
            break;
    }
    teto = std::max(teto, Grade.horizontalHeader()->minimumSectionSize());
    for (int c = 0; c < colunas; ++c)
        if (larguras[c] > teto)
            Grade.setColumnWidth(c, teto);
}

} // namespace

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
    // columns are sized from a sample of rows, to the grid's width. The current row is shown
    // again.
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
                             AjustarColunas(Grade);
                         mostrarAtual(Modelo.Tabela().LinhaAtual());
                     });
    QObject::connect(Grade.selectionModel(), &QItemSelectionModel::currentRowChanged, &Modelo,
                     [&Modelo](const QModelIndex &Atual) {
                         if (Atual.isValid())
                             Modelo.Tabela().IrPara(Atual.row());
                     });
}
