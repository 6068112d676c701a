// The window's frame: Panel1 and the status bar as drawn (19 px bar, panels at x 0 and 350,
// the lowered bevel 5 px inside Panel1), and a screen whose free area is smaller than the
// window: the window fits and its content scrolls to every control. Under the program's own
// style: page "Cadastro" and its grid at the window's size, and the file chooser's buttons.
#include "ArquivoCadastro.h"
#include "Bandeja.h"
#include "Estilo.h"
#include "RegistroTeste.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTabWidget>
#include <QTableView>
#include <QToolButton>

namespace {

std::string texto(const QRect &r) {
    return QStringLiteral("%1,%2 %3x%4").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height()).toStdString();
}

class Layout : public JanelaBandeja {};

TEST_F(Layout, StatusBarOf19PixelsPanelsAt0And350AndTheInnerBevel) {
    criar();
    mostrar();
    janela->AjustarATela(QRect(0, 0, 1920, 1040));
    QCoreApplication::processEvents();
    EXPECT_EQ(janela->size(), QSize(544, 696));
    auto *barra = c<QStatusBar>("StatusBar");
    EXPECT_EQ(texto(barra->geometry()), texto(QRect(0, 677, 544, 19)));
    EXPECT_EQ(c("Panel1")->size(), QSize(544, 677));
    EXPECT_EQ(c("Panel1")->mapTo(janela.get(), QPoint(0, 0)), QPoint(0, 0));
    EXPECT_EQ(texto(janela->StatusPainel(0)->geometry()), texto(QRect(0, 0, 350, 19)));
    EXPECT_EQ(texto(janela->StatusPainel(1)->geometry()), texto(QRect(350, 0, 194, 19)));
    auto *rolagem = c<QScrollArea>("Rolagem");
    EXPECT_FALSE(rolagem->verticalScrollBar()->isVisible());
    EXPECT_FALSE(rolagem->horizontalScrollBar()->isVisible());

    // The lowered bevel: its dark top line 5 px inside the panel's own 1-px frame.
    const QImage imagem = c("Panel1")->grab().toImage();
    const QRgb escura = c("Panel1")->palette().color(QPalette::Dark).rgb();
    const QRgb fundo = c("Panel1")->palette().color(QPalette::Window).rgb();
    EXPECT_EQ(imagem.pixel(272, 6), escura);
    EXPECT_EQ(imagem.pixel(6, 338), escura);
    for (int y = 1; y < 6; ++y)
        EXPECT_EQ(imagem.pixel(272, y), fundo) << y;
}

// 1280 x 800 at 125 %: 1024 x 640 points, less a desktop panel.
TEST_F(Layout, OnASmallScreenTheWindowFitsAndItsContentScrolls) {
    criar();
    mostrar();
    const QRect area(0, 0, 1024, 600);
    janela->AjustarATela(area);
    QCoreApplication::processEvents();
    EXPECT_TRUE(area.contains(janela->frameGeometry())) << texto(janela->frameGeometry());
    EXPECT_LE(janela->height(), 600);
    auto *barra = c<QStatusBar>("StatusBar");
    EXPECT_EQ(barra->geometry().bottom(), janela->height() - 1); // still at the bottom
    EXPECT_EQ(barra->height(), 19);
    auto *rolagem = c<QScrollArea>("Rolagem");
    EXPECT_TRUE(rolagem->verticalScrollBar()->isVisible());
    // Scrolled to, the bottom buttons come fully into view.
    auto *enviar = c<QPushButton>("btnEnviar");
    rolagem->ensureWidgetVisible(enviar, 0, 0);
    QCoreApplication::processEvents();
    const QRect visto(enviar->mapTo(rolagem->viewport(), QPoint(0, 0)), enviar->size());
    EXPECT_TRUE(rolagem->viewport()->rect().contains(visto)) << texto(visto);

    janela->AjustarATela(QRect(0, 0, 1920, 1040)); // back on a large screen: no scrolling
    QCoreApplication::processEvents();
    EXPECT_EQ(janela->size(), QSize(544, 696));
    EXPECT_FALSE(rolagem->verticalScrollBar()->isVisible());
}

