#include "AvisosJanela.h"

#include <QTimer>
#include <cstdio>

TAvisosJanela::TAvisosJanela(std::shared_ptr<TAvisos> Interno, QWidget *Pai)
    : FInterno(std::move(Interno)), FReal(!FInterno) {
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
    // A window of its own: the main window hides a second later and must not take it along.
    auto *caixa = new QMessageBox(Icone, Titulo, Texto, Botoes);
    caixa->setTextFormat(Qt::PlainText);
    caixa->setAttribute(Qt::WA_DeleteOnClose);
    caixa->setWindowModality(Qt::NonModal);
    // Once the loop runs, over the main window that start-up shows after it.
    QTimer::singleShot(0, caixa, [caixa] {
        caixa->show();
        caixa->raise();
    });
    return QMessageBox::Ok;
}
