// Listing real Firebird databases into the register, and Cadastro.xml over a program run: the
// example file byte for byte, the save decision at close, and saves that fail.
#include "ArquivoCadastro.h"
#include "BancoTeste.h"
#include "CopiarDataSet.h"
#include "ExemploCadastro.h"
#include "Listagem.h"
#include "uDados.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const QStringList DoisProdutos = {
    criarItens({.codigo = "VARCHAR(20) NOT NULL", .venda = "NUMERIC(15,2) NOT NULL"}),
    "INSERT INTO ITENS VALUES ('7891000200200', 'AÇÚCAR CRISTAL 1KG', NULL, 4.79, NULL)",
    "INSERT INTO ITENS VALUES ('7891000100103', 'ARROZ TIPO 1 5KG', 22.90, 24.90, 'N')",
    "INSERT INTO ITENS VALUES ('7891000300300', 'INATIVO', 1, 2, 'S')",
};

QByteArray ler(const QString &caminho) {
    QFile f(caminho);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void gravar(const QString &caminho, const QByteArray &bytes) {
    QFile f(caminho);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Start-up's part: the file name set, the table loaded when the file exists, then titles.
void iniciar(TTabela &produtos, const QString &arquivo) {
    produtos.NomeArquivo = arquivo;
    if (QFileInfo::exists(arquivo)) {
        produtos.Abrir();
        AjustarCampos(produtos);
    }
}

// ListarCadastro's steps, here on one thread; the listing's failure is raised.
void listar(TTabela &produtos, const QString &banco) {
    TListagem::Esvaziar(produtos);
    TListagem::Resultado r = TListagem::Executar(banco, produtos.NomeArquivo);
    TListagem::Aplicar(r, produtos);
    if (r.Erro)
        std::rethrow_exception(r.Erro);
}

std::vector<QString> titulos(const TTabela &t) {
    std::vector<QString> r;
    for (int i = 0; i < t.ContarCampos(); ++i)
        r.push_back(t.Campo(i).titulo);
    return r;
}

class Cadastro : public ::testing::Test {
protected:
    QTemporaryDir pasta;
    QString arquivo = pasta.filePath("Cadastro.xml");
};

TEST_F(Cadastro, ARealListingWritesTheExampleByteForByte) {
    BancoTeste bd(DoisProdutos);
    {
        TTabela produtos;
        iniciar(produtos, arquivo);
        EXPECT_FALSE(produtos.Aberta());
        listar(produtos, bd.caminho());
        EXPECT_EQ(ler(arquivo), Exemplo); // written at once
        EXPECT_EQ(titulos(produtos),
                  (std::vector<QString>{"Código", "Descrição", "Promoção", "Preço"}));
        EXPECT_EQ(produtos.Campo(3).formato, ",##0.00");
        EXPECT_EQ(produtos.LinhaAtual(), 0);
        produtos.Fechar();
    }
    EXPECT_EQ(ler(arquivo), Exemplo);

    TTabela relida;
    iniciar(relida, arquivo);
    ASSERT_EQ(relida.ContarLinhas(), 2);
    EXPECT_EQ(relida.ValorEm(1, 1), Valor(QString::fromUtf8("AÇÚCAR CRISTAL 1KG")));
    EXPECT_EQ(relida.ValorEm(1, 2), Valor{});
    EXPECT_EQ(relida.ValorEm(0, 3), Valor(Decimal{2490, 2}));
    EXPECT_EQ(titulos(relida), (std::vector<QString>{"Código", "Descrição", "Promoção", "Preço"}));
    EXPECT_EQ(relida.TextoExibido(0, 3, QLocale(QLocale::Portuguese, QLocale::Brazil)), "24,90");
}

TEST_F(Cadastro, LoadingAndClosingLeavesTheFileUntouched) {
    gravar(arquivo, Exemplo);
    QFile(arquivo).setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                               QFileDevice::FileModificationTime);
    const QDateTime antes = QFileInfo(arquivo).lastModified();
    {
        TTabela produtos;
        iniciar(produtos, arquivo);
        ASSERT_TRUE(produtos.Aberta());
        produtos.OrdenarPor(3); // looking at it changes nothing
    }
    EXPECT_EQ(ler(arquivo), Exemplo);
    EXPECT_EQ(QFileInfo(arquivo).lastModified(), antes);
}

TEST_F(Cadastro, AFileDeletedWhileOpenIsWrittenAgainAtClose) {
    gravar(arquivo, Exemplo);
    {
        TTabela produtos;
        iniciar(produtos, arquivo);
        QFile::remove(arquivo);
    }
    EXPECT_EQ(ler(arquivo), Exemplo);
}

TEST_F(Cadastro, AListingReplacesALoadedTableAndADeletionIsLogged) {
    // The previous file: one field, one row.
    const QByteArray anterior =
        "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA>"
        "<FIELDS><FIELD attrname=\"ANTIGO\" fieldtype=\"i4\"/></FIELDS><PARAMS/></METADATA>"
        "<ROWDATA><ROW ANTIGO=\"1\"/></ROWDATA></DATAPACKET>";
    gravar(arquivo, anterior);
    BancoTeste bd(DoisProdutos);
    {
        TTabela produtos;
        iniciar(produtos, arquivo);
        listar(produtos, bd.caminho());
        // From the old register straight to the new one: the emptied table never on disk.
        EXPECT_EQ(ler(arquivo), Exemplo);
        EXPECT_FALSE(produtos.SalvamentoPendente());
    }
    EXPECT_EQ(ler(arquivo), Exemplo);
    {
        TTabela produtos;
        iniciar(produtos, arquivo);
        produtos.IrPara(1);
        produtos.ApagarAtual();
    }
    const QByteArray depois = ler(arquivo);
    EXPECT_TRUE(depois.contains("<PARAMS CHANGE_LOG=\"1 0 4 2 0 4 2 0 2\"/>"));
    EXPECT_TRUE(depois.contains("<ROW RowState=\"6\" CODIGO=\"7891000200200\""));
    TTabela relida;
    iniciar(relida, arquivo);
    EXPECT_EQ(relida.ContarLinhas(), 1);
}

TEST_F(Cadastro, AnEmptyRegisterKeepsTheFieldsAndTitles) {
    BancoTeste vazio({criarItens()});
    gravar(arquivo, Exemplo);
    {
        TTabela produtos;
        iniciar(produtos, arquivo);
        listar(produtos, vazio.caminho());
        EXPECT_TRUE(produtos.Aberta());
        EXPECT_EQ(produtos.ContarLinhas(), 0);
        EXPECT_EQ(titulos(produtos),
                  (std::vector<QString>{"Código", "Descrição", "Promoção", "Preço"}));
    }
    EXPECT_EQ(ler(arquivo), Exemplo); // the file keeps the register it had

    TTabela fechada; // no file: the listing leaves it closed, without fields
    iniciar(fechada, pasta.filePath("outro.xml"));
    listar(fechada, vazio.caminho());
    EXPECT_FALSE(fechada.Aberta());
    EXPECT_EQ(fechada.ContarCampos(), 0);
}

TEST_F(Cadastro, EachColumnOfAListingGetsItsFieldKind) {
    BancoTeste bd({criarItens({.codigo = "CHAR(6)", .avista = "NUMERIC(15,2)", .venda = "INTEGER"}),
                   "INSERT INTO ITENS VALUES ('123', 'X', 1234.5, 7, NULL)",
                   "INSERT INTO ITENS VALUES ('045', 'Y', NULL, 3, NULL)",
                   "INSERT INTO ITENS VALUES ('100', 'Z', 0.5, 5, NULL)"});
    TTabela produtos;
    listar(produtos, bd.caminho());
    ASSERT_EQ(produtos.ContarCampos(), 4);
    EXPECT_EQ(produtos.Definicao(0), (TDefinicaoCampo{"CODIGO", TipoCampo::TextoLargo, 6}));
    EXPECT_EQ(produtos.Definicao(2), (TDefinicaoCampo{"PROMOCAO", TipoCampo::Decimal, 2}));
    EXPECT_EQ(produtos.Definicao(3), (TDefinicaoCampo{"PRECO", TipoCampo::Inteiro32, 0}));
    EXPECT_EQ(produtos.Campo(3).formato, "");
    const QLocale brasil(QLocale::Portuguese, QLocale::Brazil);
    EXPECT_EQ(produtos.TextoExibido(2, 2, brasil), "1.234,50");
    EXPECT_EQ(produtos.ValorEm(2, 0), Valor(QString("123   "))); // CHAR keeps its blanks
    EXPECT_TRUE(EscreverPacote(produtos).contains("CODIGO=\"123   \""));

    produtos.OrdenarPor(3); // a click on "Preço"
    auto codigos = [&] {
        std::vector<QString> r;
        for (int i = 0; i < produtos.ContarLinhas(); ++i)
            r.push_back(std::get<QString>(produtos.ValorEm(i, 0)).trimmed());
        return r;
    };
    EXPECT_EQ(codigos(), (std::vector<QString>{"045", "100", "123"}));
    produtos.OrdenarPor(3);
    EXPECT_EQ(codigos(), (std::vector<QString>{"045", "100", "123"}));
    produtos.OrdenarPor(0); // "Código"
    EXPECT_EQ(codigos(), (std::vector<QString>{"045", "100", "123"}));
    produtos.OrdenarPor(2); // NULL first
    EXPECT_EQ(codigos(), (std::vector<QString>{"045", "100", "123"}));
}

TEST_F(Cadastro, AnUnreachableDatabaseLeavesTheTableEmpty) {
    gravar(arquivo, Exemplo);
    TTabela produtos;
    iniciar(produtos, arquivo);
    EXPECT_THROW(listar(produtos, pasta.filePath("nao-existe.fdb")), ErroBanco);
    EXPECT_TRUE(produtos.Aberta());
    EXPECT_EQ(produtos.ContarLinhas(), 0);
    EXPECT_EQ(produtos.ContarCampos(), 4);
    produtos.Fechar();
    EXPECT_EQ(ler(arquivo), Exemplo); // the file keeps the register it had
}

// An abandoned listing (the exit's) stops at its next row and writes nothing.
TEST_F(Cadastro, AnAbandonedListingStopsAndWritesNothing) {
    BancoTeste bd(DoisProdutos);
    const std::atomic<bool> parar{true};
    EXPECT_THROW(TListagem::Executar(bd.caminho(), arquivo, &parar), ListagemInterrompida);
    EXPECT_FALSE(QFileInfo::exists(arquivo));
    EXPECT_EQ(QDir(pasta.path()).entryList(QDir::Files), QStringList{});
}

// ---------------------------------------------------------------- failures

// A column the table cannot define (a blank name): the copy names the field.
TEST_F(Cadastro, AColumnThatCannotBeAFieldIsNamedInTheError) {
    BancoTeste bd({criarItens()});
    Banco banco(bd.caminho(), {"USER_NAME=SYSDBA", "PASSWORD=plumtower", "LC_CTYPE=WIN1252"});
    Transacao transacao(banco, {"read_committed", "rec_version", "wait"});
    Consulta consulta(banco, transacao, "SELECT 1 AS UM, 2 AS \" \" FROM RDB$DATABASE");
    consulta.Abrir();
    TTabela t;
    try {
        CopiarDataSet(consulta, t, true);
        ADD_FAILURE();
    } catch (const ErroTabela &e) {
        EXPECT_EQ(e.Mensagem(), "Error Message: " + consulta.Campos()[1].nome);
    }
    consulta.Liberar();
    transacao.Encerrar();
    banco.Desconectar();
}

TEST_F(Cadastro, FailuresToOpenTheFileAreReported) {
    const QString faltando = pasta.filePath("faltando.xml");
    TTabela produtos;
    try {
        produtos.LoadFromFile(faltando);
        ADD_FAILURE();
    } catch (const ErroTabela &e) {
        EXPECT_EQ(e.Mensagem(), "Cannot open file \"" + faltando + "\". No such file or directory");
    }
    gravar(arquivo, "");
    try {
        produtos.LoadFromFile(arquivo);
        ADD_FAILURE();
    } catch (const ErroTabela &e) {
        EXPECT_EQ(e.Mensagem(), "Produtos: Missing data provider or data packet");
    }
    // A faulty file is left as it is at the end of the run.
    gravar(arquivo, "  not a packet");
    {
        TTabela t;
        t.NomeArquivo = arquivo;
        EXPECT_THROW(t.Abrir(), ErroTabela);
        EXPECT_FALSE(t.Aberta());
    }
    EXPECT_EQ(ler(arquivo), "  not a packet");
}

// A table with the file name set and something to save.
void preparar(TTabela &t, const QString &arquivo) {
    t.AdicionarCampo(TDefinicaoCampo{"N", TipoCampo::Inteiro32});
    t.NomeArquivo = arquivo;
    t.CriarDataSet();
    for (int i = 0; i < 1000; ++i)
        t.Adicionar({int64_t(i)});
}

TEST_F(Cadastro, AFileThatCannotBeCreatedIsReported) {
    gravar(pasta.filePath("arquivo"), "x");
    const QString impossivel = pasta.filePath("arquivo/Cadastro.xml"); // parent is a file
    TTabela t;
    preparar(t, impossivel);
    try {
        t.Fechar();
        ADD_FAILURE();
    } catch (const ErroTabela &e) {
        EXPECT_TRUE(e.Mensagem().startsWith("Cannot create file \"" + impossivel + "\". "))
            << e.what();
        EXPECT_GT(e.Mensagem().size(), ("Cannot create file \"" + impossivel + "\". ").size());
    }
    EXPECT_TRUE(t.Aberta()); // nothing lost: the rows are still there
    EXPECT_EQ(t.ContarLinhas(), 1000);
    t.NomeArquivo.clear();
}

// A disk that fills in the middle of the write, simulated with a file-size limit: the
// previous Cadastro.xml stays whole and no temporary file is left behind.
TEST_F(Cadastro, AWriteThatFailsHalfwayKeepsThePreviousFile) {
    gravar(arquivo, Exemplo);
    TTabela t;
    preparar(t, arquivo);
    rlimit antes{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &antes), 0);
    const auto sinalAntes = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limite = antes;
    limite.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limite), 0);
    QString mensagem;
    try {
        t.Fechar();
    } catch (const ErroTabela &e) {
        mensagem = e.Mensagem();
    }
    setrlimit(RLIMIT_FSIZE, &antes);
    std::signal(SIGXFSZ, sinalAntes);
    EXPECT_TRUE(mensagem.startsWith("Cannot write file \"" + arquivo + "\". "))
        << mensagem.toStdString();
    EXPECT_EQ(ler(arquivo), Exemplo);
    EXPECT_EQ(QDir(pasta.path()).entryList(QDir::Files), QStringList{"Cadastro.xml"});
    EXPECT_TRUE(t.Aberta());
    t.Fechar(); // the limit is gone: the next close saves
    EXPECT_TRUE(ler(arquivo).contains("N=\"999\""));
}

