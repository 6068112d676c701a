#include "AvisosJanela.h"

#include <cstdio>

TAvisosJanela::TAvisosJanela(std::shared_ptr<TAvisos> Interno, QWidget *Pai)
    : FInterno(std::move(Interno)), FPai(Pai), FReal(!FInterno) {
    if (!FInterno)
        FInterno = std::make_shared<TAvisosQt>(Pai);
}

QMessageBox::StandardButton TAvisosJanela::Mostrar(const QString &Texto, const QString &Titulo,
                                                   QMessageBox::Icon Icone,
                                                   QMessageBox::StandardButtons Botoes) {
    if (FModo == Modo::Modal)
        return FInterno->Mostrar(Texto, Titulo, Icone, Botoes);
    std::fprintf(stderr, "%s: %s\n", qPrintable(Titulo), qPrintable(Texto));
    std::fflush(stderr);
    if (FModo == Modo::Calado)
        return QMessageBox::Ok;
    if (!FReal)
        return FInterno->Mostrar(Texto, Titulo, Icone, Botoes); // a test's: it never waits
    auto *caixa = new QMessageBox(Icone, Titulo, Texto, Botoes, FPai);
    caixa->setAttribute(Qt::WA_DeleteOnClose);
    caixa->setWindowModality(Qt::NonModal);
    caixa->show();
    return QMessageBox::Ok;
}
