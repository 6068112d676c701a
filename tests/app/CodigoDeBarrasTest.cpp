// The barcode road against real Firebird databases: lookup, layout for 20 columns, reply.
#include "BancoTeste.h"
#include "Janela.h"

#include <QFile>
#include <QScopeGuard>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A database server that never answers: a socket that listens but never accepts, so the client
// connects, sends its first request and waits for ever. Closing it resets those connections,
// which ends the lookups still stuck there.
class BancoParado {
public:
    BancoParado() {
        FSocket = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        if (FSocket < 0 || ::bind(FSocket, reinterpret_cast<sockaddr *>(&a), n) != 0 ||
            ::listen(FSocket, 64) != 0 ||
            ::getsockname(FSocket, reinterpret_cast<sockaddr *>(&a), &n) != 0)
            throw std::runtime_error("no listening socket");
        FPorta = ntohs(a.sin_port);
    }
    ~BancoParado() { ::close(FSocket); }
    QString nome() const { return QString("127.0.0.1/%1:/parado.fdb").arg(FPorta); }

private:
    int FSocket = -1;
    uint16_t FPorta = 0;
};

QString item(const QString &codigo, const QString &descricao, const QString &venda,
             const QString &inativo = "NULL") {
    return QString("INSERT INTO ITENS VALUES ('%1', '%2', NULL, %3, %4)")
        .arg(codigo, descricao, venda, inativo);
}

class Barcode : public JanelaTeste {
protected:
    void ler(const std::string &endereco, const std::string &codigo) {
        lurma.codigo(endereco, codigo);
        entregar();
    }
    // Every queued event handled at once, as one burst of notifications: no lookup can end
    // between them.
    void rajada() {
        for (size_t n = lurma.eventos.size(); n > 0; --n) {
            TEventoMensagem mensagem(lurma.numero);
            QCoreApplication::sendEvent(janela.get(), &mensagem);
        }
    }
    std::optional<LurmaFalsa::Resposta> unicaResposta() {
        if (lurma.respostas.size() != 1)
            return std::nullopt;
        auto r = lurma.respostas[0];
        lurma.respostas.clear();
        return r;
    }
};

TEST_F(Barcode, FoundProductsGetDescriptionAndPriceLaidOutForTwentyColumns) {
    const QString vinte = "ABCDEFGHIJKLMNOPQRST", trinta = "DESCRICAO COM TRINTA CARACTERE";
    BancoTeste bd({criarItens(), item("1", "ARROZ", "12.50"), item("20", vinte, "1"),
                   item("30", trinta, "1234.5"), item("7", "CAFÉ", "0.99"),
                   item("99", "CARO", "9999999999999.99")});
    campo("EditDatabase")->setText(bd.caminho());
    iniciar();
    const struct {
        std::string codigo;
        std::string descricao, preco;
    } casos[] = {
        {"1", "        ARROZ       ", "       $12.50       "},
        {"20", vinte.toStdString(), "        $1.00       "},
        {"30", trinta.toStdString(), "      $1,234.50     "}, // sent whole, 30 bytes
        {"7", "        CAF\xC9        ", "        $0.99       "},
        {"99", "        CARO        ", "9,999,999,999,999.99"}, // 21 characters with its "$"
    };
    for (const auto &caso : casos) {
        SCOPED_TRACE(caso.codigo);
        ler("10.0.0.200", caso.codigo);
        const auto r = unicaResposta();
        ASSERT_TRUE(r);
        EXPECT_EQ(r->endereco, "10.0.0.200");
        EXPECT_EQ(r->descricao, caso.descricao);
        EXPECT_EQ(r->preco, caso.preco);
        EXPECT_EQ(c<QLabel>("lblCodigo")->text(), QString::fromStdString(caso.codigo));
        EXPECT_EQ(c<QLabel>("lblCodeTerminal")->text(), "10.0.0.200");
    }
    EXPECT_TRUE(avisos->avisos.empty());
}