// A writable Cadastro.xml in a folder the user cannot write: no temporary file can be made
// beside it, and the file is never written in place, so the save fails with "Cannot create
// file" and the file stays whole. Root writes anywhere, so as root the save runs in a child
// process that became "nobody".
TEST_F(Cadastro, AReadOnlyFolderWithAWritableFileFailsToSaveAndKeepsTheFile) {
    gravar(arquivo, Exemplo);
    const auto todos = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    const auto entrar = QFileDevice::ExeOwner | QFileDevice::ExeGroup | QFileDevice::ExeOther;
    const auto escrever =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    ASSERT_TRUE(QFile::setPermissions(arquivo, todos | escrever));
    ASSERT_TRUE(QFile::setPermissions(pasta.path(), todos | entrar));
    const auto salvar = [&] {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0))
            std::_Exit(3);
        TTabela t;
        preparar(t, arquivo);
        try {
            t.Fechar();
            std::_Exit(4); // written, in place
        } catch (const ErroTabela &e) {
            t.NomeArquivo.clear();
            if (!e.Mensagem().startsWith("Cannot create file \"" + arquivo + "\". "))
                std::_Exit(5);
        }
        std::_Exit(0);
    };
    EXPECT_EXIT(salvar(), ::testing::ExitedWithCode(0), "");
    QFile::setPermissions(pasta.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    EXPECT_EQ(ler(arquivo), Exemplo);
    EXPECT_EQ(QDir(pasta.path()).entryList(QDir::Files), QStringList{"Cadastro.xml"});
}

