#include "uPrincipal.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    QApplication aplicacao(argc, argv);
    TfrmPrincipal frmPrincipal;
    frmPrincipal.show();
    return aplicacao.exec();
}
