// The barcode road against real Firebird databases: lookup, layout for 20 columns, reply.
#include "BancoTeste.h"
#include "Janela.h"

namespace {

QString item(const QString &codigo, const QString &descricao, const QString &venda,
             const QString &inativo = "NULL") {
    return QString("INSERT INTO ITENS VALUES ('%1', '%2', NULL, %3, %4)")
        .arg(codigo, descricao, venda, inativo);
}

class CodigoDeBarras : public JanelaTeste {
protected:
    void ler(const std::string &endereco, const std::string &codigo) {
        lurma.codigo(endereco, codigo);
        entregar();
    }
    std::optional<LurmaFalsa::Resposta> unicaResposta() {
        if (lurma.respostas.size() != 1)
            return std::nullopt;
        auto r = lurma.respostas[0];
        lurma.respostas.clear();
        return r;
    }
};

TEST_F(CodigoDeBarras, FoundProductsGetDescriptionAndPriceLaidOutForTwentyColumns) {
    const QString vinte = "ABCDEFGHIJKLMNOPQRST", trinta = "DESCRICAO COM TRINTA CARACTERE";
    BancoTeste bd({criarItens(), item("1", "ARROZ", "12.50"), item("20", vinte, "1"),
                   item("30", trinta, "1234.5"), item("7", "CAFÉ", "0.99")});
    campo("EditDatabase")->setText(bd.caminho());
    iniciar();
    const struct {
        std::string codigo;
        std::string descricao, preco;
    } casos[] = {
        {"1", "        ARROZ       ", "       $12.50       "},
        {"20", vinte.toStdString(), "        $1.00       "},
        {"30", trinta.toStdString(), "      $1,234.50     "}, // sent whole, 30 bytes
        {"7", "        CAF\xC9        ", "        $0.99       "},
    };
    for (const auto &caso : casos) {
        SCOPED_TRACE(caso.codigo);
        ler("10.0.0.200", caso.codigo);
        const auto r = unicaResposta();
        ASSERT_TRUE(r);
        EXPECT_EQ(r->endereco, "10.0.0.200");
        EXPECT_EQ(r->descricao, caso.descricao);
        EXPECT_EQ(r->preco, caso.preco);
        EXPECT_EQ(c<QLabel>("lblCodigo")->text(), QString::fromStdString(caso.codigo));
        EXPECT_EQ(c<QLabel>("lblCodeTerminal")->text(), "10.0.0.200");
    }
    EXPECT_TRUE(avisos->avisos.empty());
}

TEST_F(CodigoDeBarras, UnknownInactiveOrPaddedCodes) {
    BancoTeste bd({criarItens(), item("1", "ARROZ", "12.50"), item("2", "VELHO", "3", "'S'")});
    campo("EditDatabase")->setText(bd.caminho());
    iniciar();
    ler("10.0.0.7", "999");
    auto r = unicaResposta();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->endereco, "10.0.0.7");
    EXPECT_FALSE(r->descricao); // the not-found reply
    EXPECT_EQ(c<QLabel>("lblCodigo")->text(), "999");
    EXPECT_EQ(c<QLabel>("lblCodeTerminal")->text(), "10.0.0.7");

    ler("10.0.0.7", "2");
    r = unicaResposta();
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->descricao);

    // A buffer that comes back full, without a NUL: the lookup trims the code, the label does not.
    ler("10.0.0.8", "1              ");
    r = unicaResposta();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->preco, "       $12.50       ");
    EXPECT_EQ(c<QLabel>("lblCodigo")->text(), "1              ");
    EXPECT_TRUE(avisos->avisos.empty());
}

TEST_F(CodigoDeBarras, LookupErrorIsReportedGetsNoReplyReleasesTheDatabaseAndServingGoesOn) {
    BancoTeste semItens({"CREATE TABLE OUTRA (N INTEGER)"});
    BancoTeste bom({criarItens(), item("1", "ARROZ", "12.50")});
    campo("EditDatabase")->setText(semItens.viaServidor());
    iniciar();
    ler("10.0.0.7", "1");
    EXPECT_TRUE(lurma.respostas.empty());
    ASSERT_EQ(avisos->avisos.size(), 1u);
    EXPECT_EQ(avisos->avisos[0].titulo, "test_app");
    EXPECT_EQ(avisos->avisos[0].icone, QMessageBox::Critical);
    EXPECT_NE(avisos->avisos[0].texto.indexOf("ITENS"), -1) << avisos->avisos[0].texto;
    EXPECT_EQ(c<QLabel>("lblCodigo")->text(), "1");
    EXPECT_EQ(c<QLabel>("lblCodeTerminal")->text(), "10.0.0.7");
    EXPECT_EQ(contarConexoes(semItens.viaServidor()), 0);
    EXPECT_EQ(janela->Tag, 1);

    campo("EditDatabase")->setText("");
    ler("10.0.0.7", "1"); // no database name at all
    EXPECT_EQ(avisos->avisos.size(), 2u);
    EXPECT_TRUE(lurma.respostas.empty());

    campo("EditDatabase")->setText(bom.viaServidor());
    ler("10.0.0.7", "1");
    const auto r = unicaResposta();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->descricao, "        ARROZ       ");
    EXPECT_EQ(contarConexoes(bom.viaServidor()), 0);
}

} // namespace
