// Capture, then an unchanged send: the real window in this process with the real terminal
// library and a real lurma-terminal must leave the terminal exactly as it was.
#include "Falsos.h"
#include "PortaLivre.h"
#include "QStringImpressao.h"
#include "uPrincipal.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

namespace {

TEST(Capture, AnUnchangedCaptureAndSendLeavesTheTerminalAsItWas) {
    const quint16 porta = portaLivre();
    qputenv("LURMA_PORT", QByteArray::number(porta));
    qputenv("LURMA_BIND", "127.0.0.1");
    auto avisos = std::make_shared<AvisosGravados>();
    QTemporaryDir pasta;
    auto janela = std::make_unique<TfrmPrincipal>(
        TDependencias{CarregarIntQS62K(LURMA_BIN_DIR), avisos, {}}, nullptr,
        TOpcoesJanela{pasta.path(), [](int) {}, [] { return false; }});
    const auto c = [&](const char *nome) { return janela->findChild<QWidget *>(nome); };
    static_cast<QPushButton *>(c("BtnIniciar"))->click();
    ASSERT_EQ(janela->Tag, 1);

    // Short fields and full ones; lines as the server sends them, centred in 20 columns.
    const QString endereco = "127.0.0.60";
    const QStringList campos = {"10.1.2.3",
                                "192.168.100.200",
                                "255.255.255.0",
                                "      BEM VINDO     ",
                                "Consulte o preço aqu",
                                "   NÃO ENCONTRADO   ",
                                "ABCDEFGHIJKLMNOPQRST",
                                "7"};
    QProcess terminal;
    terminal.start(LURMA_TERMINAL,
                   {"--server", QStringLiteral("127.0.0.1:%1").arg(porta), "--address", endereco,
                    "idle", "--ip", campos[0], "--server-ip", campos[1], "--netmask", campos[2],
                    "--line1", campos[3], "--line2", campos[4], "--line3", campos[5], "--line4",
                    campos[6], "--display", campos[7]});
    auto *lista = static_cast<QListWidget *>(c("listTerminais"));
    bool listado = false;
    for (QDeadlineTimer prazo(10000); !listado && !prazo.hasExpired(); QThread::msleep(20)) {
        QCoreApplication::processEvents();
        listado = !lista->findItems(endereco, Qt::MatchExactly).isEmpty();
    }
    ASSERT_TRUE(listado);

    static_cast<QLineEdit *>(c("txtTerminalSelecionado"))->setText(endereco);
    static_cast<QPushButton *>(c("btnCapturar"))->click();
    ASSERT_EQ(avisos->avisos.size(), 1u);
    EXPECT_EQ(avisos->avisos[0].icone, QMessageBox::Information) << avisos->avisos[0].texto;
    static_cast<QPushButton *>(c("btnEnviar"))->click();
    ASSERT_EQ(avisos->avisos.size(), 2u);
    EXPECT_EQ(avisos->avisos[1].icone, QMessageBox::Information) << avisos->avisos[1].texto;

    QString saida;
    for (QDeadlineTimer prazo(10000); !saida.contains(u'\n') && !prazo.hasExpired();) {
        terminal.waitForReadyRead(100);
        saida += QString::fromUtf8(terminal.readAllStandardOutput());
    }
    // The order of the line: ip, server ip, netmask, lines 1 to 4, display.
    EXPECT_EQ(saida.section(u'\n', 0, 0), "CONFIG|" + campos.join(u'|') + "|");

    janela.reset();
    terminal.terminate();
    terminal.waitForFinished(5000);
    qunsetenv("LURMA_PORT");
    qunsetenv("LURMA_BIND");
}

} // namespace
