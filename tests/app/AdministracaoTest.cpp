// The operator's terminal administration: disconnect, capture and send.
#include "Janela.h"

#include <functional>

namespace {

const char *const Configuracao[] = {"txtTerminal", "txtServidor", "txtNetmask", "txtExibicao",
                                    "txtLinha1",   "txtLinha2",   "txtLinha3",  "txtLinha4"};

class TerminalAdministration : public JanelaTeste {
protected:
    void selecionar(const QString &s) { campo("txtTerminalSelecionado")->setText(s); }
    void esperarAviso(const QString &texto, QMessageBox::Icon icone) {
        ASSERT_EQ(avisos->avisos.size(), 1u);
        const auto &a = avisos->avisos[0];
        EXPECT_EQ(a.texto, texto);
        EXPECT_EQ(a.titulo, "Servidor Lurma");
        EXPECT_EQ(a.icone, icone);
        EXPECT_EQ(a.botoes, QMessageBox::Ok);
        avisos->avisos.clear();
    }
};

TEST_F(TerminalAdministration, BlankSelectionDoesNothing) {
    campo("txtLinha1")->setText("fica");
    for (const QString branco : {"", "   ", "\t \x01"}) {
        selecionar(branco);
        for (const char *botao : {"btnDesconectar", "btnCapturar", "btnEnviar"})
            clicar(botao);
    }
    EXPECT_TRUE(lurma.inetAddr.empty());
    EXPECT_TRUE(lurma.fechados.empty());
    EXPECT_TRUE(lurma.terminalCapturado.empty());
    EXPECT_FALSE(lurma.envio[0].has_value());
    EXPECT_TRUE(avisos->avisos.empty());
    EXPECT_EQ(campo("txtLinha1")->text(), "fica");
}

TEST_F(TerminalAdministration, DisconnectHandsTheUntrimmedSelectionAndReportsTheOutcome) {
    lurma.conectar("10.0.0.9");
    iniciar();
    entregar();
    selecionar("10.0.0.9");
    clicar("btnDesconectar");
    EXPECT_EQ(lurma.inetAddr.back(), "10.0.0.9");
    EXPECT_EQ(lurma.fechados, std::vector<std::string>{"10.0.0.9"});
    esperarAviso("O Terminal de IP (10.0.0.9) foi desconectado com sucesso.",
                 QMessageBox::Information);
    EXPECT_EQ(lista(), QStringList{"10.0.0.9"}); // until the library reports the disconnection
    EXPECT_EQ(campo("txtTerminalSelecionado")->text(), "10.0.0.9");

    lurma.fechar = false;
    selecionar(" 10.0.0.7 ");
    clicar("btnDesconectar");
    EXPECT_EQ(lurma.inetAddr.back(), " 10.0.0.7 ");
    esperarAviso("Erro, o Terminal de IP ( 10.0.0.7 ) não está conectado ou não existe.",
                 QMessageBox::Critical);
}

// S is the selection in single-byte text: the messages show what the library received, '?'
// where a character has no Windows-1252 byte.
TEST_F(TerminalAdministration, MessagesShowTheSelectionAsTheLibraryReceivedIt) {
    const QString s = "10.0.0.5 ?\u20AC?";
    const struct {
        const char *botao;
        bool sucesso;
        QString aviso;
        std::function<std::string()> recebido;
    } casos[] = {
        {"btnDesconectar", true, "O Terminal de IP (" + s + ") foi desconectado com sucesso.",
         [this] { return lurma.inetAddr.back(); }},
        {"btnDesconectar", false,
         "Erro, o Terminal de IP (" + s + ") não está conectado ou não existe.",
         [this] { return lurma.inetAddr.back(); }},
        {"btnCapturar", true,
         "Captura dos dados do Terminal de IP (" + s + ") realizada com sucesso.",
         [this] { return lurma.terminalCapturado; }},
        {"btnCapturar", false, "Erro ao capturar os dados do Terminal de IP : " + s + ".",
         [this] { return lurma.terminalCapturado; }},
        {"btnEnviar", true, "Configuração enviada com sucesso para o Terminal de IP: " + s + ".",
         [this] { return lurma.envio[0].value_or(""); }},
        {"btnEnviar", false, "Erro ao enviar a Configuração para o Terminal de IP: " + s + ".",
         [this] { return lurma.envio[0].value_or(""); }},
    };
    for (const auto &k : casos) {
        SCOPED_TRACE(std::string(k.botao) + (k.sucesso ? " true" : " false"));
        lurma.fechar = lurma.capturar = lurma.enviar = k.sucesso;
        selecionar("10.0.0.5 \u0141\u20AC\U0001F600"); // Ł and the emoji have no byte
        clicar(k.botao);
        EXPECT_EQ(k.recebido(), "10.0.0.5 ?\x80?");
        esperarAviso(k.aviso, k.sucesso ? QMessageBox::Information : QMessageBox::Critical);
    }
}

TEST_F(TerminalAdministration, CaptureFillsAddressesAsTheyCameAndLinesTrimmed) {
    lurma.configuracao = {"10.0.0.5 ",         "10.0.0.1", "255.255.255.0",
                          "  BEM VINDO  ",     " LINHA 2", "L3                  ",
                          "\tPROMO\xC7\xC3O ", "1 "};
    selecionar("10.0.0.5");
    clicar("btnCapturar");
    EXPECT_EQ(lurma.terminalCapturado, "10.0.0.5");
    const QStringList esperado = {"10.0.0.5 ", "10.0.0.1", "255.255.255.0", "1 ", "BEM VINDO",
                                  "LINHA 2",   "L3",       "PROMOÇÃO"};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(campo(Configuracao[i])->text(), esperado[i]) << Configuracao[i];
    esperarAviso("Captura dos dados do Terminal de IP (10.0.0.5) realizada com sucesso.",
                 QMessageBox::Information);
}

TEST_F(TerminalAdministration, FailedCaptureEmptiesOnlyTheEightConfigurationFields) {
    iniciar();
    lurma.conectar("10.0.0.5");
    lurma.conectar("10.0.0.6");
    lurma.desconectar("10.0.0.6");
    entregar();
    for (const char *nome : Configuracao)
        campo(nome)->setText("x");
    const QStringList conexoes = linhas("MemConexao"), desconexoes = linhas("Memo3");
    selecionar("10.0.0.5");
    lurma.capturar = false;
    clicar("btnCapturar");
    esperarAviso("Erro ao capturar os dados do Terminal de IP : 10.0.0.5.", QMessageBox::Critical);
    for (const char *nome : Configuracao)
        EXPECT_EQ(campo(nome)->text(), "") << nome;
    EXPECT_EQ(campo("txtTerminalSelecionado")->text(), "10.0.0.5");
    EXPECT_EQ(lista(), QStringList{"10.0.0.5"});
    EXPECT_EQ(linhas("MemConexao"), conexoes);
    EXPECT_EQ(linhas("Memo3"), desconexoes);
}

TEST_F(TerminalAdministration, SendCentresTrimmedLinesAndPassesEmptyFieldsAsNull) {
    selecionar(" 10.0.0.5");
    clicar("btnEnviar");
    const std::string vinte(20, ' ');
    EXPECT_EQ(lurma.envio, (std::array<std::optional<std::string>, 9>{
                               " 10.0.0.5", std::nullopt, std::nullopt, std::nullopt, vinte, vinte,
                               vinte, vinte, std::nullopt}));
    esperarAviso("Configuração enviada com sucesso para o Terminal de IP:  10.0.0.5.",
                 QMessageBox::Information);

    const QStringList valores = {"10.0.0.5 ",           "10.0.0.1", "255.0.0.0", "1",
                                 "ABCDEFGHIJKLMNOPQRS", "  OLA  ",  "PROMOÇÃO",  "\tX"};
    for (int i = 0; i < 8; ++i)
        campo(Configuracao[i])->setText(valores[i]);
    lurma.enviar = false;
    selecionar("10.0.0.5");
    clicar("btnEnviar");
    EXPECT_EQ(lurma.envio, (std::array<std::optional<std::string>, 9>{
                               "10.0.0.5", "10.0.0.5 ", "10.0.0.1", "255.0.0.0",
                               " ABCDEFGHIJKLMNOPQRS", "         OLA        ",
                               "      PROMO\xC7\xC3O      ", "          X         ", "1"}));
    esperarAviso("Erro ao enviar a Configuração para o Terminal de IP: 10.0.0.5.",
                 QMessageBox::Critical);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(campo(Configuracao[i])->text(), valores[i]) << Configuracao[i];
}

} // namespace
