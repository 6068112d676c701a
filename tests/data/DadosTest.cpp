// TDados against real databases: the lookup's rules, its errors and what stays attached.
#include "BancoTeste.h"
#include "Tabela.h"
#include "uDados.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <gtest/gtest.h>

namespace {

QString linha(const QString &codigo, const QString &descricao, const QString &avista,
              const QString &venda, const QString &inativo) {
    return QString("INSERT INTO ITENS VALUES (%1, %2, %3, %4, %5)")
        .arg(codigo, descricao, avista, venda, inativo);
}

struct Busca {
    QString codigo;
    bool encontrado = false;
    QString codigoLido = {}; // when found
    QString descricao = {};
    int64_t preco = 0;
};

void conferir(TDados &dados, const Busca &b) {
    SCOPED_TRACE(b.codigo.toStdString());
    const std::unique_ptr<TProduto> p = dados.BuscarProduto(b.codigo);
    ASSERT_TRUE(p);
    EXPECT_EQ(p->Encontrado, b.encontrado);
    EXPECT_EQ(p->Codigo, b.encontrado ? b.codigoLido : QString());
    EXPECT_EQ(p->Descricao, b.encontrado ? b.descricao : QString());
    EXPECT_EQ(p->Preco, b.encontrado ? b.preco : 0);
}

// The common shop layout: VARCHAR(13) codes, NUMERIC(15,2) prices, CHAR(1) INATIVO under the
// case-sensitive default collation.
TEST(TDados, LooksCodesUpAsTheShopStoresThem) {
    BancoTeste bd({criarItens({.codigo = "VARCHAR(13)"}),
                   linha("'789'", "'CAFÉ ÇÃO'", "5", "12.34", "NULL"),
                   linha("'ATIVO'", "'Ativo'", "NULL", "1", "'N'"),
                   linha("'INAT'", "'Inativo'", "1", "1", "'S'"),
                   linha("'MINUS'", "'n minusculo'", "1", "1", "'n'"),
                   linha("'AV5'", "'So a vista'", "5", "NULL", "NULL"),
                   linha("'ZERO'", "'Zeros'", "0", "0", "NULL"),
                   linha("'NULOS'", "'Nulos'", "NULL", "NULL", "NULL"),
                   linha("'SEMDESC'", "NULL", "NULL", "0.01", "NULL"),
                   linha("'1234567890123'", "'Treze'", "1", "2", "NULL")});
    TDados dados(bd.caminho());
    const Busca casos[] = {
        {"789", true, "789", "CAFÉ ÇÃO", 123400},
        {" 789\r\n", true, "789", "CAFÉ ÇÃO", 123400},
        {"ATIVO", true, "ATIVO", "Ativo", 10000},
        {"INAT", false},
        {"MINUS", false}, // 'n' is not 'N' under a case-sensitive collation
        {"AV5", true, "AV5", "So a vista", 0},
        {"ZERO", false},
        {"NULOS", false},
        {"SEMDESC", true, "SEMDESC", "", 100},
        {"atIVO", false}, // codes compare exactly
        {"NAO_EXISTE", false},
        {"", false},
        {"1234567890123", true, "1234567890123", "Treze", 20000},
    };
    for (const auto &b : casos)
        conferir(dados, b); // also shows that one object serves several operations
}

// Codes longer than a text CODIGO raise before executing, never "not found".
TEST(TDados, ACodeLongerThanTheColumnRaisesBeforeExecuting) {
    for (const QString tipo : {"CHAR(8)", "VARCHAR(8)"}) {
        SCOPED_TRACE(tipo.toStdString());
        BancoTeste bd({criarItens({.codigo = tipo}), linha("'ABC'", "'x'", "1", "1", "NULL")});
        TDados dados(bd.caminho());
        try {
            dados.BuscarProduto("123456789");
            ADD_FAILURE() << "no error";
        } catch (const ErroBanco &e) {
            EXPECT_EQ(e.SqlCode(), -802);
            EXPECT_TRUE(e.Mensagem().contains("string right truncation"))
                << e.Mensagem().toStdString();
        }
        // Eight bytes fit: a plain miss. Code "ABC" of a CHAR comes back padded.
        EXPECT_FALSE(dados.BuscarProduto("12345678")->Encontrado);
        EXPECT_EQ(dados.BuscarProduto("ABC")->Codigo, tipo.startsWith("CHAR") ? "ABC     " : "ABC");
    }
}

TEST(TDados, ANumericCodeColumnTakesTrimmedDigitsOnly) {
    BancoTeste bd({criarItens({.codigo = "BIGINT"}), linha("123", "'Cento'", "1", "2.5", "NULL")});
    TDados dados(bd.caminho());
    conferir(dados, {" 123 ", true, "123", "Cento", 25000});
    conferir(dados, {"", false}); // bound as NULL, matches nothing
    try {
        dados.BuscarProduto("12A");
        ADD_FAILURE() << "no error";
    } catch (const ErroBanco &e) {
        EXPECT_NE(e.Codigo(), 0);
        EXPECT_TRUE(e.Mensagem().contains("conversion error")) << e.Mensagem().toStdString();
    }
}

// Every price type the shops have is turned into ten-thousandths.
struct CasoPreco {
    const char *tipo;
    const char *venda;
    int64_t preco;
};

TEST(TDados, ThePriceOfEachColumnType) {
    const CasoPreco casos[] = {
        {"NUMERIC(15,2)", "12.34", 123400},
        {"NUMERIC(9,4)", "-1.2345", -12345},
        {"NUMERIC(4,2)", "12.34", 123400}, // stored as a SMALLINT with its scale
        {"INTEGER", "7", 70000},
        {"NUMERIC(18,6)", "1.234565", 12346}, // nearest, half away from zero
        {"NUMERIC(18,6)", "1.234549", 12345},
        {"DOUBLE PRECISION", "12.34", 123400},
        // The double's exact value times 10000, rounded once, halves to even.
        {"DOUBLE PRECISION", "24.90495", 249049}, // 249049.4999999999947...
        {"DOUBLE PRECISION", "0.00125", 13},      // 12.5000000000000002...
        {"DOUBLE PRECISION", "0.03125", 312},     // a true half
        {"DOUBLE PRECISION", "0.00135", 14},
        {"FLOAT", "0.5", 5000},
        {"FLOAT", "0.09375", 938}, // a true half in single precision too
    };
    for (const auto &c : casos) {
        SCOPED_TRACE(std::string(c.tipo) + " " + c.venda);
        BancoTeste bd({criarItens({.venda = c.tipo}), linha("'P'", "'p'", "1", c.venda, "NULL")});
        TDados dados(bd.caminho());
        EXPECT_EQ(dados.BuscarProduto("P")->Preco, c.preco);
    }
}

TEST(TDados, ADialect1DatabaseIsRead) {
    BancoTeste bd({criarItens(), linha("'D1'", "'Velho'", "0", "12.34", "NULL")}, 1);
    TDados dados(bd.caminho());
    conferir(dados, {"D1", true, "D1", "Velho", 123400});
}

// Through the server: a found and a missed lookup both leave nothing attached.
TEST(TDados, ThroughTheServerNothingStaysAttached) {
    BancoTeste bd({criarItens(), linha("'789'", "'Café'", "0", "3.5", "NULL")});
    TDados dados(bd.viaServidor());
    conferir(dados, {"789", true, "789", "Café", 35000});
    EXPECT_EQ(contarConexoes(bd.viaServidor()), 0);
    conferir(dados, {"000", false});
    EXPECT_EQ(contarConexoes(bd.viaServidor()), 0);
    ASSERT_TRUE(dados.Conectar());
    EXPECT_EQ(contarConexoes(bd.viaServidor()), 1); // the count sees a live attachment
    dados.Desconectar();
    EXPECT_EQ(contarConexoes(bd.viaServidor()), 0);
}

// A statement error keeps the connection until the object is destroyed.
TEST(TDados, AStatementErrorKeepsTheConnectionUntilDestruction) {
    BancoTeste bd({"CREATE TABLE OUTRA (N INTEGER)"});
    {
        TDados dados(bd.viaServidor());
        try {
            dados.BuscarProduto("1");
            ADD_FAILURE() << "no error";
        } catch (const ErroBanco &e) {
            EXPECT_EQ(e.SqlCode(), -204);
            EXPECT_TRUE(e.Mensagem().contains("ITENS")) << e.Mensagem().toStdString();
        }
        EXPECT_EQ(contarConexoes(bd.viaServidor()), 1);
    }
    EXPECT_EQ(contarConexoes(bd.viaServidor()), 0);
}

// Bad names: the lookup raises Firebird's error, Conectar only says false, nothing stays.
TEST(TDados, BadNamesFailAndLeaveNothingAttached) {
    BancoTeste bd({criarItens()});
    QTemporaryDir pasta;
    const struct {
        QString nome;
        const char *trecho;
    } casos[] = {
        {"", "Database name is missing"},
        {pasta.filePath("nao_existe.fdb"), "nao_existe.fdb"},
        {"127.0.0.1/3999:" + bd.caminho(), "127.0.0.1"},
    };
    for (const auto &c : casos) {
        SCOPED_TRACE(c.nome.toStdString());
        TDados dados(c.nome);
        EXPECT_FALSE(dados.Conectar());
        try {
            dados.BuscarProduto("1");
            ADD_FAILURE() << "no error";
        } catch (const ErroBanco &e) {
            EXPECT_NE(e.Codigo(), 0);
            EXPECT_TRUE(e.Mensagem().contains(c.trecho)) << e.Mensagem().toStdString();
        }
        dados.Desconectar(); // nothing open: nothing to do
    }
    EXPECT_EQ(contarConexoes(bd.viaServidor()), 0);
}

// A path outside ASCII opens whatever the C library's locale, plain and through the server:
// under C, and under a locale that is not installed (as pt_BR.UTF-8 is not on a fresh Debian).
// Each lookup runs in a process of its own, as the client reads the locale once per process.
TEST(TDados, APathOutsideAsciiOpensUnderAnyLocale) {
    BancoTeste bd({criarItens(), linha("'789'", "'CAFÉ'", "0", "3.5", "NULL")});
    const QString pasta = QFileInfo(bd.caminho()).absolutePath() + "/Preços";
    ASSERT_TRUE(QDir().mkdir(pasta));
    QFile::setPermissions(pasta, QFile::Permissions(0x7777)); // for the server's user
    const QString caminho = pasta + "/Lojão.fdb";
    ASSERT_TRUE(QFile::rename(bd.caminho(), caminho));
    for (const QString &nome : {caminho, "Localhost:" + caminho})
        for (const char *local : {"C", "pt_BR.UTF-8"}) {
            SCOPED_TRACE(nome.toStdString() + " under " + local);
            QProcessEnvironment ambiente = QProcessEnvironment::systemEnvironment();
            ambiente.insert("LC_ALL", local);
            QProcess consulta;
            consulta.setProcessEnvironment(ambiente);
            consulta.start(LURMA_CONSULTA_ISOLADA, {nome, "789"});
            ASSERT_TRUE(consulta.waitForFinished(60000));
            EXPECT_EQ(consulta.readAllStandardOutput().trimmed().toStdString(),
                      "ENCONTRADO|CAFÉ");
        }
}

// A UTF8 database with texts that Windows-1252 cannot carry: the server refuses them to the
// WIN1252 attachment, so the lookup and the listing are repeated over UTF8, with '?' for what
// Windows-1252 lacks. A CHAR code keeps its declared length, not the four bytes a character.
TEST(TDados, TextsThatWindows1252LacksAreAnsweredWithQuestionMarks) {
    BancoTeste bd({criarItens({.codigo = "CHAR(5)"}),
                   linha("'1'", "'ZAŻÓŁĆ GĘŚLĄ'", "0", "1", "NULL"),
                   linha("'2'", "'中文 商品'", "0", "2", "NULL"),
                   linha("'3'", "'CAFÉ \U0001F600'", "0", "3", "NULL"),
                   linha("'4'", "'AÇÚCAR'", "0", "4", "NULL")},
                  3, "UTF8");
    const Busca casos[] = {
        {"1", true, "1    ", "ZA?Ó?? G??L?", 10000},
        {"2", true, "2    ", "?? ??", 20000},
        {"3", true, "3    ", "CAFÉ ?", 30000},
        {"4", true, "4    ", "AÇÚCAR", 40000},
        {"5", false},
    };
    for (const QString &nome : {bd.caminho(), bd.viaServidor()}) {
        SCOPED_TRACE(nome.toStdString());
        TDados dados(nome);
        for (const auto &b : casos)
            conferir(dados, b);

        TTabela produtos;
        dados.ListarProdutos(produtos);
        ASSERT_EQ(produtos.ContarLinhas(), 4);
        QStringList descricoes;
        for (int i = 0; i < produtos.ContarLinhas(); ++i)
            descricoes << std::get<QString>(produtos.ValorEm(i, 1));
        EXPECT_EQ(descricoes, QStringList({"ZA?Ó?? G??L?", "?? ??", "CAFÉ ?", "AÇÚCAR"}));
        EXPECT_EQ(std::get<QString>(produtos.ValorEm(0, 0)), "1    ");
        EXPECT_EQ(produtos.Definicao(0).tamanho, 5);
        EXPECT_EQ(produtos.Definicao(1).tamanho, 60);
    }
    EXPECT_EQ(contarConexoes(bd.viaServidor()), 0);
}

TEST(TDados, TheRegisterStatementOpensSortedByCode) {
    BancoTeste bd({criarItens(), linha("'B'", "'Bê'", "1", "NULL", "NULL"),
                   linha("'A'", "'A'", "0", "2", "'N'"), linha("'C'", "'C'", "1", "1", "'S'"),
                   linha("'D'", "'D'", "0", "0", "NULL")});
    TDados dados(bd.caminho());
    for (int vez = 0; vez < 2; ++vez) { // a second opening closes and reruns it
        Origem &r = dados.AbrirRegistro();
        QStringList nomes;
        for (const CampoOrigem &c : r.Campos())
            nomes << c.nome;
        EXPECT_EQ(nomes, QStringList({"CODIGO", "DESCRICAO", "PROMOCAO", "PRECO"}));
        QStringList codigos;
        for (; !r.Fim(); r.Proximo())
            codigos << std::get<QString>(r.ValorEm(0));
        EXPECT_EQ(codigos, QStringList({"A", "B"}));
    }
    dados.Desconectar();
}

} // namespace
