// Faults around the real program (ServidorLurma with the real terminal library, lurma-terminal
// as the terminals, the local Firebird server). The database is made unreachable for one test
// alone through a relay in front of the Firebird server (Repasse), never by stopping the server
// that other tests share.
#include "BancoTeste.h"
#include "Processos.h"
#include "Repasse.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>
#include <future>
#include <gtest/gtest.h>

namespace {

QString pelo(const Repasse &repasse, const BancoTeste &bd) {
    return QStringLiteral("127.0.0.1/%1:%2").arg(repasse.porta()).arg(bd.caminho());
}

// Every lookup detaches (the idle attachment that holds the database open has no
// transaction); a dropped relay leaves the Firebird server to notice the closed socket, which
// takes it a moment.
bool semConexoes(const BancoTeste &bd) {
    return esperar([&] { return contarConexoes(bd.viaServidor(), true) == 0; }, 10000);
}

// The scans that the line closing a run of failed lookups counts; -1 when it is no such line.
int semResposta(const QString &Linha) {
    static const QRegularExpression volta(
        "^O banco de dados voltou a responder; (\\d+) leituras? (ficou|ficaram) sem resposta "
        "enquanto falhava\\.$");
    const QRegularExpressionMatch m = volta.match(Linha);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// The causes of the reported failures, without the code and terminal that each names.
QStringList causas(const QStringList &Erros) {
    static const QRegularExpression falha("^Erro na consulta do código .* do terminal "
                                          "127\\.0\\.0\\.\\d+: (.+)$");
    QStringList r;
    for (const QString &e : Erros)
        if (const QRegularExpressionMatch m = falha.match(e); m.hasMatch())
            r << m.captured(1);
    return r;
}

TEST(DatabaseFault, ServerGoneWhileTerminalsScanThenBack) {
    BancoTeste bd = bancoComArroz();
    Repasse repasse;
    ServidorEmTeste servidor(pelo(repasse, bd));
    ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();
    ASSERT_TRUE(respondeArroz(servidor, "127.0.0.2"));

    // Four terminals scan while the server is cut off for two seconds and comes back.
    Codigos codigos({Arroz, "000"});
    auto carregando = std::async(std::launch::async, [&] {
        return carga(servidor.servidor(), "127.0.0.10", 4, 60, codigos.nome(), 4000);
    });
    QThread::msleep(700);
    repasse.definir(Repasse::Modo::Cortado);
    QThread::msleep(2000);
    repasse.definir(Repasse::Modo::Repassar);
    const auto f = carregando.get();

    EXPECT_TRUE(servidor.rodando());
    EXPECT_EQ(f.value("connected"), 4);
    EXPECT_EQ(f.value("price") + f.value("notfound") + f.value("noreply"), 240);
    EXPECT_GT(f.value("noreply"), 0) << "the cut came after the load had ended";
    // Scans are answered again, by the same terminals and a new one.
    EXPECT_TRUE(respondeArroz(servidor, "127.0.0.10"));
    EXPECT_TRUE(respondeArroz(servidor, "127.0.0.3"));
    // Each run of failures (a lookup may get through while the relay cuts, so there may be more
    // than one) tells each of its causes once and ends in the line that counts the scans left
    // without a reply meanwhile: together no more than the terminals missed (a scan superseded
    // before its lookup began was never looked up).
    const QStringList erros = servidor.errosRelatados();
    ASSERT_GE(erros.size(), 2) << s(erros);
    ASSERT_NE(semResposta(erros.last()), -1) << s(erros);
    int contadas = 0, corridas = 0;
    QStringList daCorrida;
    for (const QString &e : erros) {
        if (const int n = semResposta(e); n != -1) {
            EXPECT_FALSE(daCorrida.isEmpty()) << "a run without a failure told: " << s(erros);
            EXPECT_GE(n, daCorrida.size()) << s(erros);
            contadas += n;
            ++corridas;
            daCorrida.clear();
            continue;
        }
        const QStringList causa = causas({e});
        ASSERT_EQ(causa.size(), 1) << "neither a failure nor a recovery: " << e.toStdString();
        EXPECT_FALSE(daCorrida.contains(causa[0])) << "a cause told twice in a run: " << s(erros);
        daCorrida << causa[0];
    }
    EXPECT_LE(corridas, 3) << s(erros);
    EXPECT_LE(contadas, int(f.value("noreply"))) << s(erros);
    EXPECT_TRUE(semConexoes(bd));
}

// A database that stalls while twenty terminals scan: each lookup passes its deadline, and the
// error log says so once, then once when the database answers again, with the count, instead of
// a line per scan.
TEST(DatabaseFault, AStallWithTwentyTerminalsIsLoggedWhenItBeginsAndWhenItEnds) {
    BancoTeste bd = bancoComArroz();
    Repasse repasse;
    ServidorEmTeste servidor(pelo(repasse, bd));
    ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();
    ASSERT_TRUE(respondeArroz(servidor, "127.0.0.2"));

    repasse.definir(Repasse::Modo::Parado);
    Codigos codigos({Arroz});
    const auto f = carga(servidor.servidor(), "127.0.0.30", 20, 1, codigos.nome(), 1000);
    EXPECT_EQ(f.value("noreply"), 20);
    // Every scan was handed to a lookup before the load ended: ten seconds later each one has
    // passed its deadline.
    QThread::msleep(10000 + 2000);
    repasse.definir(Repasse::Modo::Repassar);
    EXPECT_TRUE(respondeArroz(servidor, "127.0.0.3"));
    const QStringList erros = servidor.errosRelatados();
    ASSERT_EQ(erros.size(), 2) << s(erros);
    EXPECT_EQ(causas(erros), QStringList{"o banco de dados não respondeu em 10 s; o terminal ficou "
                                         "sem resposta."})
        << s(erros);
    EXPECT_EQ(semResposta(erros[1]), 20) << s(erros);
    EXPECT_TRUE(servidor.rodando());
}

// The database name stays what the program remembered; each case breaks what it points at
// and, where that can be undone, mends it again.
TEST(DatabaseFault, NotADatabaseWrongPathAndAServerThatRefusesAreReportedAndServingGoesOn) {
    struct Caso {
        const char *nome;
        std::function<QString(BancoTeste &, Repasse &)> quebrar; // gives the database name
        std::function<void(BancoTeste &, Repasse &)> consertar;  // empty: stays broken
    };
    const Caso casos[] = {
        {"file replaced by a file that is not a database",
         [](BancoTeste &bd, Repasse &) {
             QFile::rename(bd.caminho(), bd.caminho() + ".bom");
             QFile f(bd.caminho());
             f.open(QIODevice::WriteOnly);
             f.write(QByteArray(8192, 'x').prepend("isto nao e um banco de dados\n"));
             return bd.viaServidor();
         },
         [](BancoTeste &bd, Repasse &) {
             QFile::remove(bd.caminho());
             QFile::rename(bd.caminho() + ".bom", bd.caminho());
         }},
        {"wrong path",
         [](BancoTeste &bd, Repasse &) {
             return "Localhost:" + QFileInfo(bd.caminho()).dir().filePath("nao-existe.fdb");
         },
         {}},
        // The password is fixed and the machine's SYSDBA must keep it for every other test, so
        // the refusing server is the relay answering bytes that are no Firebird protocol.
        {"a server that does not accept us",
         [](BancoTeste &bd, Repasse &repasse) {
             repasse.definir(Repasse::Modo::Lixo);
             return pelo(repasse, bd);
         },
         [](BancoTeste &, Repasse &repasse) { repasse.definir(Repasse::Modo::Repassar); }},
    };
    for (const Caso &c : casos) {
        SCOPED_TRACE(c.nome);
        BancoTeste bd = bancoComArroz();
        Repasse repasse;
        ServidorEmTeste servidor(c.quebrar(bd, repasse));
        ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();

        const QStringList r = ler(servidor.servidor(), "127.0.0.2", {Arroz, "000"}, 2000);
        EXPECT_EQ(r, (QStringList{"NOREPLY|", "NOREPLY|"}));
        EXPECT_TRUE(servidor.rodando());
        // Two scans, one cause: told once, naming the first scan.
        const QStringList erros = servidor.errosRelatados();
        ASSERT_EQ(erros.size(), 1) << s(erros);
        EXPECT_TRUE(erros[0].startsWith("Erro na consulta do código " + Arroz +
                                        " do terminal 127.0.0.2: "))
            << s(erros);
        EXPECT_EQ(causas(erros).size(), 1) << s(erros);
        std::printf("[ %s ] %s\n", c.nome, qPrintable(erros[0]));

        if (c.consertar) {
            c.consertar(bd, repasse);
            EXPECT_TRUE(respondeArroz(servidor, "127.0.0.3"));
            const QStringList depois = servidor.errosRelatados();
            ASSERT_EQ(depois.size(), 2) << s(depois);
            EXPECT_EQ(semResposta(depois[1]), 2) << s(depois);
        }
        EXPECT_TRUE(semConexoes(bd));
    }
}

// Nobody answers the error boxes while four terminals scan 500 codes against an unreachable
// database. Each box's modal loop keeps serving the terminals, so every further error used to
// open a box inside the last one until the stack ran out. The run of failures is told once and
// counted when the database answers again; how many scans a busy machine supersedes before
// their lookups begin varies, so the count is bounded, not exact.
TEST(ErrorStorm, FiveHundredFailedScansWithNobodyAtTheScreen) {
    BancoTeste bd = bancoComArroz();
    Repasse repasse;
    // Under AddressSanitizer freed memory is held back for a while (256 MB by default), which
    // would look like growth; a small hold-back keeps the measure about the program.
    const QByteArray asan = qgetenv("ASAN_OPTIONS");
    qputenv("ASAN_OPTIONS", asan + (asan.isEmpty() ? "" : ":") + "quarantine_size_mb=1");
    ServidorEmTeste servidor(pelo(repasse, bd));
    asan.isEmpty() ? qunsetenv("ASAN_OPTIONS") : qputenv("ASAN_OPTIONS", asan);
    ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();
    ASSERT_TRUE(respondeArroz(servidor, "127.0.0.2"));
    repasse.definir(Repasse::Modo::Cortado);

    Codigos codigos({Arroz});
    // Nothing is answered; a short wait per scan keeps the storm quick.
    auto f = carga(servidor.servidor(), "127.0.0.20", 4, 25, codigos.nome(), 200);
    ASSERT_EQ(f.value("noreply"), 100);
    ASSERT_TRUE(esperar([&] { return !servidor.errosRelatados().isEmpty(); }, 30000));
    const long depoisDe100 = servidor.memoriaKb();
    f = carga(servidor.servidor(), "127.0.0.20", 4, 100, codigos.nome(), 200);
    EXPECT_EQ(f.value("noreply"), 400);
    ASSERT_TRUE(servidor.rodando()) << servidor.saida().toStdString();
    const QStringList erros = servidor.errosRelatados();
    EXPECT_EQ(erros.size(), 1) << s(erros);
    EXPECT_EQ(causas(erros).size(), 1) << s(erros);
    const long depoisDe500 = servidor.memoriaKb();
    std::printf("resident memory after 100 errors %ld kB, after 500 %ld kB\n", depoisDe100,
                depoisDe500);
    // Four hundred more errors cost at most a few megabytes (log lines and counts, no windows).
    EXPECT_LT(depoisDe500 - depoisDe100, 8 * 1024);

    repasse.definir(Repasse::Modo::Repassar);
    f = carga(servidor.servidor(), "127.0.0.20", 4, 1, codigos.nome(), 5000);
    EXPECT_EQ(f.value("price"), 4) << "every terminal is answered once the database is back";
    EXPECT_TRUE(servidor.rodando());
    const QStringList depois = servidor.errosRelatados();
    ASSERT_EQ(depois.size(), 2) << s(depois);
    const int contadas = semResposta(depois[1]);
    std::printf("%d of the 500 unanswered scans were looked up and counted\n", contadas);
    EXPECT_GE(contadas, 1) << s(depois);
    EXPECT_LE(contadas, 500) << s(depois);
    EXPECT_TRUE(semConexoes(bd));
}

} // namespace

namespace {

TEST(ProgramFault, WithoutTheTerminalLibraryTheStartIsAClearErrorAndTheProcessStaysUp) {
    QTemporaryDir pasta;
    ServidorEmTeste servidor("Localhost:/nao/importa.fdb", {pasta.path(), false});
    ASSERT_TRUE(esperar([&] { return !servidor.errosRelatados().isEmpty(); }, 15000))
        << servidor.saida().toStdString();
    const QStringList erros = servidor.errosRelatados();
    ASSERT_EQ(erros.size(), 1) << s(erros);
    EXPECT_TRUE(erros[0].startsWith("Não foi possível carregar a biblioteca dos terminais " +
                                    QDir(pasta.path()).filePath("pqtLurma")))
        << s(erros);
    EXPECT_TRUE(servidor.rodando());
    EXPECT_FALSE(servidor.esperarPorta(500)); // no terminal port without the library
}

// The program's directory, writable at start (so the register lives there), becomes read-only
// for the program alone while it runs, which stops root too. The register loads; deleted from
// outside, it must be written again at exit, which fails: reported, and nothing is left in the
// directory. Nobody answers a box at the exit: the process ends, and its status says "not saved".
TEST(CadastroFault, AReadOnlyDirectoryAtExitIsReportedAndNothingIsWrittenThere) {
    QProcess teste;
    teste.start("unshare", {"-m", "true"});
    if (!teste.waitForFinished() || teste.exitCode() != 0)
        GTEST_SKIP() << "no private mount namespace here (unshare -m needs CAP_SYS_ADMIN)";

    BancoTeste bd = bancoComArroz();
    QTemporaryDir pasta;
    const QString cadastro = QDir(pasta.path()).filePath("Cadastro.xml");
    {
        QFile f(cadastro);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA>"
                "<FIELDS><FIELD attrname=\"CODIGO\" fieldtype=\"string.uni\" WIDTH=\"40\"/>"
                "</FIELDS><PARAMS CHANGE_LOG=\"1 0 4\"/></METADATA><ROWDATA><ROW RowState=\"4\" "
                "CODIGO=\"001\"/></ROWDATA></DATAPACKET>");
    }
    ServidorEmTeste servidor(bd.viaServidor(), {pasta.path(), true, true});
    ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();
    EXPECT_TRUE(servidor.errosRelatados().isEmpty()) << s(servidor.errosRelatados());
    EXPECT_TRUE(respondeArroz(servidor, "127.0.0.2"));

    ASSERT_TRUE(QFile::remove(cadastro));
    ASSERT_TRUE(servidor.tornarSomenteLeitura());
    ASSERT_TRUE(servidor.encerrar(15000));
    EXPECT_FALSE(servidor.caiu());
    EXPECT_EQ(servidor.status(), 1);
    EXPECT_TRUE(servidor.saida().contains("Cannot create file \"" + cadastro + "\". "));
    const QStringList erros = servidor.errosRelatados();
    ASSERT_EQ(erros.size(), 1) << s(erros);
    EXPECT_TRUE(erros[0].startsWith("Cannot create file \"" + cadastro + "\". ")) << s(erros);
    EXPECT_EQ(QDir(pasta.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
              (QStringList{"libpqtLurma.so", "ServidorLurma"}));
}

} // namespace
