// The Firebird layer on its own: value kinds, the forward walk, dialects and attach failures.
#include "Firebird.h"
#include "BancoTeste.h"

#include <QFile>
#include <gtest/gtest.h>
#include <ibase.h>

namespace {

const QStringList Parametros = {"USER_NAME=SYSDBA", "PASSWORD=plumtower", "LC_CTYPE=WIN1252"};
const QStringList Tpb = {"read_committed", "rec_version", "wait"};

struct Conexao {
    explicit Conexao(const QString &nome, const QStringList &parametros = Parametros)
        : banco(nome, parametros), transacao(banco, Tpb) {}
    ~Conexao() {
        transacao.Encerrar();
        banco.Desconectar();
    }
    Banco banco;
    Transacao transacao;
};

TEST(Firebird, EveryColumnTypeIsReadAsItsValue) {
    BancoTeste bd({"CREATE TABLE T (C CHAR(5), V VARCHAR(10), S SMALLINT, I INTEGER, B BIGINT, "
                   "N2 NUMERIC(9,2), S2 NUMERIC(4,2), N4 NUMERIC(18,4), D DOUBLE PRECISION, F FLOAT, DT DATE, "
                   "TM TIME, TS TIMESTAMP, BO BOOLEAN, BT BLOB SUB_TYPE TEXT, BB BLOB, NU INTEGER)",
                   "INSERT INTO T VALUES ('ab', 'Ção', -7, 2147483647, -9000000000000000000, "
                   "-12.34, 12.34, 123456789.1234, 0.5, 1.5, '2024-02-29', '13:14:15.5', "
                   "'1858-11-17 00:00:01', TRUE, 'texto é longo', x'00FF10', NULL)"});
    Conexao c(bd.caminho());
    Consulta q(c.banco, c.transacao, "SELECT * FROM T");
    q.Abrir();
    ASSERT_TRUE(q.Aberta());
    ASSERT_FALSE(q.Fim());
    const std::pair<QString, Valor> esperados[] = {
        {"C", QString("ab   ")},
        {"V", QString("Ção")},
        {"S", int64_t{-7}},
        {"I", int64_t{2147483647}},
        {"B", int64_t{-9000000000000000000}},
        {"N2", Decimal{-1234, 2}},
        {"S2", Decimal{1234, 2}}, // a SMALLINT with a scale
        {"N4", Decimal{1234567891234, 4}},
        {"D", 0.5},
        {"F", 1.5},
        {"DT", QDate(2024, 2, 29)},
        {"TM", QTime(13, 14, 15, 500)},
        {"TS", QDateTime(QDate(1858, 11, 17), QTime(0, 0, 1), Qt::UTC)},
        {"BO", true},
        {"BT", QByteArray("texto \xe9 longo")},
        {"BB", QByteArray("\x00\xff\x10", 3)},
        {"NU", std::monostate{}},
    };
    for (const auto &[nome, valor] : esperados)
        EXPECT_EQ(q.ValorEm(q.Indice(nome.toLower())), valor) << nome.toStdString();
    const CampoOrigem &n2 = q.Campos()[q.Indice("N2")];
    EXPECT_EQ(n2.escala, -2);
    EXPECT_EQ(q.Campos()[q.Indice("S2")].tipoSql, SQL_SHORT);
    EXPECT_EQ(q.Campos()[q.Indice("V")].tamanho, 10);
    EXPECT_EQ(q.Campos()[q.Indice("BT")].subtipo, 1);
    EXPECT_EQ(q.Dialeto(), 3);
    EXPECT_THROW(q.Indice("NAO_HA"), ErroBanco);
    q.Proximo();
    EXPECT_TRUE(q.Fim());
}

TEST(Firebird, AnEmptyTextColumnIsRead) {
    // An empty literal is a CHAR(0) column: it has no bytes, yet must be read.
    BancoTeste bd({"CREATE TABLE T (N INTEGER)", "INSERT INTO T VALUES (1)"});
    Conexao c(bd.caminho());
    Consulta q(c.banco, c.transacao, "SELECT '' AS VAZIO, N FROM T");
    q.Abrir();
    ASSERT_FALSE(q.Fim());
    EXPECT_EQ(q.ValorEm(0), Valor(QString()));
    EXPECT_EQ(q.ValorEm(1), Valor(int64_t{1}));
}

TEST(Firebird, RowsAreWalkedAndTheFirstComesBack) {
    BancoTeste bd({"CREATE TABLE T (N INTEGER)", "INSERT INTO T VALUES (1)",
                   "INSERT INTO T VALUES (2)", "INSERT INTO T VALUES (3)"});
    Conexao c(bd.caminho());
    Consulta q(c.banco, c.transacao, "SELECT N AS NUMERO FROM T WHERE N >= ? ORDER BY N");
    q.Abrir({"2"});
    EXPECT_EQ(q.Campos().at(0).nome, "NUMERO");
    std::vector<int64_t> lidos;
    for (int volta = 0; volta < 2; ++volta) {
        q.Primeiro();
        for (; !q.Fim(); q.Proximo())
            lidos.push_back(std::get<int64_t>(q.ValorEm(0)));
    }
    EXPECT_EQ(lidos, (std::vector<int64_t>{2, 3, 2, 3}));
    EXPECT_THROW(q.ValorEm(0), std::out_of_range);
    q.Fechar();
    EXPECT_FALSE(q.Aberta());
    q.Abrir({"9"}); // reopened with another parameter: no rows
    EXPECT_TRUE(q.Fim());
    q.Primeiro();
    EXPECT_TRUE(q.Fim());
}

TEST(Firebird, ADialect1DatabaseIsPreparedInDialect1) {
    BancoTeste bd({"CREATE TABLE T (N NUMERIC(15,2))", "INSERT INTO T VALUES (12.34)"}, 1);
    Conexao c(bd.caminho());
    c.banco.Conectar();
    EXPECT_EQ(c.banco.DialetoBanco(), 1);
    EXPECT_EQ(c.banco.Dialeto(), 1);
    Consulta q(c.banco, c.transacao, "SELECT N FROM T");
    q.Abrir();
    EXPECT_EQ(q.Dialeto(), 1);
    EXPECT_EQ(q.ValorEm(0), Valor(12.34)); // dialect 1 keeps NUMERIC(15,2) as DOUBLE
}

// Attach failures raise ErroBanco with Firebird's codes and text and leave nothing attached.
struct CasoFalha {
    const char *nome;
    QString banco;
    QStringList parametros;
    const char *trecho; // part of the client library's message
};

TEST(Firebird, AttachFailuresCarryTheClientsMessage) {
    BancoTeste bd({"CREATE TABLE T (N INTEGER)"});
    QTemporaryDir pasta;
    const QString lixo = pasta.filePath("lixo.fdb");
    QFile f(lixo);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(20000, 'x'));
    f.close();
    QStringList senhaErrada = Parametros;
    senhaErrada[1] = "PASSWORD=errada";
    const CasoFalha casos[] = {
        {"nome vazio", "", Parametros, "Database name is missing"},
        {"arquivo inexistente", pasta.filePath("nao_existe.fdb"), Parametros, "nao_existe.fdb"},
        {"nao e banco", lixo, Parametros, "lixo.fdb"},
        {"porta fechada", "127.0.0.1/3999:" + bd.caminho(), Parametros, "127.0.0.1"},
        {"senha errada", bd.viaServidor(), senhaErrada, "user name and password"},
        {"servidor, arquivo inexistente", "Localhost:" + pasta.filePath("nao_existe.fdb"),
         Parametros, "nao_existe.fdb"},
    };
    for (const auto &caso : casos) {
        SCOPED_TRACE(caso.nome);
        Banco banco(caso.banco, caso.parametros);
        try {
            banco.Conectar();
            ADD_FAILURE() << "attached";
        } catch (const ErroBanco &e) {
            EXPECT_NE(e.Codigo(), 0);
            EXPECT_LT(e.SqlCode(), 0);
            EXPECT_TRUE(e.Mensagem().contains(caso.trecho)) << e.Mensagem().toStdString();
            EXPECT_EQ(QString::fromStdString(e.what()), e.Mensagem());
        }
        EXPECT_FALSE(banco.Conectado());
    }
    EXPECT_EQ(contarConexoes(bd.viaServidor()), 0);
}

// Which names the embedded engine opens (never held between lookups) and which go to a server
// (held open there).
TEST(Firebird, PlainPathsAreToldFromServerPaths) {
    const struct {
        const char *nome;
        bool embutido;
    } casos[] = {
        {"/var/lib/LOJA.FDB", true},       {"LOJA.FDB", true},
        {"C:\\Loja\\LOJA.FDB", true},     {"/dados/a:b.fdb", true},
        {"./a:b.fdb", true},               {"Localhost:/var/lib/LOJA.FDB", false},
        {"servidor:C:\\LOJA.FDB", false},  {"127.0.0.1/3051:/var/lib/LOJA.FDB", false},
        {"inet://servidor/LOJA.FDB", false},
    };
    for (const auto &caso : casos)
        EXPECT_EQ(CaminhoEmbutido(caso.nome), caso.embutido) << caso.nome;
}

} // namespace
