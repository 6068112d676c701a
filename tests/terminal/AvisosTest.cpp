// The default error report: its text, its caption and its log for unattended runs.
#include "Avisos.h"
#include "Falsos.h"
#include "QStringImpressao.h"

#include <QFile>
#include <QTemporaryDir>
#include <algorithm>
#include <gtest/gtest.h>
#include <stdexcept>
#include <string>
#include <vector>

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

// A box whose modal loop goes on dispatching: while it is open, the errors of Chegam arrive,
// one list per box shown.
class AvisosComLaco : public TAvisos {
public:
    std::vector<std::vector<const char *>> chegam;
    std::vector<QString> mostrados;
    int abertos = 0, maisAbertos = 0;

    QMessageBox::StandardButton Mostrar(const QString &Texto, const QString &, QMessageBox::Icon,
                                        QMessageBox::StandardButtons) override {
        mostrados.push_back(Texto);
        maisAbertos = std::max(maisAbertos, ++abertos);
        if (mostrados.size() <= chegam.size())
            for (const char *m : chegam[mostrados.size() - 1])
                RelatarErro(*this, erro(m));
        --abertos;
        return QMessageBox::Ok;
    }
};

TEST(RelatarErro, ErrorsDuringAnOpenBoxWaitAndAreShownTogetherOnceItCloses) {
    QTemporaryDir pasta;
    const QString log = pasta.filePath("erros.log");
    qputenv("LURMA_ERROR_LOG", log.toUtf8());
    AvisosComLaco avisos;
    avisos.chegam = {{"banco fora", "banco fora", "tabela", "banco fora"},
                     {"outro", "código %1", "código %1"}};
    RelatarErro(avisos, erro("primeiro"));
    qunsetenv("LURMA_ERROR_LOG");

    EXPECT_EQ(avisos.maisAbertos, 1); // never one box inside another
    EXPECT_EQ(avisos.mostrados,
              (std::vector<QString>{"primeiro.", "banco fora. (3 vezes)\ntabela.",
                                    "outro.\ncódigo %1. (2 vezes)"}));
    // The log still has one line per error, as they came.
    QFile arquivo(log);
    ASSERT_TRUE(arquivo.open(QIODevice::ReadOnly));
    EXPECT_EQ(arquivo.readAll(),
              "primeiro.\nbanco fora.\nbanco fora.\ntabela.\nbanco fora.\noutro.\n"
              "código %1.\ncódigo %1.\n");

    // Closed for good: the next error has a box of its own again.
    RelatarErro(avisos, erro("depois"));
    EXPECT_EQ(avisos.mostrados.back(), "depois.");
}

TEST(RelatarErro, AStormOfDistinctErrorsKeepsTheFirstTenAndCountsTheRest) {
    AvisosComLaco avisos;
    std::vector<std::string> textos;
    for (int i = 0; i < 500; ++i)
        textos.push_back("erro " + std::to_string(i % 25));
    avisos.chegam.emplace_back();
    for (const std::string &t : textos)
        avisos.chegam[0].push_back(t.c_str());
    RelatarErro(avisos, erro("primeiro"));

    ASSERT_EQ(avisos.mostrados.size(), 2u);
    QStringList esperado;
    for (int i = 0; i < 10; ++i)
        esperado << QStringLiteral("erro %1. (20 vezes)").arg(i);
    esperado << "Mais 300 erros.";
    EXPECT_EQ(avisos.mostrados[1], esperado.join(u'\n'));
}

} // namespace
