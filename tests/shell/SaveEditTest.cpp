// TSaveEdit: loads at its first showing and on focus enter, stores on focus exit to another
// control only, and reports a stored value of the wrong type.
#include "SaveEdit.h"
#include "Bandeja.h"

#include <QTest>
#include <QVBoxLayout>

namespace {

class SaveEdit : public ::testing::Test {
protected:
    AvisosGravados avisos;
    QWidget janela;
    TSaveEdit *campo = new TSaveEdit(&janela);
    QLineEdit *outro = new QLineEdit(&janela);

    void SetUp() override {
        QFile::remove(ArquivoConfig());
        campo->setObjectName("EditDatabase");
        campo->DefinirAvisos(&avisos);
        auto *l = new QVBoxLayout(&janela);
        l->addWidget(campo);
        l->addWidget(outro);
    }
    void TearDown() override { QFile::remove(ArquivoConfig()); }

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

TEST(SaveEditNome, ApplicationNameIsTheFileNameCutBeforeItsFirstDot) {
    const struct {
        const char *caminho, *nome;
    } casos[] = {{"/opt/x/Prog.Test", "Prog"},
                 {"C:/Lojas/DadirIvezed.exe", "DadirIvezed"},
                 {"/a.b/ServidorLurma", "ServidorLurma"},
                 {"SemPonto", "SemPonto"}};
    for (const auto &k : casos)
        EXPECT_EQ(TSaveEdit::NomeAplicacao(k.caminho), k.nome) << k.caminho;
    EXPECT_EQ(TSaveEdit(nullptr).AppName(), "test_shell");
    EXPECT_TRUE(ArquivoConfig().endsWith("/ZELNA'S Software/test_shell.ini")) << ArquivoConfig();
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

TEST_F(SaveEdit, TypedTextIsStoredOnlyWhenTheFocusGoesToAnotherControl) {
    mostrarAtiva();
    entrar();
    QTest::keyClicks(campo, "Localhost:/dados/a,b;c.fdb");
    janela.hide(); // the window goes away with the focus in the field: nothing stored
    EXPECT_FALSE(guardado().isValid());
    mostrarAtiva();
    EXPECT_TRUE(campo->hasFocus());
    EXPECT_EQ(campo->text(), "Localhost:/dados/a,b;c.fdb"); // reactivation does not reload
    sair();
    EXPECT_EQ(guardado(), QVariant(QString("Localhost:/dados/a,b;c.fdb")));

    campo->clear(); // the next showing is no realisation: the text stays as it is
    janela.hide();
    mostrarAtiva();
    EXPECT_EQ(campo->text(), "");
}

TEST_F(SaveEdit, EnteringReloadsWhatAnotherCopyStoredLiterally) {
    mostrarAtiva();
    sair();
    campo->setText("digitado");
    // Another running copy writes the file; environment references stay as they are.
    EscreverConfig("[Config]\nEditDatabase=Localhost:$HOME/%APPDATA%/base.fdb\n");
    EXPECT_EQ(campo->text(), "digitado");
    entrar();
    EXPECT_EQ(campo->text(), "Localhost:$HOME/%APPDATA%/base.fdb");
}

TEST_F(SaveEdit, WithoutSaveOnExitFocusNeitherLoadsNorStores) {
    campo->setProperty("SaveOnExit", false);
    EscreverConfig("[Config]\nEditDatabase=guardado\n");
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
        EscreverConfig(QByteArray("[Config]\nEditDatabase=") + valor + "\n");
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
    const QString pastaArmazem = QFileInfo(ArquivoConfig()).path();
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