// A listing runs its statement once. ITENS is a view over a procedure that counts its runs in
// a generator, which no transaction undoes.
TEST_F(Cadastro, AListingRunsItsStatementOnce) {
    BancoTeste bd({"CREATE TABLE ITENS_T (CODIGO VARCHAR(20), DESCRICAO VARCHAR(60), AVISTA "
                   "NUMERIC(15,2), VENDA NUMERIC(15,2), INATIVO CHAR(1))",
                   "CREATE SEQUENCE EXECUCOES",
                   "CREATE PROCEDURE P_ITENS RETURNS (CODIGO VARCHAR(20), DESCRICAO VARCHAR(60), "
                   "AVISTA NUMERIC(15,2), VENDA NUMERIC(15,2), INATIVO CHAR(1)) AS "
                   "DECLARE N BIGINT; BEGIN N = GEN_ID(EXECUCOES, 1); "
                   "FOR SELECT CODIGO, DESCRICAO, AVISTA, VENDA, INATIVO FROM ITENS_T "
                   "INTO :CODIGO, :DESCRICAO, :AVISTA, :VENDA, :INATIVO DO SUSPEND; END",
                   "CREATE VIEW ITENS AS SELECT * FROM P_ITENS",
                   "INSERT INTO ITENS_T VALUES ('1', 'A', NULL, 1, NULL)",
                   "INSERT INTO ITENS_T VALUES ('2', 'B', NULL, 2, NULL)",
                   "INSERT INTO ITENS_T VALUES ('3', 'C', NULL, 3, NULL)"});
    TTabela produtos;
    listar(produtos, bd.caminho());
    ASSERT_EQ(produtos.ContarLinhas(), 3);
    Banco banco(bd.caminho(), {"USER_NAME=SYSDBA", "PASSWORD=masterkey"});
    Transacao transacao(banco, {"read_committed", "rec_version", "wait"});
    Consulta execucoes(banco, transacao, "SELECT GEN_ID(EXECUCOES, 0) FROM RDB$DATABASE");
    execucoes.Abrir();
    EXPECT_EQ(execucoes.ValorEm(0), Valor(int64_t(1)));
}

} // namespace
