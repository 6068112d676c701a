// Every reply answers its own scan: the real program, the real terminal library and terminals on
// loopback, against a real database on both roads (a plain path through the embedded engine in
// the program, and Localhost: through the local server).
#include "BancoTeste.h"
#include "Processos.h"
#include "Repasse.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QTcpSocket>
#include <QThread>
#include <QtEndian>
#include <atomic>
#include <gtest/gtest.h>
#include <map>
#include <thread>

namespace {

const QByteArray Quinze = "123456789012345", Dezesseis = "1234567890123456",
                 ArrozBytes = "7890001001006";

QStringList produtos() {
    return {criarItens(), "INSERT INTO ITENS VALUES ('" + Quinze + "', 'QUINZE', NULL, 15, NULL)",
            "INSERT INTO ITENS VALUES ('" + Dezesseis + "', 'DEZESSEIS', NULL, 16, NULL)",
            "INSERT INTO ITENS VALUES ('" + ArrozBytes + "', 'ARROZ', NULL, 24.9, NULL)"};
}

// The product each code must be answered with; "" for not found. A code longer than the 15
// bytes the server can take is never looked up (nor cut to another code): not found.
QByteArray produtoDe(const QByteArray &codigo) {
    if (codigo == Quinze)
        return "QUINZE";
    if (codigo == ArrozBytes)
        return "ARROZ";
    return "";
}

// A terminal that speaks the wire protocol by hand, so that a test can scan faster than any
// person, drop its connection in the middle of a scan and see which scan each reply names.
class TerminalCru {
public:
    struct Resposta {
        uint32_t id = 0;
        QByteArray descricao; // trimmed; empty for a not-found reply
    };

    TerminalCru(const QString &Servidor, const QString &Endereco)
        : FPorta(quint16(Servidor.section(u':', 1).toUInt())), FEndereco(Endereco) {}

    bool conectar() {
        FSocket.abort();
        FLido.clear();
        if (!FSocket.bind(QHostAddress(FEndereco)))
            return false;
        FSocket.connectToHost(QHostAddress::LocalHost, FPorta);
        if (!FSocket.waitForConnected(3000))
            return false;
        quadro(0x01, QByteArray(1, '\x02')); // hello, version 2
        QByteArray corpo;
        return proximo(corpo, 3000) && !corpo.isEmpty() && uint8_t(corpo[0]) == 0x81;
    }
    void fechar() { FSocket.abort(); }
    void ler(uint32_t Id, const QByteArray &Codigo) {
        QByteArray p(4, '\0');
        qToBigEndian(Id, p.data());
        quadro(0x02, p + Codigo);
        FSocket.flush();
    }
    // The next reply, waiting up to Ms for it.
    std::optional<Resposta> resposta(int Ms) {
        QByteArray corpo;
        while (proximo(corpo, Ms))
            if (corpo.size() >= 5 && (uint8_t(corpo[0]) == 0x82 || uint8_t(corpo[0]) == 0x83)) {
                Resposta r;
                r.id = qFromBigEndian<uint32_t>(corpo.constData() + 1);
                if (uint8_t(corpo[0]) == 0x82 && corpo.size() >= 7) {
                    const int n = qFromBigEndian<uint16_t>(corpo.constData() + 5);
                    r.descricao = corpo.mid(7, n).trimmed();
                }
                return r;
            }
        return std::nullopt;
    }

private:
    void quadro(uint8_t Tipo, const QByteArray &Carga) {
        QByteArray q(4, '\0');
        qToBigEndian(uint32_t(Carga.size() + 1), q.data());
        FSocket.write(q + char(Tipo) + Carga);
    }
    bool proximo(QByteArray &Corpo, int Ms) {
        const QDeadlineTimer prazo(Ms);
        for (;;) {
            if (FLido.size() >= 4) {
                const uint32_t n = qFromBigEndian<uint32_t>(FLido.constData());
                if (FLido.size() >= qsizetype(4 + n)) {
                    Corpo = FLido.mid(4, n);
                    FLido.remove(0, 4 + n);
                    return true;
                }
            }
            if (prazo.hasExpired() || FSocket.state() != QAbstractSocket::ConnectedState ||
                !FSocket.waitForReadyRead(int(std::max<qint64>(1, prazo.remainingTime()))))
                if (FSocket.bytesAvailable() == 0)
                    return false;
            FLido += FSocket.readAll();
        }
    }