TEST_F(Barcode, UnknownInactiveOrPaddedCodes) {
    BancoTeste bd({criarItens(), item("1", "ARROZ", "12.50"), item("2", "VELHO", "3", "'S'")});
    campo("EditDatabase")->setText(bd.caminho());
    iniciar();
    ler("10.0.0.7", "999");
    auto r = unicaResposta();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->endereco, "10.0.0.7");
    EXPECT_FALSE(r->descricao); // the not-found reply
    EXPECT_EQ(c<QLabel>("lblCodigo")->text(), "999");
    EXPECT_EQ(c<QLabel>("lblCodeTerminal")->text(), "10.0.0.7");

    ler("10.0.0.7", "2");
    r = unicaResposta();
    ASSERT_TRUE(r);
    EXPECT_FALSE(r->descricao);

    // A buffer that comes back full, without a NUL: the lookup trims the code, the label does not.
    ler("10.0.0.8", "1              ");
    r = unicaResposta();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->preco, "       $12.50       ");
    EXPECT_EQ(c<QLabel>("lblCodigo")->text(), "1              ");

    // A code that looks like markup shows its characters: taken for markup, the label would be
    // as wide as an underlined 123.
    ler("10.0.0.8", "<u>12</u>3");
    EXPECT_FALSE(unicaResposta()->descricao);
    auto *rotulo = c<QLabel>("lblCodigo");
    EXPECT_EQ(rotulo->text(), "<u>12</u>3");
    EXPECT_GE(rotulo->sizeHint().width(), rotulo->fontMetrics().horizontalAdvance("<u>12</u>3"));
    EXPECT_TRUE(avisos->avisos.empty());
}

TEST_F(Barcode, LookupErrorIsReportedGetsNoReplyReleasesTheDatabaseAndServingGoesOn) {
    BancoTeste semItens({"CREATE TABLE OUTRA (N INTEGER)"});
    BancoTeste bom({criarItens(), item("1", "ARROZ", "12.50")});
    campo("EditDatabase")->setText(semItens.viaServidor());
    iniciar();
    ler("10.0.0.7", "1");
    EXPECT_TRUE(lurma.respostas.empty());
    ASSERT_EQ(avisos->avisos.size(), 1u);
    EXPECT_EQ(avisos->avisos[0].titulo, "test_app");
    EXPECT_EQ(avisos->avisos[0].icone, QMessageBox::Critical);
    EXPECT_NE(avisos->avisos[0].texto.indexOf("ITENS"), -1) << avisos->avisos[0].texto;
    EXPECT_EQ(c<QLabel>("lblCodigo")->text(), "1");
    EXPECT_EQ(c<QLabel>("lblCodeTerminal")->text(), "10.0.0.7");
    EXPECT_EQ(contarConexoes(semItens.viaServidor(), true), 0); // the lookup's is released
    EXPECT_EQ(janela->Tag, 1);

    campo("EditDatabase")->setText("");
    ler("10.0.0.7", "1"); // no database name at all
    EXPECT_EQ(avisos->avisos.size(), 2u);
    EXPECT_TRUE(lurma.respostas.empty());

    campo("EditDatabase")->setText(bom.viaServidor());
    ler("10.0.0.7", "1");
    const auto r = unicaResposta();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->descricao, "        ARROZ       ");
    EXPECT_EQ(contarConexoes(bom.viaServidor(), true), 0);
}

TEST_F(Barcode, OnlyEachTerminalsNewestScanIsAnswered) {
    BancoTeste bd({criarItens(), item("1", "ARROZ", "12.50"), item("2", "FEIJAO", "8"),
                   item("3", "CAFE", "5")});
    campo("EditDatabase")->setText(bd.caminho());
    iniciar();
    lurma.codigo("10.0.0.7", "1");
    lurma.codigo("10.0.0.7", "2");
    lurma.codigo("10.0.0.8", "2");
    lurma.codigo("10.0.0.7", "3"); // supersedes 10.0.0.7's scans of 1 and 2
    rajada();
    ASSERT_TRUE(esperarConsultas());
    auto respostas = lurma.respostas;
    std::sort(respostas.begin(), respostas.end(),
              [](const auto &a, const auto &b) { return a.endereco < b.endereco; });
    ASSERT_EQ(respostas.size(), 2u);
    EXPECT_EQ(respostas[0].endereco, "10.0.0.7");
    EXPECT_EQ(respostas[0].descricao, "        CAFE        ");
    EXPECT_EQ(respostas[1].endereco, "10.0.0.8");
    EXPECT_EQ(respostas[1].descricao, "       FEIJAO       ");
    EXPECT_TRUE(avisos->avisos.empty());
}

