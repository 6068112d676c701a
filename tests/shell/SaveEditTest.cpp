// TSaveEdit: loads at its first showing and on focus enter, stores on focus exit to another
// control and when its window hides or the program ends with the field focused, and reports a
// stored value of the wrong type.
#include "SaveEdit.h"
#include "Bandeja.h"

#include <QContextMenuEvent>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>

namespace {

class SaveEdit : public ::testing::Test {
protected:
    AvisosGravados avisos;
    QWidget janela;
    TSaveEdit *campo = new TSaveEdit(&janela);
    QLineEdit *outro = new QLineEdit(&janela);

    void SetUp() override {
        QFile::remove(arquivoConfig());
        campo->setObjectName("EditDatabase");
        campo->DefinirAvisos(&avisos);
        auto *l = new QVBoxLayout(&janela);
        l->addWidget(campo);
        l->addWidget(outro);
    }
    void TearDown() override { QFile::remove(arquivoConfig()); }

    void mostrarAtiva() {
        janela.show();
        QApplication::setActiveWindow(&janela);
        ASSERT_TRUE(janela.isActiveWindow());
    }
    void entrar() { campo->setFocus(Qt::MouseFocusReason); }
    void sair() { outro->setFocus(Qt::TabFocusReason); }
    QVariant guardado() {
        QSettings s(QSettings::IniFormat, QSettings::UserScope, "ZELNA'S Software",
                    QCoreApplication::applicationName());
        return s.value("Config/EditDatabase");
    }
};

TEST(SaveEditApplicationName, ApplicationNameIsTheFileNameCutBeforeItsFirstDot) {
    const struct {
        const char *caminho, *nome;
    } casos[] = {{"/opt/x/Prog.Test", "Prog"},
                 {"C:/Lojas/DadirIvezed.exe", "DadirIvezed"},
                 {"/a.b/ServidorLurma", "ServidorLurma"},
                 {"SemPonto", "SemPonto"}};
    for (const auto &k : casos)
        EXPECT_EQ(TSaveEdit::NomeAplicacao(k.caminho), k.nome) << k.caminho;
    EXPECT_EQ(TSaveEdit(nullptr).AppName(), "test_shell");
    EXPECT_TRUE(arquivoConfig().endsWith("/ZELNA'S Software/test_shell.ini")) << arquivoConfig();
}

TEST_F(SaveEdit, FirstRunLeavesTheFieldEmptyAndLeavingStoresTheEmptyText) {
    campo->setText("antes");
    mostrarAtiva();
    EXPECT_EQ(campo->text(), "");
    EXPECT_FALSE(guardado().isValid());
    entrar();
    sair();
    EXPECT_EQ(guardado(), QVariant(QString("")));
    EXPECT_TRUE(avisos.avisos.empty());
}

TEST_F(SaveEdit, TypedTextIsStoredWhenTheFocusGoesToAnotherControlOrTheWindowHides) {
    QWidget outraJanela;
    mostrarAtiva();
    entrar();
    QTest::keyClicks(campo, "Localhost:/dados/a,b;c.fdb");
    // Another application's window comes forward: not a move to another control.
    outraJanela.show();
    QApplication::setActiveWindow(&outraJanela);
    ASSERT_FALSE(janela.isActiveWindow());
    EXPECT_FALSE(guardado().isValid());
    mostrarAtiva();
    EXPECT_TRUE(campo->hasFocus());
    EXPECT_EQ(campo->text(), "Localhost:/dados/a,b;c.fdb"); // reactivation does not reload
    sair();
    EXPECT_EQ(guardado(), QVariant(QString("Localhost:/dados/a,b;c.fdb")));

    campo->clear(); // the next showing is no realisation: the text stays as it is
    janela.hide();  // the focus is elsewhere: nothing stored
    EXPECT_EQ(guardado(), QVariant(QString("Localhost:/dados/a,b;c.fdb")));
    mostrarAtiva();
    EXPECT_EQ(campo->text(), "");

    // Typed, and the window hides (closing fades it out and hides it) with the field focused.
    entrar();
    campo->clear();
    QTest::keyClicks(campo, "/dados/loja.fdb");
    janela.hide();
    EXPECT_EQ(guardado(), QVariant(QString("/dados/loja.fdb")));
    EXPECT_TRUE(avisos.avisos.empty());
}

// The program ends (tray "Encerar", a signal) with the field focused and its window shown.
TEST_F(SaveEdit, TypedTextIsStoredWhenTheProgramEnds) {
    mostrarAtiva();
    entrar();
    QTest::keyClicks(campo, "Localhost:/dados/fim.fdb");
    QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
    QCoreApplication::exec(); // ends at once, through the application's own exit path
    EXPECT_EQ(guardado(), QVariant(QString("Localhost:/dados/fim.fdb")));
}

// The field's context menu takes the focus for a moment: not a move to another control.
TEST_F(SaveEdit, TheFieldsContextMenuNeitherStoresNorReloads) {
    escreverConfig("[Config]\nEditDatabase=guardado\n");
    mostrarAtiva();
    entrar();
    campo->setText("digitado");
    QContextMenuEvent pedido(QContextMenuEvent::Keyboard, QPoint(5, 5),
                             campo->mapToGlobal(QPoint(5, 5)));
    QApplication::sendEvent(campo, &pedido); // the menu pops up: a focus exit for the field
    QWidget *menu = QApplication::activePopupWidget();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(guardado(), QVariant(QString("guardado")));
    menu->close(); // a focus enter for the field
    QCoreApplication::processEvents();
    EXPECT_EQ(guardado(), QVariant(QString("guardado")));
    EXPECT_EQ(campo->text(), "digitado");
    EXPECT_TRUE(avisos.avisos.empty());
}

TEST_F(SaveEdit, EnteringReloadsWhatAnotherCopyStoredLiterally) {
    mostrarAtiva();
    sair();
    campo->setText("digitado");
    // Another running copy writes the file; environment references stay as they are.
    escreverConfig("[Config]\nEditDatabase=Localhost:$HOME/%APPDATA%/base.fdb\n");
    EXPECT_EQ(campo->text(), "digitado");
    entrar();
    EXPECT_EQ(campo->text(), "Localhost:$HOME/%APPDATA%/base.fdb");
}

TEST_F(SaveEdit, WithoutSaveOnExitFocusNeitherLoadsNorStores) {
    campo->setProperty("SaveOnExit", false);
    escreverConfig("[Config]\nEditDatabase=guardado\n");
    mostrarAtiva();
    EXPECT_EQ(campo->text(), "guardado"); // the realisation loads all the same
    campo->setText("novo");
    entrar();
    sair();
    EXPECT_EQ(campo->text(), "novo");
    EXPECT_EQ(guardado(), QVariant(QString("guardado")));
}

TEST_F(SaveEdit, AValueThatIsNotAStringIsReportedAndTheTextStays) {
    mostrarAtiva();
    const char *const valores[] = {"a, b", "@ByteArray(abc)", "@Point(1 2)"};
    for (const char *valor : valores) {
        sair();
        escreverConfig(QByteArray("[Config]\nEditDatabase=") + valor + "\n");
        campo->setText("fica");
        avisos.avisos.clear();
        entrar();
        ASSERT_EQ(avisos.avisos.size(), 1u) << valor;
        EXPECT_EQ(avisos.avisos[0].texto, "Invalid data type for 'EditDatabase'") << valor;
        EXPECT_EQ(avisos.avisos[0].titulo, "test_shell");
        EXPECT_EQ(avisos.avisos[0].icone, QMessageBox::Critical);
        EXPECT_EQ(campo->text(), "fica") << valor;
    }
}

// The store's folder cannot be made (a file stands in its place): the path would be lost
// silently, so leaving the field reports it.
TEST_F(SaveEdit, AStoreThatCannotBeWrittenIsReported) {
    const QString pastaArmazem = QFileInfo(arquivoConfig()).path();
    QDir(pastaArmazem).removeRecursively();
    QFile(pastaArmazem).open(QIODevice::WriteOnly);
    mostrarAtiva();
    entrar();
    campo->setText("Localhost:/dados/base.fdb");
    sair();
    QFile::remove(pastaArmazem);
    ASSERT_EQ(avisos.avisos.size(), 1u);
    EXPECT_EQ(avisos.avisos[0].texto, "Failed to set data for 'EditDatabase'");
    EXPECT_EQ(campo->text(), "Localhost:/dados/base.fdb");
}

} // namespace
