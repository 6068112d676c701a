// Program entry: the application, its icon and visual style, the main window (FormCreate),
// and the event loop, which shows the window (FormShow). The program ends through the tray's
// "Encerar", which SIGTERM and SIGINT also run.
#include "Estilo.h"
#include "Idioma.h"
#include "Sinais.h"
#include "uPrincipal.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>

int main(int argc, char *argv[]) {
    QApplication aplicacao(argc, argv);
    // Closing the window only hides it; the loop ends through Encerar1Click.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/MAINICON-256.png")));
    InstalarTraducaoQt(aplicacao);
    {
        TAvisosQt avisos(nullptr);
        AplicarEstilo(aplicacao, avisos, QStringLiteral("Amakrits"));
    }

    TfrmPrincipal frmPrincipal;
    TSinaisDeSaida sinais;
    QObject::connect(&sinais, &TSinaisDeSaida::Recebido, &frmPrincipal,
                     [&frmPrincipal] { frmPrincipal.Encerar1Click(); });

    const QRect area = frmPrincipal.screen()->availableGeometry();
    frmPrincipal.move(area.center() - frmPrincipal.rect().center());
    frmPrincipal.show();
    aplicacao.exec();
    return 0;
}
