// Loading the terminal library by name, and the window port it posts through.
#include "uIntQS62K.h"
#include "PortaJanela.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace {

std::string erroAoCarregar(const QString &pasta) {
    try {
        CarregarIntQS62K(pasta);
    } catch (const std::runtime_error &e) {
        return e.what();
    }
    return {};
}

TEST(CarregarIntQS62K, MissingLibraryIsAnErrorNamingTheFile) {
    QTemporaryDir vazia;
    const std::string erro = erroAoCarregar(vazia.path());
    EXPECT_NE(erro.find(QDir(vazia.path()).filePath("pqtLurma").toStdString()), std::string::npos)
        << erro;
}

TEST(CarregarIntQS62K, MissingFunctionIsAnErrorNamingTheFileAndTheFunction) {
    const std::string erro = erroAoCarregar(LURMA_PARCIAL_DIR);
    EXPECT_NE(erro.find("parcial/libpqtLurma.so"), std::string::npos) << erro;
    EXPECT_NE(erro.find("vGetMsgWinReceiveDataTC"), std::string::npos) << erro;
}

TEST(CarregarIntQS62K, TheRealLibraryGivesAllThirteenFunctions) {
    // The library is built with the tests; without it this check would prove nothing.
    ASSERT_TRUE(QFileInfo::exists(LURMA_BIN_DIR "/libpqtLurma.so")) << "libpqtLurma.so not built";
    const TIntQS62K t = CarregarIntQS62K(LURMA_BIN_DIR);
    for (const void *f :
         {(void *)t.bInitialize, (void *)t.vGetMsgWinReceiveDataTC, (void *)t.bTerminate,
          (void *)t.bConnect, (void *)t.bDisconnect, (void *)t.bReceiveBarcode, (void *)t.Inet_NtoA,
          (void *)t.Inet_Addr, (void *)t.CloseTerminal, (void *)t.bSendProdPriceQV62K,
          (void *)t.bSendProdNotFound, (void *)t.GetConfigurationNew, (void *)t.SendConfiguration})
        EXPECT_NE(f, nullptr);
}

TEST(RegistrarMensagem, SameNumberForTheSameNameFrom0xC000Up) {
    const uint32_t a = RegistrarMensagem("TesteA");
    const uint32_t b = RegistrarMensagem("TesteB");
    EXPECT_GE(a, 0xC000u);
    EXPECT_GE(b, 0xC000u);
    EXPECT_NE(a, b);
    EXPECT_EQ(RegistrarMensagem("TesteA"), a);
}

// Counts the messages it receives, on the thread that owns it.
class Receptor : public QObject {
public:
    std::vector<uint32_t> recebidas;
    std::vector<std::thread::id> threads;
    bool event(QEvent *e) override {
        if (e->type() != TEventoMensagem::Tipo())
            return QObject::event(e);
        recebidas.push_back(static_cast<TEventoMensagem *>(e)->Mensagem);
        threads.push_back(std::this_thread::get_id());
        return true;
    }
};

TEST(TPortaJanela, PostsFromAnyThreadAsOneQueuedEventEachOnTheWindowThread) {
    Receptor janela;
    TPortaJanela porta(&janela);
    LurmaWindowPort *p = porta.Porta();
    const uint32_t numero = p->registerMessage(p->context, "LurmaReceiveDataTC");
    EXPECT_EQ(numero, RegistrarMensagem("LurmaReceiveDataTC"));

    std::thread outra([&] {
        for (int i = 0; i < 3; ++i)
            p->postMessage(p->context, numero);
    });
    outra.join();
    EXPECT_TRUE(janela.recebidas.empty()); // queued, not delivered inside postMessage
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(janela.recebidas, std::vector<uint32_t>(3, numero));
    for (auto id : janela.threads)
        EXPECT_EQ(id, std::this_thread::get_id());
}

} // namespace