// The style "Amakrits" over Fusion, as the program applies it, for one test.
class LayoutAmakrits : public JanelaBandeja {
protected:
    QString estiloAntes;
    void SetUp() override {
        JanelaBandeja::SetUp();
        estiloAntes = QApplication::style()->name();
        ASSERT_TRUE(AplicarEstilo(*qApp, *avisos, "Amakrits"));
    }
    void TearDown() override {
        JanelaBandeja::TearDown();
        qApp->setStyleSheet(QString());
        QApplication::setStyle(QStyleFactory::create(estiloAntes));
    }
    // The size of what a button's icon draws: where the button with it and without it differ.
    static QSize desenhoDoIcone(QToolButton *b) {
        const QImage com = b->grab().toImage();
        const QIcon icone = b->icon();
        b->setIcon(QIcon());
        const QImage sem = b->grab().toImage();
        b->setIcon(icone);
        QRect r;
        for (int y = 0; y < com.height(); ++y)
            for (int x = 0; x < com.width(); ++x)
                if (com.pixel(x, y) != sem.pixel(x, y))
                    r |= QRect(x, y, 1, 1);
        return r.size();
    }
};

TEST_F(LayoutAmakrits, Panel2FillsPageCadastroWithTheGridAcrossItsTop) {
    criar();
    mostrar();
    c<QTabWidget>("PageControl1")->setCurrentIndex(1);
    QCoreApplication::processEvents();
    const QWidget *pagina = c("TabSheet2");
    EXPECT_EQ(texto(c("Panel2")->geometry()), texto(QRect(0, 0, pagina->width(), 218)));
    EXPECT_EQ(texto(c("GridProdutos")->geometry()), texto(QRect(0, 0, pagina->width(), 161)));
    const QRect listar = c("BtnListar")->geometry();
    EXPECT_EQ(listar.right(), pagina->width() - 1 - 8) << texto(listar);
    EXPECT_EQ(listar.bottom(), 218 - 1 - 8) << texto(listar);
}

// Twenty products with descriptions of the field's full 60 characters: the grid scrolls down,
// and the price columns still end inside its viewport, without a horizontal scroll bar.
TEST_F(LayoutAmakrits, ThePriceColumnsShowWithoutScrolling) {
    TTabela t;
    definirCamposDaListagem(t);
    t.CriarDataSet();
    for (int i = 0; i < 20; ++i)
        t.Adicionar({QString("78910001001%1").arg(i, 2, 10, QChar(u'0')),
                     QString("ACHOCOLATADO EM PO INSTANTANEO COM VITAMINAS E MINERAIS 800 G"),
                     Decimal{123456789, 2}, Decimal{123456789 + i, 2}});
    SalvarCadastro(t, cadastro());
    criar();
    mostrar();
    c<QTabWidget>("PageControl1")->setCurrentIndex(1);
    QCoreApplication::processEvents();
    auto *grade = c<QTableView>("GridProdutos");
    ASSERT_EQ(grade->model()->columnCount(), 4);
    EXPECT_TRUE(grade->verticalScrollBar()->isVisible());
    EXPECT_FALSE(grade->horizontalScrollBar()->isVisible());
    const int direita = grade->columnViewportPosition(3) + grade->columnWidth(3);
    EXPECT_LE(direita, grade->viewport()->width());
    for (int coluna : {0, 2, 3}) { // the code and the prices show whole
        const int largura = grade->columnWidth(coluna);
        grade->resizeColumnToContents(coluna);
        EXPECT_EQ(largura, grade->columnWidth(coluna)) << coluna;
    }
}

TEST_F(LayoutAmakrits, TheFileChoosersToolButtonsShowTheirIcons) {
    QFileDialog dialogo(nullptr, QString(), pasta.path(), "Arquivos de Dados (*.fdb)");
    dialogo.setOption(QFileDialog::DontUseNativeDialog);
    dialogo.show();
    QCoreApplication::processEvents();
    const QList<QToolButton *> botoes = dialogo.findChildren<QToolButton *>();
    ASSERT_FALSE(botoes.isEmpty());
    for (QToolButton *b : botoes) {
        if (!b->isVisible() || b->icon().isNull())
            continue;
        const QSize desenho = desenhoDoIcone(b);
        EXPECT_GE(desenho.width(), b->iconSize().width() / 2) << b->objectName().toStdString();
        EXPECT_GE(desenho.height(), b->iconSize().height() / 2) << b->objectName().toStdString();
    }
}

} // namespace
