// The real message boxes: what they show, and that a box at start-up does not wait.
#include "AvisosJanela.h"
#include "Estilo.h"
#include "Falsos.h"
#include "QStringImpressao.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QLabel>
#include <QMessageBox>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

// A text that looks like markup: shown as markup, the box's label would be as wide as "123".
const QString Marcado = QStringLiteral("código <u>12</u>3");

bool comoTextoSimples(QMessageBox *Caixa) {
    auto *rotulo = Caixa->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    return rotulo && rotulo->text() == Marcado &&
           rotulo->sizeHint().width() >= rotulo->fontMetrics().horizontalAdvance(Marcado);
}

TEST(TAvisosQt, TheModalBoxShowsItsTextAsPlainText) {
    bool simples = false;
    QTimer::singleShot(0, [&] {
        auto *caixa = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        ASSERT_TRUE(caixa);
        simples = comoTextoSimples(caixa);
        caixa->accept();
    });
    TAvisosQt(nullptr).Mostrar(Marcado, "Servidor Lurma", QMessageBox::Critical, QMessageBox::Ok);
    EXPECT_TRUE(simples);
}

TEST(TAvisosJanela, AtStartTheRealBoxIsShownWithoutWaitingAsPlainText) {
    TAvisosJanela avisos(nullptr, nullptr);
    avisos.FModo = TAvisosJanela::Modo::SemEsperar;
    EXPECT_EQ(avisos.Mostrar(Marcado, "Servidor Lurma", QMessageBox::Critical, QMessageBox::Ok),
              QMessageBox::Ok); // returned at once: nobody answered
    QCoreApplication::processEvents();
    QMessageBox *caixa = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *c = qobject_cast<QMessageBox *>(w); c && c->isVisible())
            caixa = c;
    ASSERT_TRUE(caixa);
    EXPECT_TRUE(comoTextoSimples(caixa));
    caixa->close(); // deletes itself
}

// Before the window exists nobody may be at the screen: the box alone could go unseen.
TEST(AplicarEstilo, AMissingStyleIsShownWithTheCloseButtonAndLogged) {
    QTemporaryDir pasta;
    qputenv("LURMA_ERROR_LOG", pasta.filePath("erros.log").toUtf8());
    AvisosGravados avisos;
    EXPECT_FALSE(AplicarEstilo(*qApp, avisos, QStringLiteral("Nenhum")));
    qunsetenv("LURMA_ERROR_LOG");
    ASSERT_EQ(avisos.avisos.size(), 1u);
    EXPECT_EQ(avisos.avisos[0].texto, "Style 'Nenhum' not found");
    EXPECT_EQ(avisos.avisos[0].icone, QMessageBox::Critical);
    EXPECT_EQ(avisos.avisos[0].botoes, QMessageBox::Close);
    QFile log(pasta.filePath("erros.log"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll(), "Style 'Nenhum' not found\n");
}

} // namespace
