#pragma once
// GridProdutos' view of the register table Produtos: a Qt model over TTabela (no widget per
// cell), so a register of 100 000 rows opens and scrolls at the cost of the visible cells.
#include "Tabela.h"
#include <QAbstractTableModel>
#include <QLocale>

class QTableView;

class TModeloProdutos : public QAbstractTableModel, private TObservadorTabela {
    Q_OBJECT
public:
    // Local gives the separators of the number display formats.
    explicit TModeloProdutos(TTabela &Tabela, QLocale Local = QLocale(), QObject *Pai = nullptr);
    ~TModeloProdutos() override;

    TTabela &Tabela() { return FTabela; }

    // A closed table shows no columns and no rows; fields are read-only here.
    int rowCount(const QModelIndex &Pai = {}) const override;
    int columnCount(const QModelIndex &Pai = {}) const override;
    QVariant data(const QModelIndex &Indice, int Papel) const override;
    // Columns: the fields' titles; rows: the current-row marker.
    QVariant headerData(int Secao, Qt::Orientation Orientacao, int Papel) const override;
    Qt::ItemFlags flags(const QModelIndex &Indice) const override;

    static inline const QString Marcador = QStringLiteral("\u25B6");

signals:
    void LinhaMarcadaMudou(int Linha);

private:
    void InicioMudanca() override;
    void FimMudanca() override;
    void LinhaAtualMudou() override;

    TTabela &FTabela;
    QLocale FLocal;
    int FMarcada = -1; // the row whose header shows the marker
};

// Binds the grid to the model: read-only cells, fixed-height rows, clickable titles, new columns
// fitted to the grid's width, and the view's current row kept equal to the table's in both
// directions.
void LigarGrade(QTableView &Grade, TModeloProdutos &Modelo);
