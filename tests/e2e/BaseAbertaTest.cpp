// The database held open by the real program: on a server path one idle attachment, seen from
// another connection, that ends with the program and gives way to a forced database shutdown;
// on a plain path nothing held, so another program's engine opens the file between two scans.
#include "BancoTeste.h"
#include "Processos.h"

#include <QProcess>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

// gfix through the local server, as the shop's administrator runs it.
bool gfix(const QStringList &Acao, const BancoTeste &bd) {
    QProcess p;
    p.start("gfix", Acao + QStringList{"-user", "SYSDBA", "-password", "plumtower",
                                       "localhost:" + bd.caminho()});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

TEST(DatabaseHeldOpen, OneIdleAttachmentWhileTheServerRunsAndNoneAfterTheExit) {
    BancoTeste bd = bancoComArroz();
    ServidorEmTeste servidor(bd.viaServidor());
    ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();
    EXPECT_EQ(contarConexoes(bd.viaServidor()), 0); // opened at the first lookup
    ASSERT_TRUE(respondeArroz(servidor, "127.0.0.2"));
    EXPECT_TRUE(esperar([&] { return contarConexoes(bd.viaServidor()) == 1; }, 10000));
    EXPECT_EQ(contarConexoes(bd.viaServidor(), true), 0); // it runs nothing
    ASSERT_TRUE(servidor.encerrar(15000));
    EXPECT_EQ(servidor.status(), 0);
    EXPECT_TRUE(esperar([&] { return contarConexoes(bd.viaServidor()) == 0; }, 10000));
}

// `gfix -shut full -force 0` ends every attachment, the held one included: the scans fail while
// the database is shut, each with one error line at most, and are answered again once it is
// back online; the held attachment comes back by itself.
TEST(DatabaseHeldOpen, AForcedShutdownWhileTerminalsScanFailsScansOnlyUntilTheDatabaseIsBack) {
    BancoTeste bd = bancoComArroz();
    ServidorEmTeste servidor(bd.viaServidor());
    ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();
    ASSERT_TRUE(respondeArroz(servidor, "127.0.0.2"));
    ASSERT_TRUE(esperar([&] { return contarConexoes(bd.viaServidor()) == 1; }, 10000));

    Codigos codigos({Arroz});
    std::atomic<bool> fim{false};
    std::atomic<long> respondidas{0}, semResposta{0};
    std::thread terminais([&] {
        while (!fim) {
            const auto f = carga(servidor.servidor(), "127.0.0.10", 4, 10, codigos.nome(), 3000);
            respondidas += long(f.value("price"));
            semResposta += long(f.value("noreply"));
        }
    });
    const bool fechada = gfix({"-shut", "full", "-force", "0"}, bd);
    EXPECT_TRUE(fechada);
    const bool falhou = esperar([&] { return !servidor.errosRelatados().isEmpty(); }, 20000);
    QThread::msleep(2000); // scans go on failing against the shut database
    const long respondidasFechada = respondidas;
    EXPECT_TRUE(gfix({"-online"}, bd));
    const bool voltou = esperar([&] { return respondidas > respondidasFechada + 8; }, 30000);
    fim = true;
    terminais.join();
    EXPECT_TRUE(falhou);
    EXPECT_TRUE(voltou) << respondidas << " answered, " << semResposta << " without a reply";
    EXPECT_GT(semResposta, 0);
    EXPECT_TRUE(respondeArroz(servidor, "127.0.0.3"));

    const QStringList erros = servidor.errosRelatados();
    EXPECT_LE(erros.size(), semResposta) << s(erros);
    // Every failure told names the shutdown (the line that closes the run only counts scans).
    for (const QString &e : erros)
        if (e.startsWith("Erro na consulta")) {
            EXPECT_TRUE(e.contains("shutdown", Qt::CaseInsensitive)) << e.toStdString();
        }
    // It comes back while lookups come (the longest pause between two attempts is 16 s).
    EXPECT_TRUE(esperar(
        [&] { return respondeArroz(servidor, "127.0.0.4") && contarConexoes(bd.viaServidor()) == 1; },
        40000))
        << "the held attachment did not come back";
    EXPECT_TRUE(servidor.rodando());
}

// A shutdown that waits for the attachments to leave (`gfix -shut full -attach 20`) fails when
// one stays. The held one leaves: after a few seconds without lookups, and at once when lookups
// keep coming and are refused.
TEST(DatabaseHeldOpen, AShutdownThatWaitsForTheAttachmentsToLeaveIsNotHeldUp) {
    BancoTeste bd = bancoComArroz();
    ServidorEmTeste servidor(bd.viaServidor());
    ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();
    ASSERT_TRUE(respondeArroz(servidor, "127.0.0.2"));
    ASSERT_TRUE(esperar([&] { return contarConexoes(bd.viaServidor()) == 1; }, 10000));
    EXPECT_TRUE(gfix({"-shut", "full", "-attach", "20"}, bd)) << "without lookups";
    ASSERT_TRUE(gfix({"-online"}, bd));

    ASSERT_TRUE(esperar(
        [&] { return respondeArroz(servidor, "127.0.0.3") && contarConexoes(bd.viaServidor()) == 1; },
        30000));
    Codigos codigos({Arroz});
    std::atomic<bool> fim{false};
    std::thread terminais([&] {
        while (!fim)
            carga(servidor.servidor(), "127.0.0.10", 2, 10, codigos.nome(), 3000);
    });
    EXPECT_TRUE(gfix({"-shut", "full", "-attach", "20"}, bd)) << "while terminals scan";
    fim = true;
    terminais.join();
    ASSERT_TRUE(gfix({"-online"}, bd));
    EXPECT_TRUE(esperar([&] { return respondeArroz(servidor, "127.0.0.4"); }, 30000));
    EXPECT_TRUE(servidor.rodando());
}

// The embedded engine opens the file for each lookup and closes it after: between two scans the
// file is free for another program (here isql, through its own embedded engine).
TEST(DatabaseHeldOpen, APlainPathLetsAnotherProgramOpenTheFileBetweenTwoScans) {
    BancoTeste bd = bancoComArroz();
    ServidorEmTeste servidor(bd.caminho());
    ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();
    ASSERT_TRUE(respondeArroz(servidor, "127.0.0.2"));
    QProcess isql;
    isql.start("isql-fb", {"-q", "-b", bd.caminho()});
    isql.write("SELECT 'CONTAGEM=' || COUNT(*) FROM ITENS;\n");
    isql.closeWriteChannel();
    ASSERT_TRUE(isql.waitForFinished(60000));
    const QString saida = QString::fromLocal8Bit(isql.readAll());
    EXPECT_EQ(isql.exitCode(), 0) << saida.toStdString();
    EXPECT_TRUE(saida.contains("CONTAGEM=1")) << saida.toStdString();
    EXPECT_TRUE(respondeArroz(servidor, "127.0.0.3"));
    EXPECT_TRUE(servidor.errosRelatados().isEmpty()) << s(servidor.errosRelatados());
}

} // namespace
