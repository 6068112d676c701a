// The real program, the real terminal library and the simulated terminal against a real
// database through the local Firebird server.
#include "BancoTeste.h"
#include "Processos.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

TEST(ServidorLurma, AnswersScansAndSurvivesAnUnreachableDatabase) {
    BancoTeste bd(
        {criarItens(),
         "INSERT INTO ITENS VALUES ('7890001001006', 'ARROZ TIPO 1 5KG', NULL, 24.9, NULL)",
         "INSERT INTO ITENS VALUES ('7890001002379', 'AÇÚCAR CRISTAL 1KG', NULL, 4.79, NULL)"});
    // Without the database held open: a server that has the database open goes on serving a
    // renamed file (README), and this is about a database that cannot be reached.
    qputenv("LURMA_BASE_ABERTA", "0");
    ServidorEmTeste servidor(bd.viaServidor());
    qunsetenv("LURMA_BASE_ABERTA");
    // The window starts the server by itself one second after it is shown.
    ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();

    QStringList r =
        ler(servidor.servidor(), "127.0.0.2", {"7890001001006", "7890001002379", "123"});
    ASSERT_EQ(r.size(), 3) << s(r);
    EXPECT_TRUE(r[0].startsWith("PRICE|  ARROZ TIPO 1 5KG  |")) << s(r);
    EXPECT_TRUE(r[0].contains("24") && r[0].contains("90")) << s(r);
    EXPECT_TRUE(r[1].startsWith("PRICE| AÇÚCAR CRISTAL 1KG |")) << s(r);
    EXPECT_EQ(r[2], "NOTFOUND|");
    EXPECT_TRUE(servidor.errosRelatados().isEmpty()) << s(servidor.errosRelatados());

    // The database goes away: the error is reported, the terminal gets no reply, the server
    // stays up. Each error box is modal but its loop keeps serving.
    const QString caminho = bd.caminho(), fora = caminho + ".fora";
    ASSERT_TRUE(QFile::rename(caminho, fora));
    r = ler(servidor.servidor(), "127.0.0.3", {"7890001001006"}, 2000);
    EXPECT_EQ(r, QStringList{"NOREPLY|"});
    EXPECT_TRUE(servidor.rodando());
    const QStringList erros = servidor.errosRelatados();
    ASSERT_EQ(erros.size(), 1) << s(erros);
    EXPECT_TRUE(erros[0].endsWith(".")) << s(erros);

    // Back again: scans are answered as before.
    ASSERT_TRUE(QFile::rename(fora, caminho));
    r = ler(servidor.servidor(), "127.0.0.4", {"7890001001006", "000"});
    ASSERT_EQ(r.size(), 2) << s(r);
    EXPECT_TRUE(r[0].startsWith("PRICE|  ARROZ TIPO 1 5KG  |")) << s(r);
    EXPECT_EQ(r[1], "NOTFOUND|");
    EXPECT_TRUE(servidor.rodando());
    const QStringList depois = servidor.errosRelatados();
    ASSERT_EQ(depois.size(), 2) << s(depois); // and the database answering again
    EXPECT_TRUE(depois[1].startsWith("O banco de dados voltou a responder; 1 leitura ")) << s(depois);
}

} // namespace
