// The process's life under faults: SIGTERM in the middle of a load on a plain (embedded)
// database path, a faulty Cadastro.xml at start without a display, a file system that is full
// or read-only at the exit. Each run is the real program with the real terminal library.
#include "ArquivoCadastro.h"
#include "BancoTeste.h"
#include "PortaLivre.h"
#include "Processos.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <cstring>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <future>
#include <gtest/gtest.h>

namespace {

// A register of one product, as a listing leaves it.
void gravarCadastro(const QString &Caminho) {
    TTabela t;
    t.AdicionarCampo({"CODIGO", TipoCampo::TextoLargo, 20, true});
    t.CriarDataSet();
    t.Adicionar({QString("001")});
    SalvarCadastro(t, Caminho);
}

int linhasDoCadastro(const QString &Caminho) {
    TTabela lida;
    CarregarCadastro(lida, Caminho);
    return lida.ContarLinhas();
}

// A private mount namespace where even root is refused a read-only mount's writes.
bool montagensPrivadas() {
    QProcess teste;
    teste.start("unshare", {"-m", "true"});
    return teste.waitForFinished() && teste.exitCode() == 0;
}

// The embedded engine (a plain path) answers while 16 terminals scan; the register on disk is
// deleted from outside, so the exit must write it again. SIGTERM lands in the middle of the
// load (SIGINT or SIGHUP in some runs). Each exit: code 0, no crash, the register whole, no
// error (the engine is not shut down under the queued lookups). LURMA_SIGTERM_VEZES sets the
// number of runs and LURMA_SIGTERM_PRIMEIRA the first run's number, which picks its signal and
// moment: the slow test's hundred runs are four processes of 25 side by side.
TEST(Exit, SigtermUnderLoadOnAPlainPathEndsWithZeroAndWritesTheRegisterEveryTime) {
    const int primeira = qEnvironmentVariableIntValue("LURMA_SIGTERM_PRIMEIRA");
    const int vezes = qEnvironmentVariableIsSet("LURMA_SIGTERM_VEZES")
                          ? qEnvironmentVariableIntValue("LURMA_SIGTERM_VEZES")
                          : 5;
    BancoTeste bd({criarItens(), "INSERT INTO ITENS VALUES ('7890001001006', 'ARROZ TIPO 1 5KG', "
                                 "NULL, 24.9, NULL)"});
    Codigos codigos({Arroz, "000", Arroz});
    std::vector<qint64> tempos;
    for (int i = primeira; i < primeira + vezes; ++i) {
        SCOPED_TRACE(i);
        QTemporaryDir pasta;
        const QString cadastro = QDir(pasta.path()).filePath("Cadastro.xml");
        gravarCadastro(cadastro);
        ServidorEmTeste servidor(bd.caminho(), {pasta.path()});
        ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();
        const QStringList r = ler(servidor.servidor(), "127.0.0.2", {Arroz});
        ASSERT_EQ(r.size(), 1);
        ASSERT_TRUE(r[0].startsWith("PRICE|")) // the engine is up
            << r[0].toStdString() << " " << s(servidor.errosRelatados());

        auto carregando = std::async(std::launch::async, [&] {
            return carga(servidor.servidor(), "127.0.0.10", 16, 200, codigos.nome(),
                         3000);
        });
        QThread::msleep(200 + 37 * (i % 11)); // the signal lands at a different moment each run
        ASSERT_TRUE(QFile::remove(cadastro));
        QElapsedTimer relogio;
        relogio.start();
        // Mostly SIGTERM; every fourth run Ctrl+C's SIGINT, every fifth a hang-up's SIGHUP.
        const int sinal = i % 5 == 4 ? SIGHUP : i % 4 == 3 ? SIGINT : SIGTERM;
        ASSERT_TRUE(servidor.encerrar(15000, sinal)) << "no exit within 15 s of signal " << sinal;
        tempos.push_back(relogio.elapsed());
        carregando.get();
        const QString erroPadrao = servidor.saida();
        EXPECT_FALSE(servidor.caiu()) << erroPadrao.toStdString();
        EXPECT_EQ(servidor.status(), 0) << erroPadrao.toStdString();
        EXPECT_TRUE(servidor.errosRelatados().isEmpty()) << s(servidor.errosRelatados());
        ASSERT_TRUE(QFile::exists(cadastro));
        EXPECT_EQ(linhasDoCadastro(cadastro), 1);
        if (HasFailure())
            break;
    }
    std::sort(tempos.begin(), tempos.end());
    if (!tempos.empty())
        std::printf("%d signals under load: exit after median %lld ms, longest %lld ms\n",
                    int(tempos.size()), tempos[tempos.size() / 2], tempos.back());
}

// Without a display and with nobody to answer, a faulty register must not keep the server from
// listening: the error is reported (error log, standard error) without waiting for an answer,
// the terminals are served, and the exit leaves the faulty file as it was. Also with standard
// error into a pipe whose reader has gone (a launcher's log reader that ended): the report's
// write there fails and is dropped, it does not end the program.
TEST(Exit, AFaultyCadastroAtStartIsReportedAndTheHeadlessServerListens) {
    BancoTeste bd({criarItens(), "INSERT INTO ITENS VALUES ('7890001001006', 'ARROZ TIPO 1 5KG', "
                                 "NULL, 24.9, NULL)"});
    for (const bool semLeitor : {false, true}) {
        SCOPED_TRACE(semLeitor ? "standard error without a reader" : "standard error read");
        QTemporaryDir pasta;
        const QString cadastro = QDir(pasta.path()).filePath("Cadastro.xml");
        const QByteArray faltoso = "<?xml version=\"1.0\" standalone=\"yes\"?><DATAPACKET";
        {
            QFile f(cadastro);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(faltoso);
        }
        ProgramaEmTeste programa{pasta.path()};
        programa.ErroSemLeitor = semLeitor;
        ServidorEmTeste servidor(bd.viaServidor(), programa);
        ASSERT_TRUE(servidor.esperarPorta(15000))
            << servidor.saida().toStdString() << (servidor.caiu() ? "crashed" : "");
        EXPECT_EQ(servidor.errosRelatados(), QStringList{"Mismatch in datapacket."});
        const QStringList r = ler(servidor.servidor(), "127.0.0.2", {Arroz});
        ASSERT_EQ(r.size(), 1);
        EXPECT_TRUE(r[0].startsWith("PRICE|")) << r[0].toStdString();
        ASSERT_TRUE(servidor.encerrar(15000));
        EXPECT_FALSE(servidor.caiu());
        EXPECT_EQ(servidor.status(), 0);
        if (!semLeitor) {
            EXPECT_TRUE(servidor.saida().contains("Mismatch in datapacket."));
        }
        QFile f(cadastro);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_EQ(f.readAll(), faltoso);
    }
}

// The remembered path stored as another type (an INI list, a byte array), headless: the error
// is reported without waiting for an answer, the server listens as usual, and SIGTERM ends the
// program through its normal exit, which writes the register.
TEST(Startup, ARememberedPathOfAnotherTypeDoesNotHoldTheStart) {
    for (const char *valor : {"a, b", "@ByteArray(Localhost:/x.fdb)"}) {
        SCOPED_TRACE(valor);
        QTemporaryDir pasta;
        const QString cadastro = QDir(pasta.path()).filePath("Cadastro.xml");
        gravarCadastro(cadastro);
        ProgramaEmTeste programa{pasta.path()};
        programa.Configuracao = QByteArray("[Config]\nEditDatabase=") + valor + "\n";
        ServidorEmTeste servidor(QString(), programa);
        ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();
        const QStringList erros = servidor.errosRelatados();
        EXPECT_EQ(erros, QStringList{"Invalid data type for 'EditDatabase'"}) << s(erros);
        ASSERT_TRUE(QFile::remove(cadastro));
        ASSERT_TRUE(servidor.encerrar(15000));
        const QString saida = servidor.saida();
        EXPECT_FALSE(servidor.caiu()) << saida.toStdString();
        EXPECT_EQ(servidor.status(), 0) << saida.toStdString();
        ASSERT_TRUE(QFile::exists(cadastro));
        EXPECT_EQ(linhasDoCadastro(cadastro), 1);
    }
}

// Whether the process's main thread blocks SIGTERM: main has begun.
bool sigtermBloqueado(qint64 Pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(Pid));
    if (!status.open(QIODevice::ReadOnly))
        return false;
    for (const QByteArray &linha : status.readAll().split('\n'))
        if (linha.startsWith("SigBlk:"))
            return linha.mid(7).trimmed().toULongLong(nullptr, 16) & (1ULL << (SIGTERM - 1));
    return false;
}

