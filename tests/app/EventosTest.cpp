// Server control and the library's connection and disconnection notifications.
#include "Janela.h"

#include <QTest>

namespace {

const QString HtonlA = "               -> IP (htonl): ";

class TerminalEvents : public JanelaTeste {};

TEST_F(TerminalEvents, FailedStartChangesNothingShowsNothingAndDispatchesNothing) {
    lurma.iniciar = false;
    campo("txtLinha1")->setText("fica");
    campo("txtTerminalSelecionado")->setText("10.0.0.1");
    iniciar();
    EXPECT_EQ(c<QPushButton>("BtnIniciar")->text(), "Iniciar Servidor");
    EXPECT_EQ(janela->StatusPainel(1)->text(), "");
    EXPECT_EQ(janela->Tag, 0);
    EXPECT_EQ(campo("txtLinha1")->text(), "fica");
    EXPECT_EQ(campo("txtTerminalSelecionado")->text(), "10.0.0.1");
    EXPECT_TRUE(avisos->avisos.empty());
    EXPECT_EQ(lurma.chamadas, std::vector<std::string>{"bInitialize"});

    // No number is stored yet, so no message is a notification, whatever its number.
    lurma.conectar("10.0.0.1");
    for (uint32_t numero : {0u, 0xC000u, lurma.numero, 0xFFFFFFFFu}) {
        TEventoMensagem mensagem(numero);
        QCoreApplication::sendEvent(janela.get(), &mensagem);
    }
    EXPECT_EQ(lurma.chamadas, std::vector<std::string>{"bInitialize"});
}

TEST_F(TerminalEvents, StartStoresTheNotificationNumberAndOnlyThatNumberIsDispatched) {
    iniciar();
    EXPECT_EQ(c<QPushButton>("BtnIniciar")->text(), "Parar Servidor");
    EXPECT_EQ(janela->StatusPainel(1)->text(), "Servidor Inicializado");
    EXPECT_EQ(janela->Tag, 1);
    ASSERT_NE(lurma.porta, nullptr);

    lurma.chamadas.clear();
    TEventoMensagem outra(lurma.numero + 1);
    QCoreApplication::sendEvent(janela.get(), &outra);
    EXPECT_TRUE(lurma.chamadas.empty());

    lurma.notificar(); // nothing queued: all three queries are asked, nothing is done
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(lurma.chamadas,
              (std::vector<std::string>{"bConnect", "bDisconnect", "bReceiveBarcode"}));
    EXPECT_TRUE(linhas("MemConexao").isEmpty());
    EXPECT_TRUE(linhas("Memo3").isEmpty());
}

TEST_F(TerminalEvents, ConnectionLogsTwoLinesAndListsTheAddressEveryTime) {
    iniciar();
    lurma.conectar("10.0.0.1");
    lurma.conectar("10.0.0.200"); // its value has the highest bit set
    lurma.conectar("10.0.0.1");
    entregar();
    EXPECT_EQ(
        linhas("MemConexao"),
        QStringList({"09:05:07 -> IP: 10.0.0.1", HtonlA + "16777226", "09:05:07 -> IP: 10.0.0.200",
                     HtonlA + "3355443210", "09:05:07 -> IP: 10.0.0.1", HtonlA + "16777226"}));
    EXPECT_EQ(lista(), QStringList({"10.0.0.1", "10.0.0.200", "10.0.0.1"}));
    EXPECT_TRUE(linhas("Memo3").isEmpty());
}

TEST_F(TerminalEvents, DisconnectionRemovesEveryMatchingEntryAndEmptiesTheSelection) {
    const struct {
        QStringList conectados;
        std::string desconectado;
        QStringList restantes;
    } casos[] = {
        {{"10.0.0.1", "10.0.0.1", "10.0.0.2"}, "10.0.0.1", {"10.0.0.2"}},
        {{"10.0.0.1", "10.0.0.2"}, "10.0.0.1", {"10.0.0.2"}},
        {{"10.0.0.2", "10.0.0.1", "10.0.0.3"}, "10.0.0.1", {"10.0.0.2", "10.0.0.3"}},
        {{"10.0.0.1", "10.0.0.2"}, "10.0.0.9", {"10.0.0.1", "10.0.0.2"}},
    };
    iniciar();
    for (const auto &caso : casos) {
        SCOPED_TRACE(caso.desconectado);
        janela->LimparCampos(true);
        for (const QString &a : caso.conectados)
            lurma.conectar(a.toStdString());
        entregar();
        campo("txtTerminalSelecionado")->setText("10.0.0.2"); // another terminal
        lurma.desconectar(caso.desconectado);
        entregar();
        EXPECT_EQ(lista(), caso.restantes);
        EXPECT_EQ(campo("txtTerminalSelecionado")->text(), "");
        const QStringList log = linhas("Memo3");
        ASSERT_GE(log.size(), 2);
        EXPECT_EQ(log[log.size() - 2],
                  "09:05:07 -> IP: " + QString::fromStdString(caso.desconectado));
        EXPECT_TRUE(log.back().startsWith(HtonlA));
    }
    EXPECT_EQ(linhas("Memo3").size(), 8); // never emptied
}

TEST_F(TerminalEvents, DisconnectionMatchesEntriesWithBlanksAroundThem) {
    iniciar();
    auto *l = c<QListWidget>("listTerminais");
    l->addItems({" 10.0.0.1\t", "10.0.0.10", "10.0.0.1"});
    lurma.desconectar("10.0.0.1");
    entregar();
    EXPECT_EQ(lista(), QStringList{"10.0.0.10"});
}

TEST_F(TerminalEvents, SelectingAnEntryCopiesItButTheServerRemovingOneDoesNot) {
    iniciar();
    lurma.conectar("10.0.0.1");
    lurma.conectar("10.0.0.2");
    entregar();
    auto *l = c<QListWidget>("listTerminais");
    l->setCurrentRow(1);
    EXPECT_EQ(campo("txtTerminalSelecionado")->text(), "10.0.0.2");
    l->setCurrentRow(0);
    EXPECT_EQ(campo("txtTerminalSelecionado")->text(), "10.0.0.1");
    lurma.desconectar("10.0.0.1");
    entregar();
    EXPECT_EQ(campo("txtTerminalSelecionado")->text(), ""); // 10.0.0.2 is current now, not chosen
    EXPECT_TRUE(avisos->avisos.empty());
}

// Removing an entry moves the current row to a neighbour: it must not come up highlighted as if
// the operator had chosen it. The operator's own choice, when it stays, stays highlighted.
TEST_F(TerminalEvents, AfterADisconnectionOnlyTheOperatorsChoiceIsHighlighted) {
    const struct {
        int escolhida; // row the operator selects, -1 none
        std::string desconectado;
        QStringList destacadas;
    } casos[] = {
        {0, "10.0.0.1", {}},           {1, "10.0.0.2", {}}, {2, "10.0.0.3", {}},
        {0, "10.0.0.2", {"10.0.0.1"}}, {-1, "10.0.0.1", {}},
    };
    iniciar();
    auto *l = c<QListWidget>("listTerminais");
    for (const auto &caso : casos) {
        SCOPED_TRACE(std::to_string(caso.escolhida) + " " + caso.desconectado);
        janela->LimparCampos(true);
        for (const char *a : {"10.0.0.1", "10.0.0.2", "10.0.0.3"})
            lurma.conectar(a);
        entregar();
        if (caso.escolhida >= 0)
            l->setCurrentRow(caso.escolhida);
        lurma.desconectar(caso.desconectado);
        entregar();
        QStringList destacadas;
        for (const QListWidgetItem *item : l->selectedItems())
            destacadas << item->text();
        EXPECT_EQ(destacadas.join(u' '), caso.destacadas.join(u' '));
        EXPECT_EQ(campo("txtTerminalSelecionado")->text(), "");
    }
}

TEST_F(TerminalEvents, EachLogKeepsItsLastThousandLines) {
    iniciar();
    for (int i = 0; i < 501; ++i) { // two lines each
        const std::string endereco = "10.0." + std::to_string(i / 250) + "." +
                                     std::to_string(i % 250 + 1);
        lurma.conectar(endereco);
        lurma.desconectar(endereco);
    }
    entregar();
    for (const char *log : {"MemConexao", "Memo3"}) {
        SCOPED_TRACE(log);
        const QStringList l = linhas(log);
        ASSERT_EQ(l.size(), 1000);
        EXPECT_EQ(l.front(), "09:05:07 -> IP: 10.0.0.2"); // the first event's lines are gone
        EXPECT_EQ(l[998], "09:05:07 -> IP: 10.0.2.1");
        EXPECT_EQ(l.back(), HtonlA + "16908298");
    }
}

TEST_F(TerminalEvents, KeyboardSelectionCopiesTheEntryAsAClickDoes) {
    iniciar();
    lurma.conectar("10.0.0.1");
    lurma.conectar("10.0.0.2");
    entregar();
    auto *l = c<QListWidget>("listTerminais");
    // The first row is current but not selected, as after the list gets the focus.
    l->selectionModel()->setCurrentIndex(l->model()->index(0, 0), QItemSelectionModel::NoUpdate);
    ASSERT_EQ(campo("txtTerminalSelecionado")->text(), "");
    QTest::keyClick(l, Qt::Key_Space);
    EXPECT_EQ(campo("txtTerminalSelecionado")->text(), "10.0.0.1");
    QTest::keyClick(l, Qt::Key_Down);
    EXPECT_EQ(campo("txtTerminalSelecionado")->text(), "10.0.0.2");
    QTest::keyClick(l, Qt::Key_Up);
    EXPECT_EQ(campo("txtTerminalSelecionado")->text(), "10.0.0.1");
    EXPECT_TRUE(avisos->avisos.empty());
}

TEST_F(TerminalEvents, StopEmptiesFieldsListAndConnectionLogButKeepsDisconnectionsAndLastCode) {
    iniciar();
    lurma.conectar("10.0.0.1");
    lurma.conectar("10.0.0.2");
    lurma.desconectar("10.0.0.2");
    entregar();
    for (const char *nome : {"txtTerminal", "txtServidor", "txtNetmask", "txtExibicao", "txtLinha1",
                             "txtLinha2", "txtLinha3", "txtLinha4", "txtTerminalSelecionado"})
        campo(nome)->setText("x");
    c<QLabel>("lblCodigo")->setText("789");
    const QStringList desconexoes = linhas("Memo3");

    lurma.chamadas.clear();
    iniciar(); // stops
    EXPECT_EQ(lurma.chamadas, std::vector<std::string>{"bTerminate"});
    EXPECT_EQ(c<QPushButton>("BtnIniciar")->text(), "Iniciar Servidor");
    EXPECT_EQ(janela->StatusPainel(1)->text(), "");
    EXPECT_EQ(janela->Tag, 0);
    for (const char *nome : {"txtTerminal", "txtServidor", "txtNetmask", "txtExibicao", "txtLinha1",
                             "txtLinha2", "txtLinha3", "txtLinha4", "txtTerminalSelecionado"})
        EXPECT_EQ(campo(nome)->text(), "") << nome;
    EXPECT_TRUE(lista().isEmpty());
    EXPECT_TRUE(linhas("MemConexao").isEmpty());
    EXPECT_EQ(linhas("Memo3"), desconexoes);
    EXPECT_EQ(c<QLabel>("lblCodigo")->text(), "789");

    // The number stays stored: a notification that arrives after the stop is still served.
    lurma.conectar("10.0.0.3");
    entregar();
    EXPECT_EQ(lista(), QStringList{"10.0.0.3"});
}

TEST_F(TerminalEvents, DestroyingARunningWindowStopsTheLibraryOnce) {
    iniciar();
    janela.reset();
    EXPECT_EQ(std::count(lurma.chamadas.begin(), lurma.chamadas.end(), "bTerminate"), 1);
}

} // namespace
