// One start-up as the program does it (application, icon, style, main window with FormCreate,
// first showing with FormShow), with the terminal library faked so nothing listens. Prints the
// peak memory once the window is shown, then exits. "pura": a bare Qt window instead.
#include "Estilo.h"
#include "Falsos.h"
#include "MemoriaProcesso.h"
#include "uPrincipal.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>

namespace {

class Sonda : public QObject {
public:
    bool eventFilter(QObject *, QEvent *Evento) override {
        if (Evento->type() == QEvent::Expose || Evento->type() == QEvent::Show) {
            // VmHWM of this image: getrusage's ru_maxrss would also count the parent's pages
            // from before the exec.
            std::printf("mostrada %ld\n", memoriaKb("self", "VmHWM"));
            std::fflush(stdout);
            std::_Exit(0); // the figures are taken; nothing to tidy
        }
        return false;
    }
};

} // namespace

int main(int argc, char **argv) {
    QApplication aplicacao(argc, argv);
    Sonda sonda;
    if (argc > 1 && QByteArray(argv[1]) == "pura") {
        QMainWindow janela;
        janela.resize(544, 696);
        janela.installEventFilter(&sonda);
        janela.show();
        return aplicacao.exec();
    }
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/MAINICON-256.png")));
    TAvisosQt avisos(nullptr);
    AplicarEstilo(aplicacao, avisos, QStringLiteral("Amakrits"));
    LurmaFalsa lurma;
    TOpcoesJanela opcoes;
    opcoes.PastaCadastro = QString::fromLocal8Bit(argv[1]);
    TfrmPrincipal janela(TDependencias{lurma.Tabela(), {}, {}}, nullptr, opcoes);
    janela.installEventFilter(&sonda);
    janela.show();
    return aplicacao.exec();
}
