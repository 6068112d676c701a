// The window's life cycle as a tray program: creation, first showing, the automatic start,
// the fades, the tray menu, the about box and the exit.
#include "Bandeja.h"
#include "ArquivoCadastro.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>

namespace {

class Tray : public JanelaBandeja {};

std::vector<double> alfas(int de, int ate) {
    std::vector<double> r;
    for (int a = de; de < ate ? a <= ate : a >= ate; a += de < ate ? 1 : -1)
        r.push_back(a / 255.0);
    return r;
}

TEST_F(Tray, FormCreateSetsTheWindowUpAndActivatesTheTrayIcon) {
    criar();
    EXPECT_EQ(janela->windowTitle(),
              "Servidor para Terminais de Consulta Lurma - Versão: 1.00 Build: 02");
    EXPECT_EQ(janela->StatusPainel(0)->text(), "ZELNA'S Software");
    EXPECT_EQ(c<QTabWidget>("PageControl1")->currentIndex(), 0);
    EXPECT_EQ(janela->Tag, 0);
    EXPECT_FALSE(janela->TimerInit.isActive());
    EXPECT_TRUE(janela->TimerInit.isSingleShot());
    EXPECT_EQ(janela->TimerInit.interval(), 1000);
    EXPECT_EQ(janela->Produtos.NomeArquivo, cadastro());
    EXPECT_FALSE(janela->Produtos.Aberta()); // no Cadastro.xml: closed, the grid empty
    EXPECT_EQ(c<QTableView>("GridProdutos")->model()->columnCount(), 0);
    EXPECT_EQ(janela->TrayIcon.toolTip(), "test_shell");
    EXPECT_TRUE(janela->TrayIcon.isVisible());
    EXPECT_TRUE(avisos->avisos.empty());
    EXPECT_TRUE(lurma.chamadas.empty());
    EXPECT_FALSE(janela->isVisible());
}

TEST_F(Tray, TrayMenuHasItsFourItemsAndClicksOnTheIconDoNothing) {
    criar();
    ASSERT_EQ(janela->TrayIcon.contextMenu(), &janela->PopTrayIcon);
    QStringList itens;
    for (QAction *a : janela->PopTrayIcon.actions())
        itens << (a->isSeparator() ? "-" : a->objectName() + ":" + a->text());
    EXPECT_EQ(itens,
              QStringList({"Visualizar1:Visualizar", "Encerar1:Encerar", "-", "Sobre1:Sobre"}));
    EXPECT_EQ(janela->PopTrayIcon.defaultAction(), nullptr);

    mostrar();
    tique();
    for (auto razao : {QSystemTrayIcon::Trigger, QSystemTrayIcon::DoubleClick})
        emit janela->TrayIcon.activated(razao);
    QCoreApplication::processEvents();
    EXPECT_FALSE(janela->isVisible());
    EXPECT_TRUE(pausas.empty());
}

TEST_F(Tray, FormShowLoadsThePathEmptiesTheFieldsAndArmsTheTimer) {
    escreverConfig("[Config]\nEditDatabase=Localhost:/dados/loja.fdb\n");
    criar();
    for (const char *nome : {"txtTerminal", "txtLinha1", "txtTerminalSelecionado"})
        c<QLineEdit>(nome)->setText("x");
    c<QPlainTextEdit>("MemConexao")->setPlainText("antigo");
    mostrar();
    EXPECT_EQ(c<QLineEdit>("EditDatabase")->text(), "Localhost:/dados/loja.fdb");
    EXPECT_EQ(c<QTabWidget>("PageControl1")->currentIndex(), 0);
    for (const char *nome : {"txtTerminal", "txtLinha1", "txtTerminalSelecionado"})
        EXPECT_EQ(c<QLineEdit>(nome)->text(), "") << nome;
    EXPECT_EQ(c<QPlainTextEdit>("MemConexao")->toPlainText(), "");
    EXPECT_TRUE(janela->TimerInit.isActive());

    janela->hide(); // a later showing does not run FormShow again
    c<QLineEdit>("txtTerminal")->setText("fica");
    janela->show();
    EXPECT_EQ(c<QLineEdit>("txtTerminal")->text(), "fica");
}

TEST_F(Tray, TheTickStartsTheServerOnceAndHidesTheWindowAlsoWhenTheStartFails) {
    for (bool inicia : {true, false}) {
        janela.reset();
        lurma.chamadas.clear();
        lurma.iniciar = inicia;
        criar();
        mostrar();
        tique();
        EXPECT_EQ(chamadas("bInitialize"), 1) << inicia;
        EXPECT_EQ(janela->Tag, inicia ? 1 : 0);
        EXPECT_FALSE(janela->isVisible()) << inicia;
        EXPECT_FALSE(janela->TimerInit.isActive());
        EXPECT_TRUE(pausas.empty()); // hidden at once, no fade
        // A server that could not start says so (without waiting for an answer).
        if (inicia) {
            EXPECT_TRUE(avisos->avisos.empty());
        } else {
            ASSERT_EQ(avisos->avisos.size(), 1u);
            EXPECT_TRUE(avisos->avisos[0].texto.startsWith(
                "Não foi possível iniciar o servidor dos terminais"));
            EXPECT_EQ(avisos->avisos[0].icone, QMessageBox::Critical);
        }
    }
}

TEST_F(Tray, AStartByHandWithinTheSecondIsStoppedByTheTick) {
    criar();
    mostrar();
    c<QPushButton>("BtnIniciar")->click();
    ASSERT_EQ(janela->Tag, 1);
    tique();
    EXPECT_EQ(janela->Tag, 0);
    EXPECT_EQ(chamadas("bTerminate"), 1);
    EXPECT_FALSE(janela->isVisible());
}

TEST_F(Tray, ClosingFadesOutAndHidesWhileTheServerKeepsRunning) {
    criar();
    mostrar();
    tique();
    acao("Visualizar1")->trigger();
    pausas.clear();
    duracoes.clear();
    EXPECT_FALSE(janela->close()); // refused
    EXPECT_EQ(pausas, alfas(255, 0));
    EXPECT_EQ(duracoes, std::vector<int>(256, 5));
    EXPECT_FALSE(janela->isVisible());
    EXPECT_EQ(janela->windowOpacity(), 1.0);
    EXPECT_EQ(janela->Tag, 1);
    EXPECT_EQ(chamadas("bTerminate"), 0);
    EXPECT_TRUE(janela->TrayIcon.isVisible());
}

TEST_F(Tray, VisualizarFadesInFromZeroAlsoWhenAlreadyVisible) {
    criar();
    mostrar();
    for (int vez = 0; vez < 2; ++vez) { // hidden by the tick, then already visible
        if (vez == 0)
            tique();
        pausas.clear();
        duracoes.clear();
        acao("Visualizar1")->trigger();
        EXPECT_EQ(pausas, alfas(0, 255)) << vez;
        EXPECT_EQ(duracoes, std::vector<int>(256, 1));
        EXPECT_TRUE(janela->isVisible());
        EXPECT_FALSE(janela->isMinimized());
        EXPECT_EQ(janela->windowOpacity(), 1.0);
    }
}

TEST_F(Tray, AFadeInInsideAFadeOutRunsFirstAndTheWindowEndsHidden) {
    criar();
    mostrar();
    bool feito = false;
    naPausa = [&] {
        if (!feito && pausas.size() == 10) {
            feito = true;
            acao("Visualizar1")->trigger();
        }
    };
    janela->close();
    ASSERT_EQ(pausas.size(), 256u + 256u);
    EXPECT_EQ(pausas[9], 246 / 255.0);
    EXPECT_EQ(pausas[10], 0.0); // the fade-in starts from 0 ...
    EXPECT_EQ(pausas[265], 1.0);
    EXPECT_EQ(pausas[266], 245 / 255.0); // ... and the fade-out goes on where it was
    EXPECT_FALSE(janela->isVisible());
}

TEST_F(Tray, MinimisingHidesTheWindowAndVisualizarRestoresIt) {
    criar();
    mostrar();
    janela->showMinimized();
    QCoreApplication::processEvents();
    EXPECT_FALSE(janela->isVisible());
    acao("Visualizar1")->trigger();
    EXPECT_TRUE(janela->isVisible());
    EXPECT_FALSE(janela->isMinimized());
}

// Without a notification area a hidden window could never be brought back.
TEST_F(Tray, WithoutANotificationAreaTheWindowIsMinimisedInsteadOfHidden) {
    bandeja = false;
    criar();
    mostrar();
    tique();
    EXPECT_TRUE(janela->isVisible());
    EXPECT_TRUE(janela->isMinimized());
    acao("Visualizar1")->trigger();
    EXPECT_FALSE(janela->isMinimized());
    janela->close();
    EXPECT_TRUE(janela->isMinimized());
    janela->showMinimized();
    QCoreApplication::processEvents();
    EXPECT_TRUE(janela->isVisible());
}

TEST_F(Tray, EncerarCallsBTerminateOnlyWhenRunningAndEndsTheLoopWithZero) {
    for (bool rodando : {false, true}) {
        janela.reset();
        lurma.chamadas.clear();
        criar();
        mostrar();
        if (rodando)
            tique();
        QTimer::singleShot(0, acao("Encerar1"), &QAction::trigger);
        EXPECT_EQ(QApplication::exec(), 0);
        EXPECT_EQ(chamadas("bTerminate"), rodando ? 1 : 0);
        EXPECT_FALSE(janela->TrayIcon.isVisible());
        EXPECT_EQ(janela->Tag, rodando ? 1 : 0); // left as it was
        EXPECT_TRUE(pausas.empty());
        janela.reset(); // the library is not stopped a second time
        EXPECT_EQ(chamadas("bTerminate"), rodando ? 1 : 0);
    }
}

// A signal or a logout during a fade: the exit does not wait for the fade's last steps.
TEST_F(Tray, TheExitInsideAFadeStopsTheFadeAtOnce) {
    for (const char *fade : {"out", "in"}) {
        SCOPED_TRACE(fade);
        janela.reset();
        criar();
        mostrar();
        tique();
        pausas.clear();
        naPausa = [&] {
            if (pausas.size() == 10)
                janela->Encerar1Click();
        };
        if (fade == std::string("out"))
            janela->close();
        else
            acao("Visualizar1")->trigger();
        EXPECT_EQ(pausas.size(), 10u);
    }
}

TEST_F(Tray, TheAboutBoxJoinsItsLinesWithCarriageReturnsOnly) {
    criar();
    acao("Sobre1")->trigger();
    ASSERT_EQ(avisos->avisos.size(), 1u);
    const auto &a = avisos->avisos[0];
    EXPECT_EQ(a.titulo, "Servidor Lurma");
    EXPECT_EQ(a.icone, QMessageBox::Information);
    EXPECT_EQ(a.botoes, QMessageBox::Ok);
    EXPECT_FALSE(a.texto.contains(u'\n'));
    const QStringList linhas = a.texto.split(u'\r');
    ASSERT_EQ(linhas.size(), 5);
    EXPECT_EQ(linhas[0], janela->windowTitle());
    EXPECT_FALSE(linhas[1].isEmpty());
    EXPECT_EQ(linhas[2], "Desenvolvimento de Sistemas e Assistência Técnica.");
    EXPECT_EQ(linhas[3], "");
    EXPECT_FALSE(linhas[4].isEmpty());
}

// A faulty register must not lock the operator out: it is reported without waiting for an
// answer (the real box opens without a modal loop), the tray icon comes up all the same, and
// the tick hides the window because the icon shows.
TEST_F(Tray, AFaultyCadastroIsReportedAndTheTrayIconStillComesUp) {
    QFile f(cadastro());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET");
    f.close();
    criar();
    ASSERT_EQ(avisos->avisos.size(), 1u);
    EXPECT_EQ(avisos->avisos[0].texto, "Mismatch in datapacket.");
    EXPECT_EQ(avisos->avisos[0].icone, QMessageBox::Critical);
    EXPECT_EQ(avisos->avisos[0].titulo, "test_shell");
    EXPECT_EQ(janela->TrayIcon.toolTip(), "test_shell");
    EXPECT_TRUE(janela->TrayIcon.isVisible());
    EXPECT_FALSE(janela->Produtos.Aberta());
    mostrar();
    tique();
    EXPECT_EQ(janela->Tag, 1);
    EXPECT_FALSE(janela->isVisible());
    janela.reset(); // the closed table writes nothing over the faulty file
    f.open(QIODevice::ReadOnly);
    EXPECT_EQ(f.readAll(), "<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET");
}

// A notification area without the program's icon in it would leave a hidden window beyond
// reach: the tick minimises it instead.
TEST_F(Tray, WithoutItsOwnIconShowingTheTickMinimisesInsteadOfHiding) {
    criar();
    janela->TrayIcon.hide();
    mostrar();
    tique();
    EXPECT_TRUE(janela->isVisible());
    EXPECT_TRUE(janela->isMinimized());
}

// At the exit nobody may be at the screen: a save that fails goes to the error log and
// standard error, never to a box, and the close says the register was not saved.
TEST_F(Tray, AFailedSaveAtTheExitShowsNoBoxAndSaysNotSaved) {
    {
        TTabela t;
        t.AdicionarCampo({"CODIGO", TipoCampo::TextoLargo, 20, true});
        t.CriarDataSet();
        t.Adicionar({QString("001")});
        SalvarCadastro(t, cadastro());
    }
    const QString log = pasta.filePath("erros.log");
    qputenv("LURMA_ERROR_LOG", log.toLocal8Bit());
    criar();
    ASSERT_TRUE(janela->Produtos.Aberta());
    janela->Produtos.ApagarAtual(); // a change to be written at the exit, where it cannot be
    ASSERT_TRUE(QFile::remove(cadastro()));
    ASSERT_TRUE(QDir().mkdir(cadastro()));
    QTimer::singleShot(0, acao("Encerar1"), &QAction::trigger);
    EXPECT_EQ(QApplication::exec(), 0);
    const bool salvo = janela->FecharCadastro();
    qunsetenv("LURMA_ERROR_LOG");
    EXPECT_FALSE(salvo);
    EXPECT_TRUE(avisos->avisos.empty()) << avisos->avisos[0].texto;
    QFile erros(log);
    ASSERT_TRUE(erros.open(QIODevice::ReadOnly));
    EXPECT_TRUE(erros.readAll().startsWith("Cannot create file \"" + cadastro().toUtf8()));
    janela.reset(); // the destruction does not try, nor report, a second time
    erros.seek(0);
    EXPECT_EQ(erros.readAll().count('\n'), 1);
}

} // namespace
