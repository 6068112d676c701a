// The X server goes away under the running window (a logout, a crashed X server): Qt ends the
// process on the spot. A listing made before must already be on disk.
#include "ArquivoCadastro.h"
#include "BancoTeste.h"
#include "Falsos.h"
#include "Tabela.h"
#include "uPrincipal.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <cstdio>
#include <gtest/gtest.h>
#include <unistd.h>

// The child: the real window on the display of DISPLAY, one listing of the database
// LURMA_TELA_PERDIDA_BANCO, "LISTADO" on standard output, then the event loop until the display
// is gone.
int FilhoDaTelaPerdida() {
    TfrmPrincipal janela(
        TDependencias{std::nullopt, std::make_shared<AvisosGravados>(), {}}, nullptr,
        TOpcoesJanela{qEnvironmentVariable("LURMA_TELA_PERDIDA_PASTA"), [](int) {}, {}});
    janela.show();
    janela.findChild<QLineEdit *>("EditDatabase")
        ->setText(qEnvironmentVariable("LURMA_TELA_PERDIDA_BANCO"));
    janela.findChild<QPushButton *>("BtnListar")->click();
    while (QApplication::overrideCursor()) // the listing runs on a worker
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    std::printf("LISTADO %d\n", janela.Produtos.ContarLinhas());
    std::fflush(stdout);
    return QApplication::exec();
}

namespace {

TEST(LostDisplay, TheListingIsOnDiskWhenTheXServerGoesAway) {
    if (QStandardPaths::findExecutable("Xvfb").isEmpty())
        GTEST_SKIP() << "no Xvfb here";
    const QString tela = QStringLiteral(":%1").arg(200 + ::getpid() % 500);
    QProcess xvfb;
    xvfb.start("Xvfb", {tela, "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
    ASSERT_TRUE(xvfb.waitForStarted());
    const QString soquete = "/tmp/.X11-unix/X" + tela.mid(1);
    for (int i = 0; i < 100 && !QFile::exists(soquete); ++i)
        xvfb.waitForFinished(100);
    ASSERT_TRUE(QFile::exists(soquete)) << "Xvfb did not come up on " << tela.toStdString();

    BancoTeste bd({criarItens(), "INSERT INTO ITENS VALUES ('7891', 'LEITE', NULL, 4.5, NULL)",
                   "INSERT INTO ITENS VALUES ('7890', 'PAO', 1234.5, 2, 'N')"});
    QTemporaryDir pasta;
    QProcess filho;
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert("DISPLAY", tela);
    ambiente.insert("QT_QPA_PLATFORM", "xcb");
    ambiente.insert("XDG_CONFIG_HOME", pasta.filePath("config"));
    ambiente.insert("LURMA_TELA_PERDIDA_PASTA", pasta.path());
    ambiente.insert("LURMA_TELA_PERDIDA_BANCO", bd.caminho());
    filho.setProcessEnvironment(ambiente);
    filho.start(QCoreApplication::applicationFilePath(), {});
    ASSERT_TRUE(filho.waitForStarted());
    QByteArray saida;
    while (!saida.contains('\n') && filho.waitForReadyRead(30000))
        saida += filho.readAllStandardOutput();
    EXPECT_EQ(saida.trimmed(), "LISTADO 2") << filho.readAllStandardError().toStdString();

    xvfb.terminate();
    ASSERT_TRUE(xvfb.waitForFinished(10000));
    ASSERT_TRUE(filho.waitForFinished(15000)) << "the window outlived its display";
    std::printf("without its display the window's process ended with status %d\n",
                filho.exitCode());
    TTabela lida;
    CarregarCadastro(lida, QDir(pasta.path()).filePath("Cadastro.xml"));
    EXPECT_EQ(lida.ContarLinhas(), 2);
}

} // namespace
