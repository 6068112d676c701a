// Where the panel listens: the configured text, its default, and the refusals.
#include "ConfiguracaoPainel.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

TEST(ConfiguracaoPainel, AddressesKeysAndRefusals) {
    struct Caso {
        std::optional<QString> endereco;
        QString chave;
        bool ativo;
        QString host;
        quint16 porta;
        QString erro; // part of the refusal's text
    };
    const Caso casos[] = {
        {std::nullopt, "", true, "127.0.0.1", 6551, ""},
        {"", "", false, "", 0, ""}, // no panel, and no error either
        {"  ", "", false, "", 0, ""},
        {"127.0.0.5:8080", "", true, "127.0.0.5", 8080, ""},
        {"localhost:7000", "", true, "127.0.0.1", 7000, ""},
        {"[::1]:7001", "", true, "::1", 7001, ""},
        {"192.168.1.20:6551", "", false, "", 0, "fora desta máquina e não há Chave"},
        {"0.0.0.0:6551", "", false, "", 0, "fora desta máquina e não há Chave"},
        {"[::]:6551", "", false, "", 0, "fora desta máquina e não há Chave"},
        {"192.168.1.20:6551", "segredo", true, "192.168.1.20", 6551, ""},
        {"127.0.0.1", "", false, "", 0, "não é da forma IP:porta"},
        {"127.0.0.1:0", "", false, "", 0, "não é da forma IP:porta"},
        {"127.0.0.1:65536", "", false, "", 0, "não é da forma IP:porta"},
        {"::1:6551", "", false, "", 0, "não é da forma IP:porta"},
        {"loja.local:6551", "x", false, "", 0, "não é da forma IP:porta"},
    };
    for (const Caso &c : casos) {
        SCOPED_TRACE(c.endereco.value_or("(none)").toStdString());
        const TConfiguracaoPainel r = InterpretarConfiguracao(c.endereco, c.chave);
        EXPECT_EQ(r.Ativo, c.ativo);
        EXPECT_EQ(r.Erro.isEmpty(), c.erro.isEmpty()) << r.Erro.toStdString();
        if (!c.erro.isEmpty()) {
            EXPECT_TRUE(r.Erro.startsWith("O painel não foi iniciado: ") && r.Erro.contains(c.erro))
                << r.Erro.toStdString();
        }
        if (c.ativo) {
            EXPECT_EQ(r.Endereco, QHostAddress(c.host));
            EXPECT_EQ(r.Porta, c.porta);
            EXPECT_EQ(r.Chave, c.chave.toUtf8());
        }
    }
}

TEST(ConfiguracaoPainel, TheEnvironmentOverridesTheStore) {
    QTemporaryDir pasta;
    QSettings armazem(pasta.filePath("s.ini"), QSettings::IniFormat);
    armazem.setValue("Painel/Endereco", "192.168.1.20:6551");
    armazem.setValue("Painel/Chave", "da-loja");
    qunsetenv("LURMA_PAINEL");
    qunsetenv("LURMA_PAINEL_CHAVE");
    TConfiguracaoPainel r = LerConfiguracaoPainel(armazem);
    EXPECT_TRUE(r.Ativo);
    EXPECT_EQ(r.Chave, "da-loja");
    qputenv("LURMA_PAINEL_CHAVE", "");
    r = LerConfiguracaoPainel(armazem); // the key emptied by the environment: refused
    EXPECT_FALSE(r.Ativo);
    EXPECT_FALSE(r.Erro.isEmpty());
    qputenv("LURMA_PAINEL", "");
    r = LerConfiguracaoPainel(armazem);
    EXPECT_FALSE(r.Ativo);
    EXPECT_TRUE(r.Erro.isEmpty());
    qunsetenv("LURMA_PAINEL");
    qunsetenv("LURMA_PAINEL_CHAVE");
}
