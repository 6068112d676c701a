#include "Processos.h"
#include "MemoriaProcesso.h"
#include "PortaLivre.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTcpSocket>
#include <QThread>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

ServidorEmTeste::ServidorEmTeste(const QString &DatabaseName, const ProgramaEmTeste &Programa)
    : FPastaPrograma(Programa.Pasta), FPorta(Programa.Porta ? Programa.Porta : portaLivre()) {
    const QString config = FPasta.filePath("config");
    const QString ini = config + "/ZELNA'S Software/ServidorLurma.ini";
    if (Programa.Configuracao.isEmpty()) {
        QSettings armazem(ini, QSettings::IniFormat);
        armazem.setValue("Config/EditDatabase", DatabaseName);
        armazem.sync();
    } else {
        QDir().mkpath(QFileInfo(ini).path());
        QFile arquivo(ini);
        if (arquivo.open(QIODevice::WriteOnly))
            arquivo.write(Programa.Configuracao);
    }
    if (Programa.ErroSemLeitor) {
        int tubo[2];
        if (::pipe2(tubo, O_CLOEXEC) == 0) { // dup2 leaves the copy on 2 open at exec
            ::close(tubo[0]);
            FProcesso.setChildProcessModifier([escrita = tubo[1]] { ::dup2(escrita, 2); });
            FEscritaSemLeitor = tubo[1];
        }
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", Programa.Tela.isEmpty() ? "offscreen" : "xcb");
    if (!Programa.Tela.isEmpty())
        env.insert("DISPLAY", Programa.Tela);
    env.insert("XDG_CONFIG_HOME", config);
    // Never the real user's folder.
    env.insert("XDG_DATA_HOME", Programa.Dados.isEmpty() ? FPasta.filePath("dados") : Programa.Dados);
    env.insert("LURMA_PORT", QString::number(FPorta));
    env.insert("LURMA_BIND", "127.0.0.1");
    env.insert("LURMA_ERROR_LOG", FPasta.filePath("erros.log"));
    env.insert("LURMA_PAINEL", Programa.Painel);
    env.insert("LURMA_PAINEL_CHAVE", Programa.ChavePainel);
    for (const QString &variavel : Programa.Ambiente)
        env.insert(variavel.section(u'=', 0, 0), variavel.section(u'=', 1));
    FProcesso.setProcessEnvironment(env);
    FProcesso.setWorkingDirectory(FPasta.path());
    if (Programa.Pasta.isEmpty()) {
        FProcesso.start(SERVIDOR_LURMA, {});
    } else {
        const QString programa = QDir(Programa.Pasta).filePath("ServidorLurma");
        QFile::copy(SERVIDOR_LURMA, programa);
        if (Programa.ComBiblioteca)
            QFile::copy(QFileInfo(SERVIDOR_LURMA).dir().filePath("libpqtLurma.so"),
                        QDir(Programa.Pasta).filePath("libpqtLurma.so"));
        // A shell that prepares Pasta ($1) and the register's folder ($3) for the program and
        // joins the cgroup ($2), then becomes the program (the same process).
        QString preparo;
        // The tmpfs holds the program and its library, which the sanitizer build makes over 36 MB.
        if (Programa.Tmpfs)
            preparo = "cp -a \"$1\" \"$1.copia\" && "
                      "mount -t tmpfs -o size=128m tmpfs \"$1\" && "
                      "cp -a \"$1.copia/.\" \"$1\" && rm -rf \"$1.copia\" && ";
        else if (Programa.MontagemPropria)
            preparo = "mount --bind \"$1\" \"$1\" && ";
        if (!Programa.Cgroup.isEmpty())
            preparo += "echo $$ > \"$2/cgroup.procs\" && ";
        QString executar = "exec \"$1/ServidorLurma\"";
        if (Programa.SoOCadastroGravavel) {
            preparo += "chmod a-w \"$1\" \"$3\" && ";
            executar = "exec setpriv --bounding-set=-dac_override,-dac_read_search "
                       "\"$1/ServidorLurma\"";
        }
        const QStringList argumentos{"sh", Programa.Pasta, Programa.Cgroup,
                                     QDir(Programa.Dados).filePath("ServidorLurma")};
        if (preparo.isEmpty())
            FProcesso.start(programa, {});
        else if (Programa.Tmpfs || Programa.MontagemPropria)
            FProcesso.start("unshare", QStringList{"-m", "sh", "-c", preparo + executar} +
                                           argumentos);
        else
            FProcesso.start("sh", QStringList{"-c", preparo + executar} + argumentos);
    }
    FProcesso.waitForStarted();
}

long ServidorEmTeste::memoriaKb() const {
    return ::memoriaKb(QString::number(pid()));
}

bool ServidorEmTeste::tornarSomenteLeitura() {
    QProcess montagem;
    montagem.start("nsenter", {"-t", QString::number(pid()), "-m", "mount", "-o",
                               "remount,bind,ro", FPastaPrograma});
    return montagem.waitForFinished(10000) && montagem.exitStatus() == QProcess::NormalExit &&
           montagem.exitCode() == 0;
}

bool ServidorEmTeste::encerrar(int ms, int Sinal) {
    ::kill(pid_t(pid()), Sinal);
    return FProcesso.waitForFinished(ms);
}

ServidorEmTeste::~ServidorEmTeste() {
    FProcesso.terminate();
    if (!FProcesso.waitForFinished(5000)) {
        FProcesso.kill();
        FProcesso.waitForFinished();
    }
    if (FEscritaSemLeitor >= 0)
        ::close(FEscritaSemLeitor);
}

bool ServidorEmTeste::esperarPorta(int ms) {
    QDeadlineTimer prazo(ms);
    while (!prazo.hasExpired() && rodando()) {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, FPorta);
        if (s.waitForConnected(200))
            return true;
        QThread::msleep(100);
    }
    return false;
}

