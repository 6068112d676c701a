// The lookup pool against real databases: stuck workers, superseded lookups, and the database
// of a server path held open.
#include "BancoTeste.h"
#include "Consultas.h"
#include "QStringImpressao.h"
#include "Repasse.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;

BancoTeste comArroz() {
    return BancoTeste({criarItens(), "INSERT INTO ITENS VALUES ('1', 'ARROZ', NULL, 12.5, NULL)"});
}

class Pool : public ::testing::Test {
protected:
    struct Entregue {
        uint32_t endereco;
        QString codigo;
        bool encontrado;
    };
    std::vector<Entregue> entregues;
    std::vector<std::pair<uint32_t, QString>> atrasos;
    std::unique_ptr<TConsultas> consultas;

    void criar(std::chrono::milliseconds prazo, int trabalhadores, bool baseAberta) {
        consultas = std::make_unique<TConsultas>(
            [this](const TConsultas::Resultado &r) {
                entregues.push_back({r.Endereco, r.Codigo, r.Produto && r.Produto->Encontrado});
            },
            [this](uint32_t e, const QString &c) { atrasos.emplace_back(e, c); }, prazo,
            trabalhadores, TConsultas::Atraso{}, baseAberta);
    }
    // Runs the event loop until Condicao holds, at most Ms.
    template <typename F> bool ate(F &&Condicao, int Ms = 20000) {
        for (QDeadlineTimer prazo(Ms); !Condicao() && !prazo.hasExpired();)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        return Condicao();
    }
    void TearDown() override {
        consultas.reset();
        // The relay, gone before this, has let the stuck workers out of the client.
        EXPECT_TRUE(TConsultas::EsperarTrabalhadores(30s));
    }
};

QString pelo(const Repasse &repasse, const BancoTeste &bd) {
    return QStringLiteral("127.0.0.1/%1:%2").arg(repasse.porta()).arg(bd.caminho());
}

// A stuck worker is replaced at its deadline, so a pool whose every worker hangs still serves.
TEST_F(Pool, FourLookupsStuckOnAStalledDatabaseThenAFifthTerminalOnAGoodOneIsAnswered) {
    BancoTeste parado = comArroz(), bom = comArroz();
    {
        Repasse repasse;
        repasse.definir(Repasse::Modo::Parado);
        criar(3000ms, 4, false);
        for (uint32_t terminal = 1; terminal <= 4; ++terminal)
            consultas->Pedir(terminal, pelo(repasse, parado), "1");
        ASSERT_TRUE(ate([&] { return atrasos.size() == 4; }));
        consultas->Pedir(5, bom.viaServidor(), "1");
        ASSERT_TRUE(ate([&] { return !entregues.empty() || atrasos.size() > 4; }));
        ASSERT_EQ(entregues.size(), 1u);
        EXPECT_EQ(entregues[0].endereco, 5u);
        EXPECT_TRUE(entregues[0].encontrado);
        EXPECT_EQ(atrasos.size(), 4u);
    }
}

// One worker, stuck on a stalled database; a terminal's scan waits behind it and is superseded by
// a scan on a good database. Only the stuck lookup passes its deadline: the superseded one never
// took a worker, and the newer scan, in its place, is answered once the stuck worker is replaced.
TEST_F(Pool, ASupersededLookupThatNoWorkerHasTakenNeverStarts) {
    BancoTeste parado = comArroz(), bom = comArroz();
    {
        Repasse repasse;
        repasse.definir(Repasse::Modo::Parado);
        criar(3000ms, 1, false);
        consultas->Pedir(1, pelo(repasse, parado), "1");
        consultas->Pedir(2, pelo(repasse, parado), "1");
        // Later, so that its own deadline leaves it time once the stuck worker is replaced.
        ate([] { return false; }, 2500);
        consultas->Pedir(2, bom.viaServidor(), "1");
        ASSERT_TRUE(ate([&] { return !entregues.empty(); })) << atrasos.size() << " deadlines passed";
        EXPECT_TRUE(entregues[0].encontrado);
        EXPECT_EQ(entregues[0].endereco, 2u);
        ASSERT_TRUE(ate([&] { return !consultas->Ocupada(); }));
        ASSERT_EQ(atrasos.size(), 1u);
        EXPECT_EQ(atrasos[0].first, 1u);
    }
}

