// The real main window in this process with the real terminal library (or none at all), real
// lurma-terminal processes and real databases; only the message boxes are recorded. For the
// faults that need an operator's click (capture, send, listing) or the window's destruction.
#include "ArquivoCadastro.h"
#include "BancoTeste.h"
#include "Falsos.h"
#include "PortaLivre.h"
#include "QStringImpressao.h"
#include "Tabela.h"
#include "uPrincipal.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <sys/resource.h>
#include <thread>

namespace {

class RealWindow : public ::testing::Test {
protected:
    std::shared_ptr<AvisosGravados> avisos = std::make_shared<AvisosGravados>();
    QTemporaryDir pasta; // Cadastro.xml goes here
    std::unique_ptr<TfrmPrincipal> janela;

    // Lurma empty: the library is looked for beside this test, where there is none.
    void criar(std::optional<TIntQS62K> Lurma = {}) {
        janela = std::make_unique<TfrmPrincipal>(
            TDependencias{Lurma, avisos, {}}, nullptr,
            TOpcoesJanela{pasta.path(), [](int) {}, [] { return false; }});
    }
    template <typename T = QWidget> T *c(const char *nome) const {
        T *w = janela->findChild<T *>(nome);
        if (!w)
            throw std::logic_error(std::string("no control ") + nome);
        return w;
    }
    QString cadastro() const { return pasta.filePath("Cadastro.xml"); }
    QString ultimoAviso() const {
        return avisos->avisos.empty() ? QString() : avisos->avisos.back().texto;
    }
};

template <typename F> bool esperarComEventos(F &&Condicao, int Ms) {
    for (QDeadlineTimer prazo(Ms); !prazo.hasExpired(); QThread::msleep(20)) {
        QCoreApplication::processEvents();
        if (Condicao())
            return true;
    }
    return false;
}

// Bytes waiting unread at the connected TCP socket whose local address is Endereco (IPv4),
// from the kernel's table; -1 when there is no such socket.
qint64 porLer(const QString &Endereco) {
    const QStringList o = Endereco.split(u'.');
    const QString local = QString::asprintf("%02X%02X%02X%02X:", o[3].toInt(), o[2].toInt(),
                                            o[1].toInt(), o[0].toInt());
    QFile tabela("/proc/net/tcp");
    if (!tabela.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &linha : tabela.readAll().split('\n')) {
        // sl local_address rem_address st tx_queue:rx_queue ...
        const QList<QByteArray> campos = linha.simplified().split(' ');
        if (campos.size() > 4 && campos[1].startsWith(local.toLatin1()) && campos[3] == "01")
            return campos[4].split(':').value(1).toLongLong(nullptr, 16);
    }
    return -1;
}

QByteArray conteudo(const QString &Caminho) {
    QFile f(Caminho);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST_F(RealWindow, WithoutTheTerminalLibraryTheStartIsAClearErrorAndTheRegisterPageWorks) {
    BancoTeste bd({criarItens(), "INSERT INTO ITENS VALUES ('7891', 'LEITE', NULL, 4.5, NULL)",
                   "INSERT INTO ITENS VALUES ('7890', 'PAO', 1.5, 2, NULL)"});
    criar();
    c<QPushButton>("BtnIniciar")->click();
    ASSERT_EQ(avisos->avisos.size(), 1u);
    EXPECT_EQ(avisos->avisos[0].icone, QMessageBox::Critical);
    EXPECT_TRUE(ultimoAviso().startsWith("Não foi possível carregar a biblioteca dos terminais "))
        << ultimoAviso();
    EXPECT_TRUE(ultimoAviso().contains(QDir::toNativeSeparators(
        QDir(QCoreApplication::applicationDirPath()).filePath("pqtLurma"))))
        << ultimoAviso();
    EXPECT_EQ(janela->Tag, 0);
    EXPECT_EQ(c<QPushButton>("BtnIniciar")->text(), "Iniciar Servidor");

    c<QLineEdit>("EditDatabase")->setText(bd.viaServidor());
    c<QPushButton>("BtnListar")->click();
    EXPECT_TRUE(esperarComEventos([&] { return !QApplication::overrideCursor(); }, 30000));
    EXPECT_EQ(avisos->avisos.size(), 1u) << ultimoAviso();
    EXPECT_EQ(janela->Produtos.ContarLinhas(), 2);
    janela.reset();
    TTabela lida;
    CarregarCadastro(lida, cadastro());
    EXPECT_EQ(lida.ContarLinhas(), 2);
}

// A terminal that stops answering (frozen: its socket stays open) or dies in the middle of
// the request (killed while frozen) during a capture and during a send: the operator gets the
// error box once the library's time-out is over, and the window goes on.
TEST_F(RealWindow, ATerminalThatVanishesDuringACaptureOrASendGivesTheErrorAfterTheTimeOut) {
    const quint16 porta = portaLivre();
    qputenv("LURMA_PORT", QByteArray::number(porta));
    qputenv("LURMA_BIND", "127.0.0.1");
    qputenv("LURMA_REPLY_TIMEOUT_MS", "1500");
    criar(CarregarIntQS62K(LURMA_BIN_DIR));
    c<QPushButton>("BtnIniciar")->click();
    ASSERT_EQ(janela->Tag, 1) << ultimoAviso();

    const struct {
        const char *nome;
        const char *botao;
        bool morre; // killed while the request waits, else only frozen
        QString erro;
    } casos[] = {
        {"capture, frozen", "btnCapturar", false,
         "Erro ao capturar os dados do Terminal de IP : %1."},
        {"capture, killed", "btnCapturar", true,
         "Erro ao capturar os dados do Terminal de IP : %1."},
        {"send, frozen", "btnEnviar", false,
         "Erro ao enviar a Configuração para o Terminal de IP: %1."},
        {"send, killed", "btnEnviar", true,
         "Erro ao enviar a Configuração para o Terminal de IP: %1."},
    };
    int n = 0;
    for (const auto &caso : casos) {
        SCOPED_TRACE(caso.nome);
        const QString endereco = QStringLiteral("127.0.0.%1").arg(40 + n++);
        QProcess terminal;
        terminal.start(LURMA_TERMINAL, {"--server", QStringLiteral("127.0.0.1:%1").arg(porta),
                                        "--address", endereco, "idle"});
        auto *lista = c<QListWidget>("listTerminais");
        ASSERT_TRUE(esperarComEventos(
            [&] { return !lista->findItems(endereco, Qt::MatchExactly).isEmpty(); }, 10000));
        c<QLineEdit>("txtTerminalSelecionado")->setText(endereco);
        // Alive, the same request succeeds: the failure below is the vanishing.
        c<QPushButton>(caso.botao)->click();
        ASSERT_EQ(avisos->avisos.back().icone, QMessageBox::Information) << ultimoAviso();

        const pid_t pid = pid_t(terminal.processId());
        ::kill(pid, SIGSTOP);
        // Killed once the request lies unread at the frozen terminal.
        bool pedidoChegou = !caso.morre;
        std::thread matador([&] {
            if (caso.morre) {
                for (QDeadlineTimer prazo(10000); !pedidoChegou && !prazo.hasExpired();
                     QThread::msleep(5))
                    pedidoChegou = porLer(endereco) > 0;
                ::kill(pid, SIGKILL);
            }
        });
        QElapsedTimer relogio;
        relogio.start();
        c<QPushButton>(caso.botao)->click();
        const qint64 ms = relogio.elapsed();
        matador.join();
        EXPECT_TRUE(pedidoChegou) << "the request never reached the terminal";
        RecordProperty(caso.nome, int(ms));
        std::printf("[ %s ] error box after %lld ms\n", caso.nome, (long long)ms);
        EXPECT_EQ(avisos->avisos.back().texto, caso.erro.arg(endereco));
        EXPECT_EQ(avisos->avisos.back().icone, QMessageBox::Critical);
        EXPECT_EQ(janela->Tag, 1);

        ::kill(pid, SIGKILL);
        ::kill(pid, SIGCONT);
        terminal.waitForFinished();
        // Its disconnection is dispatched as usual.
        EXPECT_TRUE(esperarComEventos(
            [&] { return lista->findItems(endereco, Qt::MatchExactly).isEmpty(); }, 10000));
    }
    qunsetenv("LURMA_REPLY_TIMEOUT_MS");
    qunsetenv("LURMA_PORT");
    qunsetenv("LURMA_BIND");
}

// Root writes through permissions, so "cannot read" is a directory in the file's place.
TEST_F(RealWindow, ACadastroThatIsADirectoryIsReportedAtStartAndLeftAloneAtExit) {
    ASSERT_TRUE(QDir(pasta.path()).mkdir("Cadastro.xml"));
    criar();
    ASSERT_EQ(avisos->avisos.size(), 1u);
    EXPECT_TRUE(ultimoAviso().startsWith("Cannot open file \"" +
                                         QDir::toNativeSeparators(cadastro()) + "\". "))
        << ultimoAviso();
    EXPECT_FALSE(janela->Produtos.Aberta());
    janela.reset();
    EXPECT_EQ(avisos->avisos.size(), 1u);
    EXPECT_TRUE(QFileInfo(cadastro()).isDir());
    EXPECT_EQ(QDir(pasta.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"Cadastro.xml"});
}

// A full disk while the changed table is written at exit (the file size limit stands in for
// it, as root is not stopped by permissions): no box (nobody may be at the screen), the close
// says "not saved", and the file that was there stays whole, with no half-written file beside.
TEST_F(RealWindow, AFailedSaveAtExitIsNotSavedWithoutABoxAndTheFileThatWasThereStaysWhole) {
    BancoTeste bd({criarItens(), "INSERT INTO ITENS VALUES ('7891', 'LEITE', NULL, 4.5, NULL)"});
    {
        TTabela t;
        t.AdicionarCampo({"CODIGO", TipoCampo::TextoLargo, 20, true});
        t.CriarDataSet();
        t.Adicionar({QString("001")});
        SalvarCadastro(t, cadastro());
    }
    criar();
    c<QLineEdit>("EditDatabase")->setText(bd.viaServidor());
    c<QPushButton>("BtnListar")->click(); // written at once
    ASSERT_TRUE(esperarComEventos([&] { return !QApplication::overrideCursor(); }, 30000));
    ASSERT_TRUE(avisos->avisos.empty()) << ultimoAviso();
    ASSERT_EQ(janela->Produtos.ContarLinhas(), 1);
    const QByteArray antes = conteudo(cadastro());
    janela->Produtos.ApagarAtual(); // a change left for the exit's save

    rlimit original{};
    getrlimit(RLIMIT_FSIZE, &original);
    const auto sinal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit pequeno = original;
    pequeno.rlim_cur = 64;
    setrlimit(RLIMIT_FSIZE, &pequeno);
    const bool salvo = janela->FecharCadastro(); // what the exit does after the loop
    setrlimit(RLIMIT_FSIZE, &original);
    std::signal(SIGXFSZ, sinal);

    EXPECT_FALSE(salvo);
    EXPECT_TRUE(avisos->avisos.empty()) << "a box at the exit: " << ultimoAviso();
    EXPECT_EQ(conteudo(cadastro()), antes);
    EXPECT_EQ(QDir(pasta.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              QStringList{"Cadastro.xml"});
}

} // namespace