QStringList ServidorEmTeste::errosRelatados() const {
    QFile log(FPasta.filePath("erros.log"));
    if (!log.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(log.readAll()).split(u'\n', Qt::SkipEmptyParts);
}

BancoTeste bancoComArroz() {
    return BancoTeste(
        {criarItens(), "INSERT INTO ITENS VALUES ('" + Arroz + "', 'ARROZ TIPO 1 5KG', NULL, 24.9, NULL)"});
}

bool respondeArroz(const ServidorEmTeste &servidor, const QString &Endereco) {
    const QStringList r = ler(servidor.servidor(), Endereco, {Arroz});
    return r.size() == 1 && r[0].startsWith("PRICE|  ARROZ TIPO 1 5KG  |");
}

QStringList ler(const QString &Servidor, const QString &Endereco, const QStringList &Codigos,
                int EsperaMs) {
    QProcess terminal;
    terminal.start(LURMA_TERMINAL, QStringList{"--server", Servidor, "--address", Endereco,
                                               "--timeout", QString::number(EsperaMs), "scan"} +
                                       Codigos);
    terminal.waitForFinished(EsperaMs * (Codigos.size() + 2));
    return QString::fromUtf8(terminal.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
}

QMap<QString, double> carga(const QString &Servidor, const QString &Endereco, int Terminais,
                            int Leituras, const QString &Codigos, int EsperaMs) {
    QProcess terminal;
    terminal.start(LURMA_TERMINAL,
                   {"--server", Servidor, "--address", Endereco, "--timeout",
                    QString::number(EsperaMs), "load", "--terminals", QString::number(Terminais),
                    "--scans", QString::number(Leituras), "--codes", Codigos});
    terminal.waitForFinished(-1);
    QMap<QString, double> figuras;
    for (const QString &linha : QString::fromUtf8(terminal.readAllStandardOutput()).split(u'\n'))
        if (const qsizetype igual = linha.indexOf(u'='); igual > 0)
            figuras[linha.left(igual)] = linha.mid(igual + 1).toDouble();
    return figuras;
}
