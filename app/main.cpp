// Program entry: the application, its icon and visual style, the main window (FormCreate),
// and the event loop, which shows the window (FormShow). The program ends through the tray's
// "Encerar", which SIGTERM, SIGINT, SIGHUP and the session's end also run. The exit status
// says whether the register was saved: 0 saved or nothing to save, 1 not saved.
#include "AvisosJanela.h"
#include "Consultas.h"
#include "CopiaUnica.h"
#include "Estilo.h"
#include "Firebird.h"
#include "ConfiguracaoPainel.h"
#include "EstadoPainel.h"
#include "Idioma.h"
#include "Listagem.h"
#include "SaveEdit.h"
#include "ServidorPainel.h"
#include "Sinais.h"
#include "uPrincipal.h"

#include <QApplication>
#include <QIcon>
#include <QScreen>
#include <cstdio>

namespace {

// From the signal to the end of the process, whatever hangs: a stuck one is ended. A save it
// cuts leaves Cadastro.xml whole, as the file is only ever replaced by a rename.
constexpr std::chrono::milliseconds PrazoDeSaida{1800};
// The lookups and the abandoned listing still running at the end, then Firebird's own
// shutdown, within that.
constexpr std::chrono::milliseconds PrazoConsultas{400};
constexpr int PrazoFirebirdMs = 800;

// The panel when configured. A refused configuration or an address in use is said once, in
// the error log and on standard error, and the program serves the terminals without it.
std::unique_ptr<TServidorPainel> IniciarPainel(const TEstadoPainel &Estado) {
    const TConfiguracaoPainel configuracao = LerConfiguracaoPainel(
        *AbrirArmazem(TSaveEdit::NomeAplicacao(QCoreApplication::applicationFilePath())));
    if (!configuracao.Ativo) {
        if (!configuracao.Erro.isEmpty())
            RegistrarErro(configuracao.Erro);
        return nullptr;
    }
    auto painel = std::make_unique<TServidorPainel>(Estado, configuracao);
    QString erro;
    if (!painel->Iniciar(erro)) {
        RegistrarErro(erro);
        return nullptr;
    }
    return painel;
}

} // namespace

int main(int argc, char *argv[]) {
    // Before any thread exists, so that every thread inherits the blocked signals.
    BloquearSinaisDeSaida();
    QApplication aplicacao(argc, argv);
    TSinaisDeSaida sinais(PrazoDeSaida);
    TCopiaUnica copia;
    if (copia.OutraCopiaRodando()) {
        RegistrarErro(
            QStringLiteral("O Servidor Lurma já está em execução nesta porta; a janela da "
                           "cópia em execução foi mostrada."));
        EncerrarProcesso(0);
    }
    if (!RecusarDesligamentoPorSinal())
        std::fprintf(stderr, "Firebird: shutdown callback not registered\n");
    // Closing the window only hides it; the loop ends through Encerar1Click.
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/MAINICON-256.png")));
    InstalarTraducaoQt(aplicacao);
    {
        // Nothing before the loop waits on a box: nobody may be at the screen.
        TAvisosJanela avisos(nullptr, nullptr);
        avisos.FModo = TAvisosJanela::Modo::SemEsperar;
        AplicarEstilo(aplicacao, avisos, QStringLiteral("Amakrits"));
    }

    bool salvo = false;
    TEstadoPainel estadoPainel(QStringLiteral(LURMA_VERSAO));
    const std::unique_ptr<TServidorPainel> painel = IniciarPainel(estadoPainel);
    {
        TDependencias dependencias;
        dependencias.Observador = &estadoPainel;
        TfrmPrincipal frmPrincipal(std::move(dependencias));
        const auto encerrar = [&frmPrincipal] { frmPrincipal.Encerar1Click(); };
        QObject::connect(&sinais, &TSinaisDeSaida::Recebido, &frmPrincipal, encerrar);
        QObject::connect(&aplicacao, &QGuiApplication::commitDataRequest, &frmPrincipal, encerrar);
        QObject::connect(&copia, &TCopiaUnica::Chamada, &frmPrincipal,
                         [&frmPrincipal] { frmPrincipal.Visualizar1Click(); });
        // A deadline that ends the process says whether the register had unwritten changes.
        sinais.DefinirStatus(frmPrincipal.CadastroPendente() ? 1 : 0);
        QObject::connect(&frmPrincipal, &TfrmPrincipal::PendenciaMudou, &sinais,
                         [&sinais](bool Pendente) { sinais.DefinirStatus(Pendente ? 1 : 0); },
                         Qt::DirectConnection);

        const QRect area = frmPrincipal.screen()->availableGeometry();
        frmPrincipal.move(area.center() - frmPrincipal.rect().center());
        frmPrincipal.show();
        aplicacao.exec();
        salvo = frmPrincipal.FecharCadastro();
        sinais.DefinirStatus(salvo ? 0 : 1);
    }
    // A lookup still inside the Firebird client while the client shuts down would crash the
    // process: the running ones get a moment to end (the database held open is closed by then,
    // the window's end having asked for it), and a stuck one leaves the client as it is. The
    // client's exit handlers would wait for its threads without a bound.
    const auto fimConsultas = std::chrono::steady_clock::now() + PrazoConsultas;
    const auto resta = [&] {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
            fimConsultas - std::chrono::steady_clock::now());
    };
    if (!TConsultas::EsperarTrabalhadores(PrazoConsultas) ||
        !TListagem::EsperarTrabalhadores(resta()))
        std::fprintf(stderr, "Firebird: a lookup or a listing is still running; the client is "
                             "left as it is\n");
    else if (!DesligarFirebird(PrazoFirebirdMs))
        std::fprintf(stderr, "Firebird: shutdown did not finish in %d ms\n", PrazoFirebirdMs);
    EncerrarProcesso(salvo ? 0 : 1);
}
