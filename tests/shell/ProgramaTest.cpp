// The program itself: SIGTERM runs the tray's exit, which closes Produtos (saving
// Cadastro.xml) and ends with code 0.
#include "ArquivoCadastro.h"
#include "PortaLivre.h"
#include "Sinais.h"
#include "Tabela.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

TEST(Signals, SigtermSigintAndSighupArriveAsAQtSignal) {
    TSinaisDeSaida sinais;
    QSignalSpy recebidos(&sinais, &TSinaisDeSaida::Recebido);
    for (int sinal : {SIGTERM, SIGINT, SIGHUP}) {
        const int antes = recebidos.count();
        ::kill(::getpid(), sinal);
        EXPECT_TRUE(recebidos.wait(2000)) << sinal;
        EXPECT_EQ(recebidos.count(), antes + 1);
    }
}

// The executable with its terminal library copied into a directory of its own, so that
// Cadastro.xml is looked for there.
TEST(Program, SigtermEndsWithZeroAndWritesADeletedCadastroAgain) {
    QTemporaryDir pasta;
    for (const char *arquivo : {"ServidorLurma", "libpqtLurma.so"})
        ASSERT_TRUE(QFile::copy(QString(LURMA_BIN_DIR "/") + arquivo, pasta.filePath(arquivo)))
            << arquivo;
    const QString cadastro = pasta.filePath("Cadastro.xml");
    {
        TTabela t;
        t.AdicionarCampo({"CODIGO", TipoCampo::TextoLargo, 20, true});
        t.CriarDataSet();
        t.Adicionar({QString("001")});
        SalvarCadastro(t, cadastro);
    }
    QProcess servidor;
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert("QT_QPA_PLATFORM", "offscreen");
    ambiente.insert("XDG_CONFIG_HOME", pasta.filePath("config"));
    ambiente.insert("LURMA_BIND", "127.0.0.1");
    const quint16 porta = portaLivre();
    ambiente.insert("LURMA_PORT", QString::number(porta));
    ambiente.insert("LURMA_ERROR_LOG", pasta.filePath("erros.log"));
    ambiente.insert("LURMA_PAINEL", ""); // no panel: copies side by side, one port
    servidor.setProcessEnvironment(ambiente);
    servidor.start(pasta.filePath("ServidorLurma"), {});
    ASSERT_TRUE(servidor.waitForStarted());
    // The first tick, a second after the window shows, hides it and starts the server: once
    // the port answers, the program is past its start and runs on.
    bool escutando = false;
    for (QDeadlineTimer prazo(15000); !escutando && !prazo.hasExpired();) {
        ASSERT_EQ(servidor.state(), QProcess::Running) << servidor.readAll().toStdString();
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, porta);
        escutando = s.waitForConnected(200);
        if (!escutando)
            servidor.waitForFinished(100); // a pause that ends early if the program does
    }
    ASSERT_TRUE(escutando);
    ASSERT_TRUE(QFile::remove(cadastro));
    ::kill(pid_t(servidor.processId()), SIGTERM);
    ASSERT_TRUE(servidor.waitForFinished(10000));
    EXPECT_EQ(servidor.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(servidor.exitCode(), 0);
    TTabela lida;
    CarregarCadastro(lida, cadastro);
    EXPECT_EQ(lida.ContarLinhas(), 1);
    QFile erros(pasta.filePath("erros.log"));
    EXPECT_FALSE(erros.exists()) << (erros.open(QIODevice::ReadOnly),
                                     erros.readAll().toStdString());
}

} // namespace
