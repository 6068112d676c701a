// The default error report: its text, its caption and its log for unattended runs.
#include "Avisos.h"
#include "Falsos.h"
#include "QStringImpressao.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <stdexcept>

namespace {

std::exception_ptr erro(const char *mensagem) {
    return std::make_exception_ptr(std::runtime_error(mensagem));
}

// Outer throws with a nested Inner.
std::exception_ptr aninhado(const char *externo, const char *interno) {
    try {
        try {
            throw std::runtime_error(interno);
        } catch (...) {
            std::throw_with_nested(std::runtime_error(externo));
        }
    } catch (...) {
        return std::current_exception();
    }
    return nullptr;
}

TEST(TextoDoErro, InnermostNonEmptyMessageWithAPeriodAfterCodesAbove46) {
    const struct {
        std::exception_ptr erro;
        QString esperado;
    } casos[] = {
        {erro("Banco fora do ar"), "Banco fora do ar."},
        {erro("Banco fora do ar."), "Banco fora do ar."}, // '.' is 46
        {erro("Falhou!"), "Falhou!"},                     // '!' is 33
        {erro("codigo 7"), "codigo 7."},                  // '7' is 55
        {erro("valor -"), "valor -"},                     // '-' is 45
        {erro("caminho /"), "caminho /."},                // '/' is 47
        {aninhado("externo", "interno"), "interno."},
        {aninhado("externo", ""), "externo."},
        {std::make_exception_ptr(42), "Erro desconhecido."},
    };
    for (const auto &c : casos)
        EXPECT_EQ(TextoDoErro(c.erro), c.esperado);
}

TEST(TituloAplicacao, NameBeforeTheFirstDotFirstCharacterKeptRestLowered) {
    EXPECT_EQ(TituloAplicacao("/opt/lurma/ServidorLurma"), "Servidorlurma");
    EXPECT_EQ(TituloAplicacao("C:/Prog/DadirIvezed.exe"), "Dadirivezed");
    EXPECT_EQ(TituloAplicacao("Prog.Test.exe"), "Prog");
    EXPECT_EQ(TituloAplicacao("aBC"), "abc");
}

TEST(RelatarErro, ErrorBoxCaptionedWithTheTitleAndOptionalLog) {
    QTemporaryDir pasta;
    const QString log = pasta.filePath("erros.log");
    qputenv("LURMA_ERROR_LOG", log.toUtf8());
    AvisosGravados avisos;
    EXPECT_FALSE(Proteger(avisos, [] { throw std::runtime_error("primeiro"); }));
    EXPECT_TRUE(Proteger(avisos, [] {}));
    RelatarErro(avisos, erro("segundo\nlinha"));
    qunsetenv("LURMA_ERROR_LOG");

    ASSERT_EQ(avisos.avisos.size(), 2u);
    EXPECT_EQ(avisos.avisos[0].texto, "primeiro.");
    const auto &ultimo = avisos.avisos[1];
    EXPECT_EQ(ultimo.texto, "segundo\nlinha.");
    EXPECT_EQ(ultimo.titulo, "test_terminal");
    EXPECT_EQ(ultimo.icone, QMessageBox::Critical);
    EXPECT_EQ(ultimo.botoes, QMessageBox::Ok);
    QFile arquivo(log);
    ASSERT_TRUE(arquivo.open(QIODevice::ReadOnly));
    EXPECT_EQ(arquivo.readAll(), "primeiro.\nsegundo linha.\n");
}

} // namespace