    quint16 FPorta;
    QString FEndereco;
    QTcpSocket FSocket;
    QByteArray FLido;
};

// A terminal that scans as fast as the wire takes it, on its own thread, and checks that each
// reply carries the product of the scan it names.
class Inundacao {
public:
    Inundacao(const QString &Servidor, const QString &Endereco)
        : FLinha([this, Servidor, Endereco] { inundar(Servidor, Endereco); }) {}
    ~Inundacao() {
        FFim = true;
        FLinha.join();
    }
    int respostas() const { return FRespostas; }
    int erradas() const { return FErradas; }
    bool conectou() const { return FConectou; }

private:
    void inundar(const QString &Servidor, const QString &Endereco) {
        TerminalCru t(Servidor, Endereco);
        FConectou = t.conectar();
        const QByteArray codigos[] = {Quinze, ArrozBytes, "999", Dezesseis};
        std::map<uint32_t, QByteArray> lidos;
        for (uint32_t id = 1; FConectou && !FFim; ++id) {
            lidos[id] = codigos[id % 4];
            t.ler(id, lidos[id]);
            while (const auto r = t.resposta(1)) {
                ++FRespostas;
                if (!lidos.count(r->id) || r->descricao != produtoDe(lidos[r->id]))
                    ++FErradas;
            }
        }
    }

    std::atomic<bool> FFim = false, FConectou = false;
    std::atomic<int> FRespostas = 0, FErradas = 0;
    std::thread FLinha;
};

class Lookup : public ::testing::TestWithParam<bool> { // Localhost: or a plain path
protected:
    BancoTeste bd{produtos()};
    QString nome() const { return GetParam() ? bd.viaServidor() : bd.caminho(); }
};

TEST_P(Lookup, PortugueseRepliesExactAndLongCodesNeverAnotherProduct) {
    const QByteArray lang = qgetenv("LANG"), lcAll = qgetenv("LC_ALL");
    qputenv("LANG", "pt_BR.UTF-8");
    qputenv("LC_ALL", "pt_BR.UTF-8");
    ServidorEmTeste servidor(nome());
    qputenv("LANG", lang);
    qputenv("LC_ALL", lcAll);
    ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();

    const QStringList r =
        ler(servidor.servidor(), "127.0.0.2",
            {ArrozBytes, Quinze, Dezesseis, Dezesseis + "7", QByteArray(64, '1'), Quinze});
    EXPECT_EQ(r, QStringList({"PRICE|        ARROZ       |      R$ 24,90      |",
                              "PRICE|       QUINZE       |      R$ 15,00      |", "NOTFOUND|",
                              "NOTFOUND|", "NOTFOUND|",
                              "PRICE|       QUINZE       |      R$ 15,00      |"}))
        << s(r);
    EXPECT_TRUE(servidor.errosRelatados().isEmpty()) << s(servidor.errosRelatados());
}

TEST_P(Lookup, BesideAFloodEveryReplyBelongsToItsScanAndTheOthersAreServed) {
    ServidorEmTeste servidor(nome());
    ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();
    Inundacao inundacao(servidor.servidor(), "127.0.0.30");

    // A normal terminal is answered, each code with its own product, within its time-out.
    const QStringList r = ler(servidor.servidor(), "127.0.0.31", {ArrozBytes, "999", Quinze}, 3000);
    ASSERT_EQ(r.size(), 3) << s(r);
    EXPECT_TRUE(r[0].startsWith("PRICE|        ARROZ       |")) << s(r);
    EXPECT_EQ(r[1], "NOTFOUND|");
    EXPECT_TRUE(r[2].startsWith("PRICE|       QUINZE       |")) << s(r);

    // A scan, the connection dropped at once, a new connection from the same address that
    // reuses the scan id for another code: the reply is the new code's, never the old one's.
    TerminalCru t(servidor.servidor(), "127.0.0.32");
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(t.conectar());
        t.ler(1, Quinze);
        t.fechar();
        ASSERT_TRUE(t.conectar());
        t.ler(1, ArrozBytes);
        const auto resposta = t.resposta(5000);
        ASSERT_TRUE(resposta);
        EXPECT_EQ(resposta->id, 1u);
        EXPECT_EQ(resposta->descricao, "ARROZ");
    }

