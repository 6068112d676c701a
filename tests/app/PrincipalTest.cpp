// The form: named controls, captions, limits, focus order; and a window without its library.
#include "Janela.h"

#include <QGroupBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>

namespace {

class Principal : public JanelaTeste {};

TEST_F(Principal, EveryNamedControlHasItsKindAndCaption) {
    const struct {
        const char *nome, *classe;
        QString texto;
    } controles[] = {
        {"BtnIniciar", "QPushButton", "Iniciar Servidor"},
        {"GroupBox7", "QGroupBox", "Leitura de Código de Barras"},
        {"Label16", "QLabel", "Código:"},
        {"lblCodigo", "QLabel", "#############"},
        {"Label17", "QLabel", "Terminal:"},
        {"lblCodeTerminal", "QLabel", "XXX.XXX.XXX.XXX"},
        {"GroupBox1", "QGroupBox", "Log de Conexão dos Terminais"},
        {"Label5", "QLabel", "Conexão de Terminais"},
        {"MemConexao", "QPlainTextEdit", ""},
        {"Label6", "QLabel", "Desconexão de Terminais"},
        {"Memo3", "QPlainTextEdit", ""},
        {"Panel2", "QFrame", ""},
        {"GridProdutos", "QTableView", ""},
        {"BtnListar", "QPushButton", "Listar Cadastro"},
        {"Label1", "QLabel", "Base de Dados"},
        {"EditDatabase", "QLineEdit", ""},
        {"BtnDatabase", "QToolButton", "..."},
        {"GroupBox2", "QGroupBox", "Configuração do Terminal"},
        {"GroupBox4", "QGroupBox", ""},
        {"txtTerminal", "QLineEdit", ""},
        {"txtServidor", "QLineEdit", ""},
        {"txtNetmask", "QLineEdit", ""},
        {"txtExibicao", "QLineEdit", ""},
        {"GroupBox5", "QGroupBox", "Mensagem 1"},
        {"txtLinha1", "QLineEdit", ""},
        {"txtLinha2", "QLineEdit", ""},
        {"GroupBox6", "QGroupBox", "Mensagem 2"},
        {"txtLinha3", "QLineEdit", ""},
        {"txtLinha4", "QLineEdit", ""},
        {"GroupBox3", "QGroupBox", "Desconectar / Enviar / Capturar Configuração do Terminal"},
        {"Label14", "QLabel", "Terminais Conectados"},
        {"listTerminais", "QListWidget", ""},
        {"Label15", "QLabel", "Terminal:"},
        {"txtTerminalSelecionado", "QLineEdit", ""},
        {"btnDesconectar", "QPushButton", "Desconectar Terminal"},
        {"btnCapturar", "QPushButton", "Capturar Configuração"},
        {"btnEnviar", "QPushButton", "Enviar Configuração"},
        {"Panel1", "QFrame", ""},
        {"PageControl1", "QTabWidget", ""},
        {"StatusBar", "QStatusBar", ""},
    };
    for (const auto &k : controles) {
        QWidget *w = c(k.nome);
        EXPECT_TRUE(w->inherits(k.classe)) << k.nome;
        QString texto;
        if (auto *b = qobject_cast<QAbstractButton *>(w))
            texto = b->text();
        else if (auto *l = qobject_cast<QLabel *>(w))
            texto = l->text();
        else if (auto *g = qobject_cast<QGroupBox *>(w))
            texto = g->title();
        else if (auto *e = qobject_cast<QLineEdit *>(w))
            texto = e->text();
        EXPECT_EQ(texto, k.texto) << k.nome;
    }
    const auto *paginas = c<QTabWidget>("PageControl1");
    EXPECT_EQ(paginas->currentIndex(), 0);
    EXPECT_EQ(paginas->widget(0)->objectName(), "TabSheet1");
    EXPECT_EQ(paginas->tabText(0), "Principal");
    EXPECT_EQ(paginas->widget(1)->objectName(), "TabSheet2");
    EXPECT_EQ(paginas->tabText(1), "Cadastro");
}

TEST_F(Principal, FixedSizeMinimiseWithoutMaximiseAndTwoStatusPanels) {
    EXPECT_EQ(janela->minimumSize(), QSize(544, 696));
    EXPECT_EQ(janela->maximumSize(), QSize(544, 696));
    const Qt::WindowFlags f = janela->windowFlags();
    EXPECT_TRUE(f & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(f & Qt::WindowMaximizeButtonHint);
    EXPECT_EQ(janela->StatusPainel(0)->width(), 350);
    EXPECT_EQ(janela->StatusPainel(0)->parentWidget(), c("StatusBar"));
    EXPECT_EQ(janela->StatusPainel(1)->parentWidget(), c("StatusBar"));
    EXPECT_EQ(c<QToolButton>("BtnDatabase")->focusPolicy(), Qt::NoFocus);
}

TEST_F(Principal, LogsAreReadOnlyWithAVerticalScrollBar) {
    for (const char *nome : {"MemConexao", "Memo3"}) {
        auto *log = c<QPlainTextEdit>(nome);
        EXPECT_TRUE(log->isReadOnly()) << nome;
        EXPECT_EQ(log->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn) << nome;
        QTest::keyClicks(log, "abc");
        EXPECT_EQ(log->toPlainText(), "") << nome;
    }
}

TEST_F(Principal, MessageLinesRefuseTheTwentyFirstCharacterOthersHaveNoLimit) {
    for (const char *nome : {"txtLinha1", "txtLinha2", "txtLinha3", "txtLinha4"}) {
        QTest::keyClicks(campo(nome), "ABCDEFGHIJKLMNOPQRSTU");
        EXPECT_EQ(campo(nome)->text(), "ABCDEFGHIJKLMNOPQRST") << nome;
    }
    const QString longo(40, u'9');
    for (const char *nome : {"txtTerminal", "txtServidor", "txtNetmask", "txtExibicao",
                             "txtTerminalSelecionado", "EditDatabase"}) {
        QTest::keyClicks(campo(nome), longo);
        EXPECT_EQ(campo(nome)->text(), longo) << nome;
    }
}

TEST_F(Principal, TabOrderFollowsTheForm) {
    const QStringList ordem = {"BtnIniciar",
                               "Memo3",
                               "MemConexao",
                               "EditDatabase",
                               "BtnListar",
                               "GridProdutos",
                               "txtTerminalSelecionado",
                               "btnDesconectar",
                               "btnCapturar",
                               "btnEnviar",
                               "listTerminais",
                               "txtTerminal",
                               "txtServidor",
                               "txtNetmask",
                               "txtExibicao",
                               "txtLinha1",
                               "txtLinha2",
                               "txtLinha3",
                               "txtLinha4"};
    QStringList vistos;
    QWidget *w = c("PageControl1");
    for (int passos = 0; passos < 200 && vistos.size() < ordem.size(); ++passos) {
        w = w->nextInFocusChain();
        if (ordem.contains(w->objectName()) && !vistos.contains(w->objectName()))
            vistos << w->objectName();
    }
    EXPECT_EQ(vistos, ordem);
}

// Without fakes the window looks for the library beside this test, where there is none.
TEST(WindowWithoutLibrary, StartReportsTheMissingFileAndTheWindowStaysUsable) {
    auto avisos = std::make_shared<AvisosGravados>();
    QTemporaryDir pasta;
    TfrmPrincipal janela(TDependencias{std::nullopt, avisos, {}}, nullptr,
                         TOpcoesJanela{pasta.path(), [](int) {}, [] { return false; }});
    janela.findChild<QPushButton *>("BtnIniciar")->click();
    ASSERT_EQ(avisos->avisos.size(), 1u);
    EXPECT_NE(avisos->avisos[0].texto.indexOf("pqtLurma"), -1) << avisos->avisos[0].texto;
    EXPECT_EQ(avisos->avisos[0].icone, QMessageBox::Critical);
    EXPECT_EQ(avisos->avisos[0].titulo, "test_app");
    EXPECT_EQ(janela.Tag, 0);
    EXPECT_EQ(janela.findChild<QPushButton *>("BtnIniciar")->text(), "Iniciar Servidor");

    janela.findChild<QPushButton *>("BtnIniciar")->click(); // reported again, nothing breaks
    EXPECT_EQ(avisos->avisos.size(), 2u);
}

} // namespace