TEST_F(Barcode, StalledLookupPassesItsDeadlineOnceWhileOtherTerminalsAreServed) {
    BancoParado parado;
    BancoTeste bom({criarItens(), item("1", "ARROZ", "12.50")});
    janela = std::make_unique<TfrmPrincipal>(
        TDependencias{lurma.Tabela(), avisos, [] { return QTime(9, 5, 7); },
                      std::chrono::milliseconds(1000)},
        nullptr, opcoes(pasta.path()));
    campo("EditDatabase")->setText(parado.nome());
    iniciar();
    lurma.codigo("10.0.0.7", "%1"); // shown as scanned
    rajada();
    EXPECT_TRUE(janela->ConsultasEmAndamento()); // the event loop is free meanwhile
    ASSERT_TRUE(esperarConsultas(20000));         // abandoned at its deadline
    EXPECT_TRUE(lurma.respostas.empty());
    ASSERT_EQ(avisos->avisos.size(), 1u);
    EXPECT_EQ(avisos->avisos[0].icone, QMessageBox::Critical);
    EXPECT_EQ(avisos->avisos[0].texto, "Erro na consulta do código %1 do terminal 10.0.0.7: o "
                                       "banco de dados não respondeu em 1 s; o terminal ficou "
                                       "sem resposta.");

    // The stuck worker still hangs; another terminal is answered all the same.
    campo("EditDatabase")->setText(bom.caminho());
    ler("10.0.0.8", "1");
    const auto r = unicaResposta();
    ASSERT_TRUE(r);
    EXPECT_EQ(r->endereco, "10.0.0.8");
    EXPECT_EQ(r->descricao, "        ARROZ       ");

    // Destroyed while a lookup hangs: it does not wait for it (it would wait for ever), and the
    // abandoned lookup shows no box.
    campo("EditDatabase")->setText(parado.nome());
    lurma.codigo("10.0.0.9", "1");
    rajada();
    EXPECT_TRUE(janela->ConsultasEmAndamento());
    janela.reset();
    EXPECT_EQ(avisos->avisos.size(), 1u);
    EXPECT_TRUE(lurma.respostas.empty());
}

// The terminal may have gone or scanned again meanwhile: nobody needs to hear of each reply
// that could not be sent. They are counted.
TEST_F(Barcode, RepliesTheLibraryRefusesAreCountedNotLoggedNorShown) {
    BancoTeste bd({criarItens(), item("1", "ARROZ", "12.50")});
    const QString log = pasta.filePath("erros.log");
    qputenv("LURMA_ERROR_LOG", log.toLocal8Bit());
    const auto semLog = qScopeGuard([] { qunsetenv("LURMA_ERROR_LOG"); });
    campo("EditDatabase")->setText(bd.caminho());
    iniciar();
    lurma.responder = false;
    ler("10.0.0.7", "1");
    ler("10.0.0.7", "999"); // not found
    EXPECT_EQ(lurma.respostas.size(), 2u);
    EXPECT_EQ(janela->RespostasNaoEnviadas(), 2u);
    EXPECT_TRUE(avisos->avisos.empty());
    EXPECT_FALSE(QFile::exists(log));
}