    // A terminal that scans again before its reply came: whatever comes for the first scan is
    // its own product, and the second scan is answered with its own.
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        ASSERT_TRUE(t.conectar());
        t.ler(1, Quinze);
        t.ler(2, ArrozBytes);
        std::optional<TerminalCru::Resposta> resposta;
        while ((resposta = t.resposta(5000)) && resposta->id == 1)
            EXPECT_EQ(resposta->descricao, "QUINZE");
        ASSERT_TRUE(resposta);
        EXPECT_EQ(resposta->id, 2u);
        EXPECT_EQ(resposta->descricao, "ARROZ");
    }

    EXPECT_TRUE(inundacao.conectou());
    EXPECT_GT(inundacao.respostas(), 0);
    EXPECT_EQ(inundacao.erradas(), 0);
    EXPECT_TRUE(servidor.rodando());
    // Replies the library refused (a scan superseded meanwhile, a connection gone) are only
    // counted: nothing may be logged.
    const QStringList erros = servidor.errosRelatados();
    EXPECT_TRUE(erros.isEmpty()) << s(erros);
}

// A database that stops answering (the socket stays open, nothing comes back): the lookup is
// reported once its deadline passes, the terminal gets no reply, and while that lookup still
// hangs the server answers other terminals and ends on SIGTERM.
TEST(StalledLookup, StalledDatabaseIsReportedAndTheServerGoesOn) {
    BancoTeste bd{produtos()};
    Repasse repasse;
    ServidorEmTeste servidor(QString("127.0.0.1/%1:%2").arg(repasse.porta()).arg(bd.caminho()));
    ASSERT_TRUE(servidor.esperarPorta(15000)) << servidor.saida().toStdString();
    EXPECT_EQ(ler(servidor.servidor(), "127.0.0.2", {ArrozBytes}).value(0).left(12),
              "PRICE|      ");

    repasse.definir(Repasse::Modo::Parado);
    EXPECT_EQ(ler(servidor.servidor(), "127.0.0.3", {Quinze}, 2000), QStringList{"NOREPLY|"});
    QStringList erros; // written by the server once the deadline has passed
    for (QDeadlineTimer prazo(60000); erros.isEmpty() && !prazo.hasExpired();
         erros = servidor.errosRelatados())
        QThread::msleep(100);
    ASSERT_EQ(erros.size(), 1) << s(erros);
    EXPECT_TRUE(erros[0].contains(Quinze) && erros[0].contains("127.0.0.3")) << s(erros);

    // The stalled connection still hangs; the database answers new ones again, which ends the
    // run of failures with one more line.
    repasse.definir(Repasse::Modo::Repassar);
    const QStringList r = ler(servidor.servidor(), "127.0.0.5", {ArrozBytes, "999"}, 3000);
    ASSERT_EQ(r.size(), 2) << s(r);
    EXPECT_TRUE(r[0].startsWith("PRICE|        ARROZ       |")) << s(r);
    EXPECT_EQ(r[1], "NOTFOUND|");
    erros = servidor.errosRelatados();
    ASSERT_EQ(erros.size(), 2) << s(erros);
    EXPECT_TRUE(erros[1].startsWith("O banco de dados voltou a responder; 1 leitura ")) << s(erros);

    // A second stalled lookup in progress at SIGTERM: the exit does not wait for it.
    repasse.definir(Repasse::Modo::Parado);
    EXPECT_EQ(ler(servidor.servidor(), "127.0.0.6", {ArrozBytes}, 1000), QStringList{"NOREPLY|"});
    EXPECT_TRUE(servidor.encerrar(15000));
}

INSTANTIATE_TEST_SUITE_P(Caminhos, Lookup, ::testing::Values(false, true),
                         [](const auto &info) { return info.param ? "Localhost" : "Embutido"; });

} // namespace
