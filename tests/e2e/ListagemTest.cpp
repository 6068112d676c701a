// A listing of 100 000 products in the real program, its real window on an X server of the
// test's own (Xvfb) and "Listar Cadastro" clicked through xdotool, ended by SIGTERM at moments
// spread over the listing. After each end: Cadastro.xml is the old register or the new one,
// whole; the exit status says whether the register's changes were written; the next start
// loads the file without an error. Three disks: a plain one, one where no temporary file can
// be made beside the register (its folder is not writable, the file is), and one throttled to
// 2 MiB/s. LURMA_LISTAGEM_VEZES sets the
// number of signalled tries (30 by default) and LURMA_LISTAGEM_PRIMEIRA the first one's number,
// which picks its moment: the suite runs the 30 as parts side by side.
#include "ArquivoCadastro.h"
#include "BancoTeste.h"
#include "Processos.h"
#include "RegistroTeste.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace {

constexpr int Produtos = 100000;

QByteArray conteudo(const QString &Caminho) {
    QFile f(Caminho);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool rodar(const QString &Programa, const QStringList &Argumentos, QString *Saida = nullptr) {
    QProcess p;
    p.start(Programa, Argumentos);
    const bool ok = p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit &&
                    p.exitCode() == 0;
    if (Saida)
        *Saida = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
    return ok;
}

// A small file system on a loop device whose writes are throttled, for the processes that join
// its blkio cgroup. Empty Pasta when this machine cannot make one.
class DiscoLento {
public:
    explicit DiscoLento(qint64 BytesPorSegundo) {
        const QString imagem = FTemp.filePath("disco.img");
        FMontagem = FTemp.filePath("montado");
        FCgroup = QStringLiteral("/sys/fs/cgroup/blkio/lurma-teste-%1").arg(::getpid());
        QString dispositivo;
        if (!QDir().mkpath(FMontagem) || !rodar("truncate", {"-s", "64M", imagem}) ||
            !rodar("mkfs.ext4", {"-q", "-F", imagem}) ||
            !rodar("losetup", {"-f", "--show", imagem}, &dispositivo))
            return;
        FDispositivo = dispositivo;
        struct stat st {};
        if (::stat(FDispositivo.toLocal8Bit().constData(), &st) != 0 ||
            !rodar("mount", {FDispositivo, FMontagem}))
            return;
        FMontado = true;
        QFile limite(FCgroup + "/blkio.throttle.write_bps_device");
        if (!QDir().mkpath(FCgroup) || !limite.open(QIODevice::WriteOnly) ||
            limite.write(QStringLiteral("%1:%2 %3\n")
                             .arg(major(st.st_rdev))
                             .arg(minor(st.st_rdev))
                             .arg(BytesPorSegundo)
                             .toLatin1()) < 0 ||
            !limite.flush())
            return;
        FPronto = true;
    }
    ~DiscoLento() {
        if (FMontado)
            rodar("umount", {FMontagem});
        if (!FDispositivo.isEmpty())
            rodar("losetup", {"-d", FDispositivo});
        QDir().rmdir(FCgroup);
    }
    QString Pasta() const { return FPronto ? FMontagem : QString(); }
    QString Cgroup() const { return FCgroup; }

private:
    QTemporaryDir FTemp;
    QString FMontagem, FCgroup, FDispositivo;
    bool FMontado = false, FPronto = false;
};

enum class Disco { Comum, SemTemporario, Lento };

class Listing : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (QStandardPaths::findExecutable("Xvfb").isEmpty() ||
            QStandardPaths::findExecutable("xdotool").isEmpty())
            return;
        if (!iniciarTela())
            return;
        FBanco = new BancoTeste(
            {criarItens(), QString("EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < %1) "
                                   "DO BEGIN INSERT INTO ITENS VALUES (7890000000000 + :I, "
                                   "'PRODUTO AÇÚCAR & CAFÉ ' || :I, IIF(MOD(:I, 3) = 0, NULL, "
                                   ":I / 100.0), :I / 10.0 + 0.05, NULL); I = I + 1; END END")
                               .arg(Produtos)});
    }
    // The X server, started again when it has gone (something on a busy machine ended it once).
    static bool iniciarTela() {
        if (FXvfb && FXvfb->state() == QProcess::Running)
            return true;
        delete FXvfb;
        FXvfb = new QProcess;
        FXvfb->start("Xvfb",
                     {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
        QByteArray numero;
        while (!numero.contains('\n') && FXvfb->waitForReadyRead(10000))
            numero += FXvfb->readAllStandardOutput();
        FTela = numero.trimmed().isEmpty() ? QString() : ":" + QString::fromLatin1(numero.trimmed());
        qputenv("DISPLAY", FTela.toLatin1()); // for xdotool
        return !FTela.isEmpty();
    }
    static void TearDownTestSuite() {
        delete FBanco;
        if (FXvfb) {
            FXvfb->terminate();
            FXvfb->waitForFinished(5000);
        }
        delete FXvfb;
    }
    void SetUp() override {
        if (FTela.isEmpty())
            GTEST_SKIP() << "no Xvfb or xdotool here";
    }

    // The register that was there before the listing: three products.
    static QByteArray registroAntigo(const QString &Caminho) {
        TTabela t;
        definirCamposDaListagem(t);
        t.CriarDataSet();
        for (const char *codigo : {"001", "002", "003"})
            t.Adicionar({QString(codigo), QString("ANTIGO"), Valor{}, Decimal{100, 2}});
        SalvarCadastro(t, Caminho);
        return conteudo(Caminho);
    }

    // The window of the program Pid, on page "Cadastro", and a click on "Listar Cadastro"
    // (PageControl1 at 16,13, the button at 378,169 of the page below its tab bar).
    static bool clicarListar(qint64 Pid) {
        QString janela;
        esperar(
            [&] {
                return rodar("xdotool", QStringList{"search", "--onlyvisible", "--pid",
                                                           QString::number(Pid), "--name",
                                                           "Servidor para Terminais"},
                             &janela) &&
                       !janela.isEmpty();
            },
            15000);
        janela = janela.section(u'\n', 0, 0);
        return !janela.isEmpty() &&
               rodar("xdotool", QStringList{"windowfocus", "--sync", janela, "key",
                                                   "ctrl+Tab"}) &&
               (QThread::msleep(300), true) &&
               rodar("xdotool", QStringList{"mousemove", "--window", janela, "460", "225",
                                                   "click", "1"});
    }

    void tentativas(Disco Tipo);

    static inline QProcess *FXvfb = nullptr;
    static inline QString FTela;
    static inline BancoTeste *FBanco = nullptr;
};

// One run of the program on Pasta: its window's listing clicked, then Esperar (the moment of
// the signal), SIGTERM, and what was left.
struct Desfecho {
    bool Novo = false; // the file holds the listing, whole; else it is the old register
    int Status = -1;
    qint64 SaidaMs = 0; // from the signal to the end of the process
    QStringList Erros;
};

void Listing::tentativas(Disco Tipo) {
    std::unique_ptr<DiscoLento> lento;
    if (Tipo == Disco::Lento) {
        lento = std::make_unique<DiscoLento>(2 << 20);
        if (lento->Pasta().isEmpty())
            GTEST_SKIP() << "no throttled loop device here (losetup, mkfs.ext4, blkio cgroup)";
    }
    if (Tipo == Disco::SemTemporario && QStandardPaths::findExecutable("setpriv").isEmpty())
        GTEST_SKIP() << "no setpriv here";
    const auto rodada = [&](const QString &Pasta, const std::function<void(ServidorEmTeste &)>
                                                      &Esperar) {
        Desfecho d;
        ProgramaEmTeste programa{Pasta};
        // Where no file can be made beside the executable, the register lives in the user's
        // data folder: that one holds it then.
        if (Tipo == Disco::SemTemporario) {
            programa.SoOCadastroGravavel = true;
            programa.Dados = QDir(Pasta).filePath("dados");
        }
        const QString cadastro =
            programa.Dados.isEmpty() ? QDir(Pasta).filePath("Cadastro.xml")
                                     : QDir(programa.Dados).filePath("ServidorLurma/Cadastro.xml");
        QDir().mkpath(QFileInfo(cadastro).path());
        const QByteArray antigo = registroAntigo(cadastro);
        ProgramaEmTeste proximo = programa; // the next start, the same way but offscreen
        EXPECT_TRUE(iniciarTela());
        programa.Tela = FTela;
        if (lento)
            programa.Cgroup = lento->Cgroup();
        ServidorEmTeste servidor(FBanco->viaServidor(), programa);
        EXPECT_TRUE(servidor.esperarPorta(20000)) << servidor.saida().toStdString();
        const bool clicado = clicarListar(servidor.pid());
        EXPECT_TRUE(clicado);
        if (clicado)
            Esperar(servidor);
        QElapsedTimer relogio;
        relogio.start();
        EXPECT_TRUE(servidor.encerrar(30000)) << "no exit within 30 s";
        d.SaidaMs = relogio.elapsed();
        EXPECT_FALSE(servidor.caiu()) << servidor.saida().toStdString();
        d.Status = servidor.status();
        d.Erros = servidor.errosRelatados();
        const QByteArray agora = conteudo(cadastro);
        if (agora != antigo) {
            TTabela lida;
            EXPECT_NO_THROW(CarregarCadastro(lida, cadastro));
            EXPECT_EQ(lida.ContarLinhas(), Produtos) << "the file holds neither register";
            d.Novo = lida.ContarLinhas() == Produtos;
        }
        // The next start loads it: no error reported.
        ServidorEmTeste seguinte(FBanco->viaServidor(), proximo);
        EXPECT_TRUE(seguinte.esperarPorta(20000)) << seguinte.saida().toStdString();
        EXPECT_TRUE(seguinte.errosRelatados().isEmpty()) << s(seguinte.errosRelatados());
        EXPECT_TRUE(seguinte.encerrar(30000));
        EXPECT_EQ(seguinte.status(), 0);
        EXPECT_EQ(conteudo(cadastro), agora);
        return d;
    };
    // A fresh folder for each run, on the throttled disk when there is one.
    const auto pasta = [&] {
        auto p = std::make_unique<QTemporaryDir>(lento ? lento->Pasta() + "/XXXXXX"
                                                       : QDir::tempPath() + "/lurma-XXXXXX");
        return p;
    };
    // Not written: the listing's save failed, where no temporary file can be made.
    const auto naoGravou = [](const QStringList &Erros) {
        return std::any_of(Erros.begin(), Erros.end(),
                           [](const QString &e) { return e.startsWith("Cannot create file"); });
    };

    // First a listing that runs to its end, which sets the scale of the moments.
    QElapsedTimer duracao;
    qint64 d0 = 0;
    {
        const auto p = pasta();
        const QString cadastro = QDir(p->path()).filePath("Cadastro.xml");
        const Desfecho d = rodada(p->path(), [&](ServidorEmTeste &Servidor) {
            duracao.start();
            const QByteArray antes = conteudo(cadastro);
            EXPECT_TRUE(esperar(
                [&] {
                    return Tipo == Disco::SemTemporario ? naoGravou(Servidor.errosRelatados())
                                                        : conteudo(cadastro) != antes;
                },
                120000))
                << "the listing never ended";
            d0 = duracao.elapsed();
        });
        std::printf("listing to its end: %lld ms, then the exit %lld ms (status %d)\n",
                    (long long)d0, (long long)d.SaidaMs, d.Status);
        EXPECT_EQ(d.Novo, Tipo != Disco::SemTemporario);
        EXPECT_EQ(d.Status, Tipo == Disco::SemTemporario ? 1 : 0) << s(d.Erros);
        if (HasFailure())
            return;
    }

    const int primeira = qEnvironmentVariableIntValue("LURMA_LISTAGEM_PRIMEIRA");
    const int vezes = qEnvironmentVariableIsSet("LURMA_LISTAGEM_VEZES")
                          ? qEnvironmentVariableIntValue("LURMA_LISTAGEM_VEZES")
                          : 30;
    int novos = 0, antigos = 0;
    std::vector<qint64> saidas;
    for (int i = primeira; i < primeira + vezes; ++i) {
        SCOPED_TRACE(i);
        // Spread over the listing and a little beyond, a different moment each try.
        const qint64 momento = d0 * 12 / 10 * ((i * 7) % 30) / 29;
        const auto p = pasta();
        const Desfecho d = rodada(p->path(), [&](ServidorEmTeste &Servidor) {
            QElapsedTimer desde;
            desde.start();
            if (Tipo == Disco::Comum && momento >= 3000) {
                // Terminals are answered while the listing runs (which held every reply until
                // its end when it ran on the user-interface thread); a busy machine took over
                // 3 s for one lookup beside it.
                const QStringList r = ler(Servidor.servidor(), "127.0.0.2", {"7890000000007"}, 5000);
                EXPECT_EQ(r.size(), 1);
                EXPECT_TRUE(!r.isEmpty() && r[0].startsWith("PRICE|")) << s(r);
            }
            QThread::msleep(ulong(std::max<qint64>(0, momento - desde.elapsed())));
        });
        (d.Novo ? novos : antigos)++;
        saidas.push_back(d.SaidaMs);
        const bool pendente = Tipo == Disco::SemTemporario && naoGravou(d.Erros);
        EXPECT_EQ(d.Status, pendente ? 1 : 0) << "signal at " << momento << " ms: " << s(d.Erros);
        for (const QString &e : d.Erros)
            EXPECT_TRUE(e.startsWith("Cannot create file") && Tipo == Disco::SemTemporario)
                << "signal at " << momento << " ms: " << e.toStdString();
        if (HasFailure())
            break;
    }
    std::sort(saidas.begin(), saidas.end());
    if (!saidas.empty())
        std::printf("%d signals in a %d-row listing: %d old registers, %d new; exit after median "
                    "%lld ms, longest %lld ms\n",
                    int(saidas.size()), Produtos, antigos, novos,
                    (long long)saidas[saidas.size() / 2], (long long)saidas.back());
}

TEST_F(Listing, ASigtermAtAnyMomentLeavesTheOldRegisterOrTheNewOneWholeAndStatusZero) {
    tentativas(Disco::Comum);
}

TEST_F(Listing, WhereNoTemporaryFileCanBeMadeTheOldRegisterStaysAndTheStatusSaysNotWritten) {
    tentativas(Disco::SemTemporario);
}

TEST_F(Listing, OnAThrottledDiskASigtermAtAnyMomentLeavesTheOldRegisterOrTheNewOneWhole) {
    tentativas(Disco::Lento);
}

} // namespace