// A database that fails fails every scan: the first failure is told in full, naming its code
// and terminal (also when the terminal has scanned again since), a new cause is told too, the
// rest are counted, and the first answer again says how many scans went unanswered.
TEST_F(Barcode, ARunOfFailedLookupsIsToldOnceForEachCauseAndCountedWhenTheDatabaseAnswers) {
    BancoTeste semItens({"CREATE TABLE OUTRA (N INTEGER)"});
    BancoTeste bom({criarItens(), item("1", "ARROZ", "12.50")});
    const QString log = pasta.filePath("erros.log");
    qputenv("LURMA_ERROR_LOG", log.toLocal8Bit());
    const auto semLog = qScopeGuard([] { qunsetenv("LURMA_ERROR_LOG"); });
    campo("EditDatabase")->setText(semItens.caminho());
    iniciar();
    lurma.codigo("10.0.0.7", "111");
    // 222 supersedes 111: a 111 already taken by a worker fails and is told all the same, one
    // still queued never starts (the timing decides which).
    lurma.codigo("10.0.0.7", "222");
    rajada();
    ASSERT_TRUE(esperarConsultas());
    ler("10.0.0.8", "333");
    ASSERT_EQ(avisos->avisos.size(), 1u);
    const QString primeiro = avisos->avisos[0].texto;
    const bool comecou = primeiro.startsWith("Erro na consulta do código 111 do terminal 10.0.0.7: ");
    EXPECT_TRUE(comecou ||
                primeiro.startsWith("Erro na consulta do código 222 do terminal 10.0.0.7: "))
        << primeiro;
    EXPECT_NE(primeiro.indexOf("ITENS"), -1) << primeiro;

    campo("EditDatabase")->setText(""); // another cause
    ler("10.0.0.8", "444");
    ASSERT_EQ(avisos->avisos.size(), 2u);
    EXPECT_TRUE(avisos->avisos[1].texto.startsWith("Erro na consulta do código 444 do terminal "
                                                   "10.0.0.8: "))
        << avisos->avisos[1].texto;

    campo("EditDatabase")->setText(bom.caminho());
    ler("10.0.0.9", "1");
    EXPECT_EQ(lurma.respostas.size(), 1u);
    EXPECT_EQ(avisos->avisos.size(), 2u);
    QFile arquivo(log);
    ASSERT_TRUE(arquivo.open(QIODevice::ReadOnly));
    const auto linha = [](QString t) { return t.replace(u'\n', u' '); }; // as the log has it
    EXPECT_EQ(QString::fromUtf8(arquivo.readAll()).split(u'\n', Qt::SkipEmptyParts),
              (QStringList{linha(primeiro), linha(avisos->avisos[1].texto),
                           QString("O banco de dados voltou a responder; %1 leituras ficaram sem "
                                   "resposta enquanto falhava.")
                               .arg(comecou ? 4 : 3)}));

    // A new run is told again.
    campo("EditDatabase")->setText(semItens.caminho());
    ler("10.0.0.7", "555");
    ASSERT_EQ(avisos->avisos.size(), 3u);
    EXPECT_TRUE(avisos->avisos[2].texto.startsWith("Erro na consulta do código 555 do terminal "
                                                   "10.0.0.7: "))
        << avisos->avisos[2].texto;
}

// The idle attachment that holds a server path's database open goes with the server's stop and
// with a change of the path in the field (the store's setting and the exit: tests/terminal, e2e).
TEST_F(Barcode, TheDatabaseHeldOpenIsClosedAtTheStopAndWhenThePathChanges) {
    BancoTeste bd({criarItens(), item("1", "ARROZ", "12.50")});
    const QString via = bd.viaServidor();
    const auto conexoes = [&](int n) {
        const QDeadlineTimer prazo(20000);
        while (contarConexoes(via) != n && !prazo.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        return contarConexoes(via) == n;
    };
    campo("EditDatabase")->setText(via);
    iniciar();
    ler("10.0.0.7", "1");
    ASSERT_TRUE(unicaResposta());
    EXPECT_TRUE(conexoes(1));
    iniciar(); // stops the server
    EXPECT_TRUE(conexoes(0));

    iniciar();
    ler("10.0.0.7", "1");
    ASSERT_TRUE(unicaResposta());
    EXPECT_TRUE(conexoes(1));
    campo("EditDatabase")->setText(via + " ");
    EXPECT_TRUE(conexoes(0));
    EXPECT_TRUE(avisos->avisos.empty());
}

} // namespace
