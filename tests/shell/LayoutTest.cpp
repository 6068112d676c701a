// The window's frame: Panel1 and the status bar as drawn (19 px bar, panels at x 0 and 350,
// the lowered bevel 5 px inside Panel1), and a screen whose free area is smaller than the
// window: the window fits and its content scrolls to every control.
#include "Bandeja.h"

#include <QLabel>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>

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

} // namespace
