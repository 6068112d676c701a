// The keyboard focus of the main window: a click on "..." leaves it where it was (whatever the
// chooser's outcome, nothing is stored at the click), and Tab stops only at the controls, in
// their order.
#include "Bandeja.h"

#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

namespace {

class Foco : public JanelaBandeja {
protected:
    void SetUp() override {
        JanelaBandeja::SetUp();
        escreverConfig("[Config]\nEditDatabase=guardado\n");
        criar();
        mostrar();
        janela->TimerInit.stop(); // no automatic hide
        QApplication::setActiveWindow(janela.get());
        ASSERT_TRUE(janela->isActiveWindow());
        QFile(pasta.filePath("Loja.fdb")).open(QIODevice::WriteOnly);
    }
    // A mouse click, which hands the focus on as the operator's click does; the window is
    // active again once the chooser has closed, as a window manager makes it.
    void clicarReticencias(const QString &Arquivo) {
        responderSeletor(Arquivo, [this] {
            QTest::mouseClick(c<QToolButton>("BtnDatabase"), Qt::LeftButton);
        });
        QApplication::setActiveWindow(janela.get());
        ASSERT_TRUE(janela->isActiveWindow());
    }
    QString focado() const {
        const QWidget *w = janela->focusWidget();
        return w ? w->objectName() : QString();
    }
    QString guardado() const {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, "ZELNA'S Software",
                    QCoreApplication::applicationName());
        return s.value("Config/EditDatabase").toString();
    }
};

TEST_F(Foco, TheDotsButtonLeavesTheFocusWhereItWasAndTheClickStoresNothing) {
    c<QTabWidget>("PageControl1")->setCurrentIndex(1);
    auto *campo = c<QLineEdit>("EditDatabase");
    const QString escolhido = "Localhost:" + QDir::toNativeSeparators(pasta.filePath("Loja.fdb"));
    for (const char *inicio : {"EditDatabase", "BtnListar"}) {
        SCOPED_TRACE(inicio);
        c(inicio)->setFocus(Qt::TabFocusReason);
        campo->setText("digitado");
        ASSERT_EQ(focado(), inicio);

        clicarReticencias(""); // cancelled: neither the text nor the focus changes
        EXPECT_EQ(focado(), inicio);
        EXPECT_EQ(campo->text(), "digitado");
        EXPECT_EQ(guardado(), "guardado");

        clicarReticencias("Loja.fdb"); // chosen: the field takes the focus and the file
        EXPECT_EQ(focado(), "EditDatabase");
        EXPECT_EQ(campo->text(), escolhido);
        EXPECT_EQ(guardado(), "guardado"); // stored only when the focus leaves the field
        c("BtnListar")->setFocus(Qt::TabFocusReason);
        EXPECT_EQ(guardado(), escolhido);
        escreverConfig("[Config]\nEditDatabase=guardado\n");
    }
    EXPECT_TRUE(avisos->avisos.empty());
}

TEST_F(Foco, TabStopsOnlyAtTheControlsInTheirOrder) {
    const QStringList principal = {"BtnIniciar", "Memo3", "MemConexao"};
    const QStringList cadastro = {"EditDatabase", "BtnListar", "GridProdutos"};
    const QStringList grupo2 = {"txtTerminalSelecionado", "btnDesconectar", "btnCapturar",
                                "btnEnviar", "listTerminais", "txtTerminal", "txtServidor",
                                "txtNetmask", "txtExibicao", "txtLinha1", "txtLinha2",
                                "txtLinha3", "txtLinha4"};
    const QString abas = c<QTabWidget>("PageControl1")->tabBar()->objectName();
    const struct {
        int pagina;
        QStringList paradas; // one round, from the page's first control
    } casos[] = {{0, principal + grupo2 + QStringList{abas}},
                 {1, cadastro + grupo2 + QStringList{abas}}};
    for (const auto &k : casos) {
        SCOPED_TRACE(k.pagina);
        c<QTabWidget>("PageControl1")->setCurrentIndex(k.pagina);
        c(k.paradas[0].toUtf8().constData())->setFocus(Qt::TabFocusReason);
        QStringList paradas = {focado()};
        for (qsizetype i = 1; i < k.paradas.size() + 1; ++i) {
            // The grid is empty (no Cadastro.xml): Tab has no cell to move to and leaves it.
            QTest::keyClick(janela->focusWidget(), Qt::Key_Tab);
            paradas << focado();
        }
        EXPECT_EQ(paradas.join(u' '), (k.paradas + QStringList{k.paradas[0]}).join(u' '));
    }
}

} // namespace