// The held database stops answering (its connection frozen, as behind a pulled cable): the
// held attachment's thread hangs in its check, and the stop, a change of path and the pool's end
// return all the same, while a lookup on another database is answered.
TEST_F(Pool, AHeldDatabaseThatStopsAnsweringHoldsUpNeitherTheStopNorTheEndNorOtherLookups) {
    BancoTeste parado = comArroz(), bom = comArroz();
    {
        Repasse repasse;
        criar(3000ms, 4, true);
        const QString pelaRede = pelo(repasse, parado);
        consultas->Pedir(1, pelaRede, "1");
        ASSERT_TRUE(ate([&] { return entregues.size() == 1; }));
        ASSERT_TRUE(ate([&] { return contarConexoes(parado.viaServidor()) == 1; }));
        repasse.definir(Repasse::Modo::Congelado);
        ate([] { return false; }, int(TBaseAberta::Verificacao.count()) + 500); // in its check

        consultas->Abandonar(); // the server's stop
        consultas->Pedir(2, bom.viaServidor(), "1");
        ASSERT_TRUE(ate([&] { return entregues.size() == 2; }));
        EXPECT_TRUE(entregues[1].encontrado);

        consultas->Pedir(3, pelaRede, "1"); // held again: its thread hangs in the attach
        ate([] { return false; }, 500);
        consultas->CaminhoMudou(bom.viaServidor());
        consultas->Pedir(4, pelaRede, "1");
        ate([] { return false; }, 500);
        consultas.reset();
        EXPECT_FALSE(TConsultas::EsperarTrabalhadores(100ms)); // the hung threads are counted
    }
}

// The idle attachment that holds a server path's database open: there once that path is looked
// up, without a transaction, gone when the pool is abandoned (the server's stop), when the path
// changes and when the pool is destroyed. A plain path, or the setting off, holds nothing.
TEST_F(Pool, TheDatabaseOfAServerPathIsHeldOpenWithoutATransactionUntilTheStopAChangeOrTheEnd) {
    BancoTeste bd = comArroz(), plano = comArroz();
    const QString via = bd.viaServidor();
    criar(10000ms, 4, true);
    const auto pedir = [&](const QString &banco) {
        const size_t antes = entregues.size();
        consultas->Pedir(1, banco, "1");
        return ate([&] { return entregues.size() > antes; }) && entregues.back().encontrado;
    };
    const auto conexoes = [&](int n) { return ate([&] { return contarConexoes(via) == n; }); };

    ASSERT_TRUE(pedir(via));
    EXPECT_TRUE(conexoes(1));
    EXPECT_EQ(contarConexoes(via, true), 0);
    consultas->CaminhoMudou(via); // the same path: nothing changes
    ASSERT_TRUE(pedir(via));
    EXPECT_TRUE(conexoes(1));
    consultas->Abandonar();
    EXPECT_TRUE(conexoes(0));

    ASSERT_TRUE(pedir(via));
    EXPECT_TRUE(conexoes(1));
    consultas->CaminhoMudou(via + "x");
    EXPECT_TRUE(conexoes(0));

    ASSERT_TRUE(pedir(via));
    EXPECT_TRUE(conexoes(1));
    consultas.reset();
    EXPECT_TRUE(conexoes(0));

    criar(10000ms, 4, true);
    ASSERT_TRUE(pedir(plano.caminho()));
    EXPECT_EQ(contarConexoes(plano.caminho()), 0);

    criar(10000ms, 4, false);
    ASSERT_TRUE(pedir(via));
    QThread::msleep(300); // where it is on, the attachment comes with the lookup's
    EXPECT_EQ(contarConexoes(via), 0);
}

} // namespace
