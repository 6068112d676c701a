#pragma once
// The real programs as a test drives them: the server in its own process, without a display and
// with its own per-user store and port, and the simulated terminal.
#include "BancoTeste.h"

#include <QDeadlineTimer>
#include <QMap>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QThread>
#include <csignal>
#include <string>

// Where and how the program runs. By default the build's own executable, with the terminal
// library beside it.
struct ProgramaEmTeste {
    // A directory of the test's own that receives a copy of the executable (and of the library
    // when ComBiblioteca), so that Cadastro.xml is looked for there.
    QString Pasta;
    bool ComBiblioteca = true;
    // Pasta is mounted in a private mount namespace of the program, where
    // tornarSomenteLeitura() can later make it read-only for the program alone, which stops
    // even root from writing there.
    bool MontagemPropria = false;
    // Pasta is a small tmpfs (32 MB) for the program alone, holding copies of what Pasta held.
    bool Tmpfs = false;
    // When not empty, the whole text of the settings file, instead of the remembered path.
    QByteArray Configuracao = {};
    // Standard error is a pipe whose reader has gone (saida() is then empty).
    bool ErroSemLeitor = false;
    // The panel's address and key (LURMA_PAINEL, LURMA_PAINEL_CHAVE); empty: no panel, so that
    // programs side by side never compete for its port.
    QString Painel = {}, ChavePainel = {};
    // The terminal port; 0: a free one of its own.
    quint16 Porta = 0;
    // More of the program's environment, NAME=value each.
    QStringList Ambiente = {};
    // The program's data folder (XDG_DATA_HOME) instead of one of its own.
    QString Dados = {};
    // Pasta and the register's folder in the data folder (Dados/ServidorLurma, which must hold
    // Cadastro.xml) cannot be written, their files can: the folders lose their write bits and
    // the program, also as root, runs without the capability to override them.
    bool SoOCadastroGravavel = false;
    // An X display (":N"): the real window there instead of the offscreen platform.
    QString Tela = {};
    // A blkio cgroup's folder that the program joins (a throttled disk).
    QString Cgroup = {};
};

// The demo's first product, which most runs look up.
inline const QString Arroz = QStringLiteral("7890001001006");

// A database holding that one product.
BancoTeste bancoComArroz();

// Reply lines joined for a failure message.
inline std::string s(const QStringList &l) {
    return l.join(" / ").toStdString();
}

// Polls Condicao for up to Ms; whether it came true.
template <typename F> bool esperar(F &&Condicao, int Ms) {
    for (QDeadlineTimer prazo(Ms); !prazo.hasExpired(); QThread::msleep(50))
        if (Condicao())
            return true;
    return Condicao();
}

class ServidorEmTeste {
public:
    // Remembers DatabaseName as the user's database path and starts ServidorLurma.
    explicit ServidorEmTeste(const QString &DatabaseName, const ProgramaEmTeste &Programa = {});
    ~ServidorEmTeste();

    // Waits until the terminal port accepts connections; false when it never did.
    bool esperarPorta(int ms);
    bool rodando() const { return FProcesso.state() == QProcess::Running; }
    QString servidor() const { return QStringLiteral("127.0.0.1:%1").arg(FPorta); }
    quint16 porta() const { return FPorta; }
    // The errors that the default error report showed, one per line.
    QStringList errosRelatados() const;
    QString saida() { return QString::fromLocal8Bit(FProcesso.readAllStandardError()); }
    qint64 pid() const { return FProcesso.processId(); }
    // Resident memory of the program in kB, from /proc.
    long memoriaKb() const;
    // Remounts the program's folder read-only in its own namespace (MontagemPropria).
    bool tornarSomenteLeitura();
    // SIGTERM (or Sinal: SIGINT, SIGHUP), which runs the tray's exit; waits for the end.
    bool encerrar(int ms, int Sinal = SIGTERM);
    // Waits for an end that the program reaches by itself.
    bool esperarFim(int ms) { return FProcesso.waitForFinished(ms); }
    // After the end: the exit status, and whether the process ended by a signal (a crash).
    int status() const { return FProcesso.exitCode(); }
    bool caiu() const { return FProcesso.exitStatus() == QProcess::CrashExit; }

private:
    QTemporaryDir FPasta;
    QString FPastaPrograma;
    quint16 FPorta;
    QProcess FProcesso;
    int FEscritaSemLeitor = -1;
};

// Whether a scan of Arroz from Endereco gets the product's reply.
bool respondeArroz(const ServidorEmTeste &servidor, const QString &Endereco);

// lurma-terminal scan from Endereco: one reply line per code.
QStringList ler(const QString &Servidor, const QString &Endereco, const QStringList &Codigos,
                int EsperaMs = 3000);

// A codes file for lurma-terminal load, one code a line.
struct Codigos {
    QTemporaryFile arquivo;
    explicit Codigos(const QStringList &Lista) {
        arquivo.open();
        arquivo.write(Lista.join(u'\n').toUtf8() + '\n');
        arquivo.flush();
    }
    QString nome() const { return arquivo.fileName(); }
};

// lurma-terminal load: Terminais terminals from Endereco upwards, each scanning Leituras codes
// of the file Codigos, each waiting up to EsperaMs for a reply. Its key=value figures
// (replies_per_second, latency_us_median, ...).
QMap<QString, double> carga(const QString &Servidor, const QString &Endereco, int Terminais,
                            int Leituras, const QString &Codigos, int EsperaMs = 5000);
