// The single-copy lock within one process: each TCopiaUnica plays a copy of the program.
#include "CopiaUnica.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace {

// An environment variable for the length of a test.
class Variavel {
public:
    Variavel(const char *Nome, const QByteArray &Valor) : FNome(Nome) {
        if (qEnvironmentVariableIsSet(Nome))
            FAntes = qgetenv(Nome);
        qputenv(Nome, Valor);
    }
    ~Variavel() {
        if (FAntes)
            qputenv(FNome, *FAntes);
        else
            qunsetenv(FNome);
    }

private:
    const char *FNome;
    std::optional<QByteArray> FAntes;
};

// The copy that holds the lock answers while its own thread is busy, as a copy still starting
// up is (this test's thread never returns to the event loop meanwhile): the second copy finds
// it, on the same port however written, and the first is asked to show its window once its
// loop runs. Once the first has gone, its lock is free for the next.
TEST(SingleCopy, ACopyAnswersWhileItsThreadIsBusyAndItsLockGoesWithIt) {
    QTemporaryDir execucao;
    Variavel pasta("XDG_RUNTIME_DIR", QFile::encodeName(execucao.path()));
    std::unique_ptr<TCopiaUnica> primeira;
    int chamadas = 0;
    {
        Variavel porta("LURMA_PORT", "06551");
        primeira = std::make_unique<TCopiaUnica>();
        QObject::connect(primeira.get(), &TCopiaUnica::Chamada, [&] { ++chamadas; });
        ASSERT_FALSE(primeira->OutraCopiaRodando());
    }
    {
        Variavel porta("LURMA_PORT", "6551");
        TCopiaUnica segunda;
        EXPECT_TRUE(segunda.OutraCopiaRodando());
    }
    // Another port, and texts that the terminal library refuses as a port (that copy serves
    // nothing): none of them meets the first.
    for (const char *outra : {"6552", " 6551", "6551 ", "+6551"}) {
        SCOPED_TRACE(outra);
        Variavel porta("LURMA_PORT", outra);
        TCopiaUnica naOutraPorta;
        EXPECT_FALSE(naOutraPorta.OutraCopiaRodando());
    }
    for (int i = 0; i < 20 && chamadas == 0; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(chamadas, 1);

    primeira.reset();
    Variavel porta("LURMA_PORT", "6551");
    TCopiaUnica terceira;
    EXPECT_FALSE(terceira.OutraCopiaRodando());
}

// Eight copies asking at the same instant, twenty times over: exactly one takes the lock each
// time, and the others find it.
TEST(SingleCopy, OfCopiesAskingAtOnceExactlyOneTakesTheLock) {
    QTemporaryDir execucao;
    Variavel pasta("XDG_RUNTIME_DIR", QFile::encodeName(execucao.path()));
    Variavel porta("LURMA_PORT", "6553");
    for (int rodada = 0; rodada < 20; ++rodada) {
        SCOPED_TRACE(rodada);
        std::vector<std::unique_ptr<TCopiaUnica>> copias;
        for (int i = 0; i < 8; ++i)
            copias.push_back(std::make_unique<TCopiaUnica>());
        std::atomic<int> prontas{0};
        std::vector<char> outraRodando(copias.size());
        std::vector<std::thread> fios;
        for (size_t i = 0; i < copias.size(); ++i)
            fios.emplace_back([&, i] {
                for (++prontas; prontas < int(copias.size());) {
                }
                outraRodando[i] = copias[i]->OutraCopiaRodando();
            });
        for (std::thread &f : fios)
            f.join();
        EXPECT_EQ(std::count(outraRodando.begin(), outraRodando.end(), 0), 1);
    }
}

} // namespace
