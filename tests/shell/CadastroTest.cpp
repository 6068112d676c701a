// The page "Cadastro": the register from Cadastro.xml and from a real database in the grid,
// sorting by a title click, Ctrl+Delete, the listing's pointer and errors, and the save at
// the window's destruction.
#include "ArquivoCadastro.h"
#include "BancoTeste.h"
#include "Bandeja.h"
#include "RegistroTeste.h"

#include <QDeadlineTimer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

namespace {

class Cadastro : public JanelaBandeja {
protected:
    void SetUp() override {
        JanelaBandeja::SetUp();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }
    void TearDown() override {
        JanelaBandeja::TearDown();
        QLocale::setDefault(QLocale::system());
    }
    // Three products as a listing leaves them, saved where the window looks for them.
    void gravarCadastro() {
        TTabela t;
        definirCamposDaListagem(t);
        t.CriarDataSet();
        t.Adicionar({QString("001"), QString("CAFE"), Valor{}, Decimal{1590, 2}});
        t.Adicionar({QString("002"), QString("ARROZ"), Decimal{2000, 2}, Decimal{2490, 2}});
        t.Adicionar({QString("003"), QString("SAL"), Valor{}, Decimal{350, 2}});
        SalvarCadastro(t, cadastro());
    }
    QTableView *grade() const { return c<QTableView>("GridProdutos"); }
    QStringList coluna(int c) const {
        QStringList r;
        for (int l = 0; l < grade()->model()->rowCount(); ++l)
            r << grade()->model()->index(l, c).data().toString();
        return r;
    }
    // A click on "Listar Cadastro", then the event loop until the listing has come back.
    void listar() {
        c<QPushButton>("BtnListar")->click();
        for (QDeadlineTimer prazo(30000); QApplication::overrideCursor() && !prazo.hasExpired();)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    void ctrlDelete() {
        QKeyEvent tecla(QEvent::KeyPress, Qt::Key_Delete, Qt::ControlModifier);
        QApplication::sendEvent(grade(), &tecla);
    }
};

TEST_F(Cadastro, StartUpLoadsTheFileWithTitlesAndFormatsIntoTheGrid) {
    gravarCadastro();
    criar();
    ASSERT_TRUE(janela->Produtos.Aberta());
    QStringList titulos;
    for (int c = 0; c < grade()->model()->columnCount(); ++c)
        titulos << grade()->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(titulos, QStringList({"Código", "Descrição", "Promoção", "Preço"}));
    EXPECT_EQ(coluna(2), QStringList({"", "20.00", ""}));
    EXPECT_EQ(coluna(3), QStringList({"15.90", "24.90", "3.50"}));
    EXPECT_EQ(grade()->currentIndex().row(), 0);
}

TEST_F(Cadastro, ATitleClickSortsAscendingAndAgainChangesNothing) {
    gravarCadastro();
    criar();
    QHeaderView *titulos = grade()->horizontalHeader();
    emit titulos->sectionClicked(3);
    EXPECT_EQ(coluna(0), QStringList({"003", "001", "002"}));
    emit titulos->sectionClicked(3);
    EXPECT_EQ(coluna(0), QStringList({"003", "001", "002"}));
    emit titulos->sectionClicked(1);
    EXPECT_EQ(coluna(1), QStringList({"ARROZ", "CAFE", "SAL"}));
    emit titulos->sectionClicked(0);
    EXPECT_EQ(coluna(0), QStringList({"001", "002", "003"}));
}

TEST_F(Cadastro, CtrlDeleteAsksAndDeletesTheCurrentRowOnlyOnOk) {
    gravarCadastro();
    criar();
    grade()->setCurrentIndex(grade()->model()->index(1, 0));
    avisos->resposta = QMessageBox::Cancel;
    ctrlDelete();
    ASSERT_EQ(avisos->avisos.size(), 1u);
    EXPECT_EQ(avisos->avisos[0].texto, "Delete record?");
    EXPECT_EQ(avisos->avisos[0].botoes, QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(coluna(0), QStringList({"001", "002", "003"}));

    avisos->resposta = QMessageBox::Ok;
    ctrlDelete();
    EXPECT_EQ(coluna(0), QStringList({"001", "003"}));
    EXPECT_EQ(avisos->avisos.size(), 2u);

    QKeyEvent soDelete(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier);
    QApplication::sendEvent(grade(), &soDelete);
    EXPECT_EQ(coluna(0), QStringList({"001", "003"}));
    EXPECT_EQ(avisos->avisos.size(), 2u);

    // Written at once: a kill or a lost display from here on loses nothing.
    TTabela lida;
    CarregarCadastro(lida, cadastro());
    EXPECT_EQ(lida.ContarLinhas(), 2);
}

TEST_F(Cadastro, ListingFromARealDatabaseFillsTheGridWithTheFirstRowCurrent) {
    BancoTeste banco({criarItens(), "INSERT INTO ITENS VALUES ('7891', 'LEITE', NULL, 4.5, NULL)",
                      "INSERT INTO ITENS VALUES ('7890', 'PAO', 1234.5, 2, 'N')",
                      "INSERT INTO ITENS VALUES ('7892', 'VELHO', NULL, 9, 'S')"});
    criar();
    c<QLineEdit>("EditDatabase")->setText(banco.caminho());
    listar();
    EXPECT_TRUE(avisos->avisos.empty()) << avisos->avisos[0].texto;
    EXPECT_EQ(coluna(0), QStringList({"7890", "7891"}));
    EXPECT_EQ(coluna(2), QStringList({"1,234.50", ""}));
    EXPECT_EQ(janela->Produtos.LinhaAtual(), 0);
    EXPECT_EQ(grade()->currentIndex().row(), 0);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    // The listing is on disk at once, not only at the exit.
    TTabela lida;
    CarregarCadastro(lida, cadastro());
    EXPECT_EQ(lida.ContarLinhas(), 2);
    const QByteArray listado = lida.ContarLinhas() ? EscreverPacote(lida) : QByteArray();

    // An unreachable database: reported, the table emptied, the pointer back; the file keeps
    // the register it had, also after the window's end.
    c<QLineEdit>("EditDatabase")->setText(pasta.filePath("nao-existe.fdb"));
    listar();
    ASSERT_EQ(avisos->avisos.size(), 1u);
    EXPECT_EQ(avisos->avisos[0].icone, QMessageBox::Critical);
    EXPECT_TRUE(janela->Produtos.Aberta());
    EXPECT_EQ(grade()->model()->rowCount(), 0);
    EXPECT_EQ(grade()->model()->columnCount(), 4);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_FALSE(janela->CadastroPendente());

    // An empty path field does nothing.
    c<QLineEdit>("EditDatabase")->clear();
    c<QPushButton>("BtnListar")->click();
    EXPECT_EQ(avisos->avisos.size(), 1u);
    janela.reset();
    CarregarCadastro(lida, cadastro());
    EXPECT_EQ(EscreverPacote(lida), listado);
}

// The listing runs beside the event loop: the wait pointer shows until it is back, and a
// click meanwhile starts nothing.
TEST_F(Cadastro, TheListingRunsBesideTheEventLoopWithTheWaitPointerAndASecondClickDoesNothing) {
    BancoTeste banco({criarItens(), "INSERT INTO ITENS VALUES ('7891', 'LEITE', NULL, 4.5, NULL)"});
    criar();
    c<QLineEdit>("EditDatabase")->setText(banco.caminho());
    c<QPushButton>("BtnListar")->click();
    ASSERT_NE(QApplication::overrideCursor(), nullptr) << "the listing held the event loop";
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    // Would fail with a box, were it listed.
    c<QLineEdit>("EditDatabase")->setText(pasta.filePath("nao-existe.fdb"));
    c<QPushButton>("BtnListar")->click();
    for (QDeadlineTimer prazo(30000); QApplication::overrideCursor() && !prazo.hasExpired();)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr); // one pointer set, one restored
    EXPECT_EQ(janela->Produtos.ContarLinhas(), 1);
    EXPECT_TRUE(avisos->avisos.empty()) << avisos->avisos[0].texto;
    // Nothing more comes back.
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200);
    EXPECT_EQ(janela->Produtos.ContarLinhas(), 1);
}

// The register's folder has gone, so the listing's save fails: one box says so, the listed
// rows show, and they stay marked unwritten for the next save.
TEST_F(Cadastro, AListingWhoseSaveFailsIsReportedOnceAndKeepsItsRows) {
    BancoTeste banco({criarItens(), "INSERT INTO ITENS VALUES ('7891', 'LEITE', NULL, 4.5, NULL)"});
    gravarCadastro();
    criar();
    ASSERT_TRUE(QDir(pasta.path()).removeRecursively());
    c<QLineEdit>("EditDatabase")->setText(banco.caminho());
    listar();
    QCoreApplication::processEvents(QEventLoop::AllEvents, 200); // a second report would be here
    ASSERT_EQ(avisos->avisos.size(), 1u);
    EXPECT_TRUE(avisos->avisos[0].texto.startsWith("Cannot create file"))
        << avisos->avisos[0].texto;
    EXPECT_EQ(coluna(0), QStringList({"7891"}));
    EXPECT_TRUE(janela->CadastroPendente());
}

TEST_F(Cadastro, TheFileChooserFillsThePathWithLocalhostAndCancelChangesNothing) {
    QFile(pasta.filePath("Loja.fdb")).open(QIODevice::WriteOnly);
    escreverConfig("[Config]\nEditDatabase=guardado\n");
    criar();
    mostrar();
    c<QTabWidget>("PageControl1")->setCurrentIndex(1);
    auto *campo = c<QLineEdit>("EditDatabase");

    const auto clicar = [this] { c<QToolButton>("BtnDatabase")->click(); };
    EXPECT_EQ(responderSeletor("", clicar), "Arquivos de Dados (*.fdb)");
    EXPECT_EQ(campo->text(), "guardado");
    EXPECT_EQ(responderSeletor("Loja.fdb", clicar), "Arquivos de Dados (*.fdb)");
    EXPECT_EQ(campo->text(), "Localhost:" + QDir::toNativeSeparators(pasta.filePath("Loja.fdb")));
}

} // namespace
