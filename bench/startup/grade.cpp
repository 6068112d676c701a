// GridProdutos over a register of 1 000 and of 100 000 rows (offscreen, the grid's real size):
// opening (model reset and first paint), scrolling step by step with a paint each, a jump to
// the end, and a title-click sort by price. The 1 000-row grid is the reference: lag that grows
// with the register shows as a ratio above 1.
#include "CopiarDataSet.h"
#include "ModeloProdutos.h"
#include "RegistroSintetico.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QTableView>
#include <cstdio>

namespace {

struct Tempos {
    double abrir = 0, passo = 0, fim = 0, ordenar = 0; // ms
};

double milissegundos(QElapsedTimer &r) {
    const double ms = r.nsecsElapsed() / 1e6;
    r.restart();
    return ms;
}

Tempos medir(int Linhas) {
    TTabela tabela;
    preencherRegistro(tabela, Linhas);
    TModeloProdutos modelo(tabela);
    QTableView grade;
    grade.resize(507, 161);
    LigarGrade(grade, modelo);
    grade.show();
    QApplication::processEvents();

    Tempos t;
    QElapsedTimer r;
    r.start();
    tabela.HabilitarControles(); // the copy's end: one reset, as after a listing
    AjustarCampos(tabela);
    grade.viewport()->repaint();
    t.abrir = milissegundos(r);

    const int passos = 500;
    QScrollBar *barra = grade.verticalScrollBar();
    for (int i = 0; i < passos; ++i) {
        barra->setValue(barra->value() + barra->pageStep());
        grade.viewport()->repaint();
    }
    t.passo = milissegundos(r) / passos;

    barra->setValue(barra->maximum());
    grade.viewport()->repaint();
    t.fim = milissegundos(r);

    tabela.OrdenarPor(3); // what GridProdutosTitleClick does
    grade.viewport()->repaint();
    t.ordenar = milissegundos(r);
    return t;
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication aplicacao(argc, argv);
    medir(1000); // warm-up: fonts and style caches
    const Tempos ref = medir(1000), grande = medir(100000);
    std::printf("%-28s %10s %10s %10s\n", "", "1000 rows", "100000", "ratio");
    const auto linha = [](const char *nome, double a, double b) {
        std::printf("%-28s %8.3f ms %8.3f ms %8.2fx\n", nome, a, b, b / a);
    };
    linha("open (reset + first paint)", ref.abrir, grande.abrir);
    linha("scroll one page + paint", ref.passo, grande.passo);
    linha("jump to the end + paint", ref.fim, grande.fim);
    linha("title click: sort by Preço", ref.ordenar, grande.ordenar);
    return 0;
}