// A signal at any moment of the start, with an error to report before the main loop runs,
// ends the program through its normal exit: status 0, the register whole.
TEST(Startup, ASignalAtAnyMomentOfTheStartEndsItWithZero) {
    for (const int atraso : {0, 30, 100, 250, 500, 900, 1400}) {
        SCOPED_TRACE(atraso);
        QTemporaryDir pasta;
        const QString cadastro = QDir(pasta.path()).filePath("Cadastro.xml");
        gravarCadastro(cadastro);
        ProgramaEmTeste programa{pasta.path()};
        programa.Configuracao = "[Config]\nEditDatabase=a, b\n";
        ServidorEmTeste servidor(QString(), programa);
        ASSERT_TRUE(esperar([&] { return sigtermBloqueado(servidor.pid()); }, 10000));
        QThread::msleep(atraso);
        ASSERT_TRUE(servidor.encerrar(15000));
        const QString saida = servidor.saida();
        EXPECT_FALSE(servidor.caiu()) << saida.toStdString();
        EXPECT_EQ(servidor.status(), 0) << saida.toStdString();
        EXPECT_EQ(linhasDoCadastro(cadastro), 1);
    }
}

} // namespace

namespace {

// A second copy on the same port finds the first, asks it to show its window and ends saying
// so; the first goes on serving. A port held by another program: the server says it could not
// start, and the process stays up.
TEST(SecondCopy, ASecondCopyOnTheSamePortEndsSayingSoAndTheFirstServesOn) {
    BancoTeste bd({criarItens(), "INSERT INTO ITENS VALUES ('7890001001006', 'ARROZ TIPO 1 5KG', "
                                 "NULL, 24.9, NULL)"});
    QTemporaryDir primeira, segunda;
    ServidorEmTeste servidor(bd.viaServidor(), {primeira.path()});
    ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();

    QProcess outra;
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert("QT_QPA_PLATFORM", "offscreen");
    ambiente.insert("LURMA_PORT", servidor.servidor().section(u':', 1));
    ambiente.insert("LURMA_ERROR_LOG", segunda.filePath("erros.log"));
    ambiente.insert("XDG_CONFIG_HOME", segunda.filePath("config"));
    outra.setProcessEnvironment(ambiente);
    ASSERT_TRUE(QFile::copy(primeira.filePath("ServidorLurma"), segunda.filePath("ServidorLurma")));
    outra.start(segunda.filePath("ServidorLurma"), {});
    ASSERT_TRUE(outra.waitForFinished(15000)) << "the second copy stayed";
    EXPECT_EQ(outra.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(outra.exitCode(), 0);
    EXPECT_TRUE(QString::fromUtf8(outra.readAllStandardError()).contains("já está em execução"));
    QFile log(segunda.filePath("erros.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(QString::fromUtf8(log.readAll()).contains("já está em execução"));

    const QStringList r = ler(servidor.servidor(), "127.0.0.2", {Arroz});
    ASSERT_EQ(r.size(), 1);
    EXPECT_TRUE(r[0].startsWith("PRICE|")) << r[0].toStdString();
    EXPECT_TRUE(servidor.errosRelatados().isEmpty()) << s(servidor.errosRelatados());
}

// A copy killed outright leaves its lock behind: the next start takes it over, and a copy
// after that one finds it running. A copy that no longer answers loses the lock the same way.
TEST(SecondCopy, ALockWhoseOwnerWasKilledOrDoesNotAnswerIsTakenOver) {
    const QString banco = "Localhost:/nao/importa.fdb";
    QTemporaryDir morta, viva, terceira;
    ServidorEmTeste primeira(banco, {morta.path()});
    ASSERT_TRUE(primeira.esperarPorta(15000)) << primeira.saida().toStdString();
    ASSERT_TRUE(primeira.encerrar(15000, SIGKILL));

    ProgramaEmTeste programa{viva.path()};
    programa.Porta = primeira.porta();
    ServidorEmTeste segunda(banco, programa);
    ASSERT_TRUE(segunda.esperarPorta(15000)) << segunda.saida().toStdString();
    EXPECT_TRUE(segunda.errosRelatados().isEmpty()) << s(segunda.errosRelatados());

    programa.Pasta = terceira.path();
    ServidorEmTeste outra(banco, programa);
    ASSERT_TRUE(outra.esperarFim(15000)) << "the third copy stayed";
    EXPECT_FALSE(outra.caiu());
    EXPECT_EQ(outra.status(), 0);
    EXPECT_TRUE(outra.saida().contains("já está em execução"));
    EXPECT_TRUE(segunda.rodando());

    // A copy that does not answer (stopped) holds the port but not the lock: the next one takes
    // the lock, runs, and says that the port is taken.
    ::kill(pid_t(segunda.pid()), SIGSTOP);
    QTemporaryDir quarta;
    programa.Pasta = quarta.path();
    ServidorEmTeste depois(banco, programa);
    const bool disse = esperar(
        [&] {
            const QStringList e = depois.errosRelatados();
            return !e.isEmpty() && e.last().startsWith("Não foi possível iniciar");
        },
        15000);
    ::kill(pid_t(segunda.pid()), SIGCONT);
    EXPECT_TRUE(disse) << depois.saida().toStdString();
    EXPECT_TRUE(depois.rodando());
}

// Another user on the machine, for the test's length.
class OutroUsuario {
public:
    OutroUsuario() {
        QProcess::execute("useradd", {"--no-create-home", "--shell", "/usr/sbin/nologin", Nome});
        if (const passwd *p = ::getpwnam(Nome))
            uid = p->pw_uid, gid = p->pw_gid;
    }
    ~OutroUsuario() { QProcess::execute("userdel", {Nome}); }
    bool existe() const { return uid != 0; }
    // Gives Caminho (a file, a socket or a folder) to this user.
    bool dar(const QString &Caminho) const {
        return ::lchown(QFile::encodeName(Caminho).constData(), uid, gid) == 0;
    }
    static constexpr const char *Nome = "lurma-alheio";
    uid_t uid = 0;
    gid_t gid = 0;
};

// A socket that listens at Caminho and never answers, as a copy of the program that hangs.
class SocketOuvindo {
public:
    explicit SocketOuvindo(const QString &Caminho) : FCaminho(QFile::encodeName(Caminho)) {
        sockaddr_un endereco{};
        endereco.sun_family = AF_UNIX;
        std::strncpy(endereco.sun_path, FCaminho.constData(), sizeof endereco.sun_path - 1);
        FSocket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        FOuvindo = FSocket >= 0 &&
                   ::bind(FSocket, reinterpret_cast<sockaddr *>(&endereco), sizeof endereco) == 0 &&
                   ::listen(FSocket, 8) == 0;
    }
    ~SocketOuvindo() {
        ::close(FSocket);
        ::unlink(FCaminho.constData());
    }
    bool ouvindo() const { return FOuvindo; }

private:
    QByteArray FCaminho;
    int FSocket = -1;
    bool FOuvindo = false;
};

// Another user's socket or file under the lock's old name (the shared temporary folder, the
// user's name) and under its new one (in a runtime folder that is not this user's, and in the
// private folder when another user took its name first) never stops the program, nor is it
// touched. The tests run as root, which may create the other user.
TEST(SecondCopy, AnotherUsersSocketOrFileUnderTheLocksNamesDoesNotStopTheProgram) {
    if (::getuid() != 0)
        GTEST_SKIP() << "needs root to create another user";
    OutroUsuario outro;
    ASSERT_TRUE(outro.existe());
    const QString usuario = QString::fromLocal8Bit(::getpwuid(::getuid())->pw_name);
    const struct {
        const char *nome;
        bool sockets;    // else plain files
        bool pastaTomada; // another user made the private folder first
    } casos[] = {{"sockets; the private folder is free", true, false},
                 {"files; another user took the private folder", false, true}};
    for (const auto &c : casos) {
        SCOPED_TRACE(c.nome);
        QTemporaryDir raiz, pasta;
        const QString tmp = raiz.filePath("tmp"), execucao = raiz.filePath("execucao");
        ASSERT_TRUE(QDir().mkpath(tmp) && QDir().mkpath(execucao));
        ::chmod(QFile::encodeName(tmp).constData(), 01777);
        ::chmod(QFile::encodeName(execucao).constData(), 0700);
        ASSERT_TRUE(outro.dar(execucao));
        const quint16 porta = portaLivre();
        const QString propria = tmp + QStringLiteral("/ServidorLurma-%1").arg(::getuid());
        const QString nome = QStringLiteral("ServidorLurma-%1-%2").arg(::getuid()).arg(porta);
        QStringList alheios = {tmp + QStringLiteral("/ServidorLurma-%1-%2").arg(usuario).arg(porta),
                               execucao + "/" + nome};
        if (c.pastaTomada) {
            ASSERT_TRUE(QDir().mkpath(propria));
            ::chmod(QFile::encodeName(propria).constData(), 0700);
            ASSERT_TRUE(outro.dar(propria));
            alheios << propria + "/" + nome;
        }
        std::vector<std::unique_ptr<SocketOuvindo>> sockets;
        for (const QString &alheio : alheios) {
            if (c.sockets) {
                sockets.push_back(std::make_unique<SocketOuvindo>(alheio));
                ASSERT_TRUE(sockets.back()->ouvindo()) << alheio.toStdString();
            } else {
                QFile f(alheio);
                ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << alheio.toStdString();
            }
            ASSERT_TRUE(outro.dar(alheio));
        }

        ProgramaEmTeste programa{pasta.path()};
        programa.Porta = porta;
        programa.Ambiente = {"TMPDIR=" + tmp, "XDG_RUNTIME_DIR=" + execucao, "USER=" + usuario};
        ServidorEmTeste servidor("Localhost:/nao/importa.fdb", programa);
        ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();
        const QStringList erros = servidor.errosRelatados();
        if (c.pastaTomada) {
            ASSERT_EQ(erros.size(), 1) << s(erros); // said once; the program serves all the same
            EXPECT_TRUE(erros[0].startsWith("Sem a trava de uma cópia por usuário e porta"))
                << s(erros);
        } else {
            EXPECT_TRUE(erros.isEmpty()) << s(erros);
            EXPECT_EQ(QFileInfo(propria + "/" + nome).ownerId(), ::getuid()); // its own lock
        }
        for (const QString &alheio : alheios)
            EXPECT_EQ(QFileInfo(alheio).ownerId(), outro.uid) << alheio.toStdString();
    }
}

// A copy whose start-up is held up (its register on a disk that stalls: here a pipe that
// nobody writes yet) is found all the same by a second copy, which ends saying so; the first
// then starts and serves.
TEST(SecondCopy, ACopyStillStartingUpIsFoundByASecondOne) {
    QTemporaryDir execucao, pasta, outra;
    ASSERT_EQ(::mkfifo(QFile::encodeName(pasta.filePath("Cadastro.xml")).constData(), 0600), 0);
    ProgramaEmTeste programa{pasta.path()};
    programa.Porta = portaLivre();
    programa.Ambiente = {"XDG_RUNTIME_DIR=" + execucao.path()};
    ServidorEmTeste primeira("Localhost:/nao/importa.fdb", programa);
    const QString socket =
        execucao.filePath(QStringLiteral("ServidorLurma-%1-%2").arg(::getuid()).arg(programa.Porta));
    ASSERT_TRUE(esperar([&] { return QFileInfo(socket).exists(); }, 15000));

    programa.Pasta = outra.path();
    ServidorEmTeste segunda("Localhost:/nao/importa.fdb", programa);
    ASSERT_TRUE(segunda.esperarFim(15000)) << "the second copy stayed";
    EXPECT_EQ(segunda.status(), 0);
    EXPECT_TRUE(segunda.saida().contains("já está em execução"));
    EXPECT_TRUE(primeira.rodando());

    QFile cadastro(pasta.filePath("Cadastro.xml")); // the disk answers again
    ASSERT_TRUE(cadastro.open(QIODevice::WriteOnly));
    TTabela t;
    t.AdicionarCampo({"CODIGO", TipoCampo::TextoLargo, 20, true});
    t.CriarDataSet();
    t.Adicionar({QString("001")});
    cadastro.write(EscreverPacote(t));
    cadastro.close();
    EXPECT_TRUE(primeira.esperarPorta(15000)) << primeira.saida().toStdString();
    EXPECT_TRUE(primeira.errosRelatados().isEmpty()) << s(primeira.errosRelatados());
}

// Copies started at the same instant on one port (all made ready, then started back to
// back): exactly one runs and serves, the others end saying so.
TEST(SecondCopy, OfCopiesStartedAtOnceExactlyOneRuns) {
    for (int rodada = 0; rodada < 3; ++rodada) {
        SCOPED_TRACE(rodada);
        QTemporaryDir raiz;
        const quint16 porta = portaLivre();
        QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
        ambiente.insert("QT_QPA_PLATFORM", "offscreen");
        ambiente.insert("LURMA_BIND", "127.0.0.1");
        ambiente.insert("LURMA_PORT", QString::number(porta));
        ambiente.insert("LURMA_PAINEL", "");
        ambiente.insert("XDG_CONFIG_HOME", raiz.filePath("config"));
        ambiente.insert("XDG_DATA_HOME", raiz.filePath("dados"));
        std::vector<std::unique_ptr<QProcess>> copias;
        for (int i = 0; i < 8; ++i) {
            const QString pasta = raiz.filePath(QString::number(i));
            ASSERT_TRUE(QDir().mkpath(pasta));
            for (const QString nome : {"ServidorLurma", "libpqtLurma.so"})
                ASSERT_TRUE(QFile::copy(QFileInfo(SERVIDOR_LURMA).dir().filePath(nome),
                                        QDir(pasta).filePath(nome)));
            copias.push_back(std::make_unique<QProcess>());
            ambiente.insert("LURMA_ERROR_LOG", QDir(pasta).filePath("erros.log"));
            copias.back()->setProcessEnvironment(ambiente);
            copias.back()->setProgram(QDir(pasta).filePath("ServidorLurma"));
        }
        for (auto &c : copias)
            c->start();
        const auto rodando = [&] {
            return std::count_if(copias.begin(), copias.end(), [](auto &c) {
                c->waitForFinished(0); // takes in an end that has come
                return c->state() != QProcess::NotRunning;
            });
        };
        esperar([&] { return rodando() <= 1; }, 30000);
        EXPECT_EQ(rodando(), 1);
        for (auto &c : copias) {
            if (c->state() != QProcess::NotRunning) {
                EXPECT_TRUE(esperar(
                    [&] {
                        QTcpSocket terminal;
                        terminal.connectToHost(QHostAddress::LocalHost, porta);
                        return terminal.waitForConnected(1000);
                    },
                    15000));
                ::kill(pid_t(c->processId()), SIGTERM);
                EXPECT_TRUE(c->waitForFinished(15000));
                EXPECT_EQ(c->exitCode(), 0);
                continue;
            }
            EXPECT_EQ(c->exitStatus(), QProcess::NormalExit);
            EXPECT_EQ(c->exitCode(), 0);
            const QString saida = QString::fromUtf8(c->readAllStandardError());
            EXPECT_TRUE(saida.contains("já está em execução")) << saida.toStdString();
        }
    }
}

TEST(SecondCopy, APortHeldByAnotherProgramIsReported) {
    QTcpServer estranho; // holds the terminal port on the address the server binds
    ASSERT_TRUE(estranho.listen(QHostAddress::LocalHost, 0));
    QTemporaryDir pasta;
    QProcess servidor;
    QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
    ambiente.insert("QT_QPA_PLATFORM", "offscreen");
    ambiente.insert("LURMA_BIND", "127.0.0.1");
    ambiente.insert("LURMA_PORT", QString::number(estranho.serverPort()));
    ambiente.insert("LURMA_ERROR_LOG", pasta.filePath("erros.log"));
    ambiente.insert("XDG_CONFIG_HOME", pasta.filePath("config"));
    servidor.setProcessEnvironment(ambiente);
    for (const QString nome : {"ServidorLurma", "libpqtLurma.so"})
        ASSERT_TRUE(
            QFile::copy(QFileInfo(SERVIDOR_LURMA).dir().filePath(nome), pasta.filePath(nome)));
    servidor.start(pasta.filePath("ServidorLurma"), {});
    ASSERT_TRUE(servidor.waitForStarted());
    const bool relatado = esperar(
        [&] {
            QFile log(pasta.filePath("erros.log"));
            return log.open(QIODevice::ReadOnly) &&
                   QString::fromUtf8(log.readAll()).contains("Não foi possível iniciar");
        },
        15000);
    EXPECT_TRUE(relatado);
    EXPECT_EQ(servidor.state(), QProcess::Running);
    ::kill(pid_t(servidor.processId()), SIGTERM);
    ASSERT_TRUE(servidor.waitForFinished(15000));
    EXPECT_EQ(servidor.exitCode(), 0);
}

} // namespace

namespace {

// The program's directory is a small tmpfs, full, for the program alone. The register loads;
// deleted from outside (through the process's own view of its mounts), it must be written at
// the exit, where the disk is full: no box, the error on standard error and in the error log,
// and the exit status 1.
TEST(FullDisk, AFullFileSystemAtTheExitIsReportedWithStatusOne) {
    if (!montagensPrivadas())
        GTEST_SKIP() << "no private mount namespace here (unshare -m needs CAP_SYS_ADMIN)";
    BancoTeste bd({criarItens()});
    QTemporaryDir pasta;
    const QString cadastro = QDir(pasta.path()).filePath("Cadastro.xml");
    gravarCadastro(cadastro);
    ServidorEmTeste servidor(bd.viaServidor(), {pasta.path(), true, false, true});
    ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();
    const QString visto = QStringLiteral("/proc/%1/root%2").arg(servidor.pid()).arg(pasta.path());
    ASSERT_TRUE(QFile::remove(visto + "/Cadastro.xml"));
    QFile enchimento(visto + "/enchimento");
    ASSERT_TRUE(enchimento.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    const QByteArray bloco(1 << 16, 'x');
    while (enchimento.write(bloco) == bloco.size()) {
    }
    while (enchimento.write(bloco.left(512)) == 512) {
    }
    enchimento.close();

    ASSERT_TRUE(servidor.encerrar(15000));
    EXPECT_FALSE(servidor.caiu());
    EXPECT_EQ(servidor.status(), 1);
    const QStringList erros = servidor.errosRelatados();
    ASSERT_EQ(erros.size(), 1) << s(erros);
    EXPECT_TRUE(erros[0].startsWith("Cannot ")) << s(erros);
    EXPECT_TRUE(servidor.saida().contains(erros[0]));
    std::printf("%s\n", qPrintable(erros[0]));
}

} // namespace

namespace {

// A lookup stuck on a database server that accepts the connection and never answers (the
// kernel completes the handshake of a listening socket nobody serves) must not hold the exit:
// the process ends soon after SIGTERM, whatever the lookup does.
TEST(Exit, ALookupStuckOnADatabaseThatNeverAnswersDoesNotHoldTheExit) {
    QTcpServer mudo;
    ASSERT_TRUE(mudo.listen(QHostAddress::LocalHost, 0));
    QTemporaryDir pasta;
    ServidorEmTeste servidor(
        QStringLiteral("127.0.0.1/%1:/nao/responde.fdb").arg(mudo.serverPort()), {pasta.path()});
    ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();
    auto lendo = std::async(std::launch::async,
                            [&] { return ler(servidor.servidor(), "127.0.0.2", {Arroz}, 3000); });
    // The scan reaches the server and its lookup waits on the mute database.
    ASSERT_TRUE(esperar(
        [&] { return mudo.hasPendingConnections() || mudo.waitForNewConnection(0); }, 10000));
    QElapsedTimer relogio;
    relogio.start();
    ASSERT_TRUE(servidor.encerrar(15000)) << "the exit waited for the stuck lookup";
    std::printf("exit %lld ms after SIGTERM with a lookup stuck, status %d\n", relogio.elapsed(),
                servidor.status());
    EXPECT_FALSE(servidor.caiu()) << servidor.saida().toStdString();
    lendo.get();
}

} // namespace
