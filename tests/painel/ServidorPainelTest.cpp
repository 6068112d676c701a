// The panel's HTTP server over real loopback sockets: what it answers, whom it refuses, and
// that no peer can hold it up or grow it. The peers run on a thread of their own while this
// thread runs the server's event loop.
#include "ServidorPainel.h"
#include "ClienteHttp.h"

#include <QCoreApplication>
#include <QThread>
#include <future>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace std::chrono_literals;

namespace {

// Runs Peer on its own thread while the server's events are handled here.
template <typename F> auto comPeer(F &&Peer) {
    auto futuro = std::async(std::launch::async, std::forward<F>(Peer));
    while (futuro.wait_for(1ms) != std::future_status::ready)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return futuro.get();
}

} // namespace

class ServidorPainel : public ::testing::Test {
protected:
    TEstadoPainel estado{"1.2.3"};
    std::unique_ptr<TServidorPainel> servidor;
    quint16 porta = 0;

    void iniciar(const QByteArray &Chave = {}, TServidorPainel::Limites Limite = {}) {
        TConfiguracaoPainel c;
        c.Ativo = true;
        c.Endereco = QHostAddress::LocalHost;
        c.Chave = Chave;
        c.Texto = "127.0.0.1:0";
        servidor = std::make_unique<TServidorPainel>(estado, c, Limite);
        QString erro;
        ASSERT_TRUE(servidor->Iniciar(erro)) << erro.toStdString();
        porta = servidor->Porta();
    }
};

TEST_F(ServidorPainel, PageDataAndMetricsForGetAndHeadOnly) {
    iniciar();
    estado.Leitura({"127.0.0.2", "<b>x</b>", TResultadoLeitura::NaoEncontrado, "não", 3ms, true});
    const QByteArray cabeca = "HEAD /metrics HTTP/1.1\r\nHost: localhost:1\r\n\r\n";
    struct Caso {
        QByteArray pedido;
        int status;
        QByteArray noCabecalho, noCorpo;
        bool fecha;
    };
    const std::vector<Caso> casos = {
        {getHttp("/"), 200, "Content-Security-Policy: default-src 'none'",
         "<title>Servidor Lurma - Painel</title>", false},
        {getHttp("/api/estado"), 200, "application/json", "\"codigo\":\"<b>x</b>\"", false},
        {getHttp("/metrics"), 200, "text/plain; version=0.0.4",
         "lurma_scans_total{result=\"not_found\"} 1", false},
        {cabeca, 200, "Content-Length: ", "", false},
        {"POST / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 405, "Allow: GET, HEAD", "", true},
        {"POST /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Length: 5\r\n\r\nabcde", 405,
         "Allow: GET, HEAD", "", true},
        {"DELETE /api/estado HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 405, "", "", true},
        {getHttp("/nada"), 404, "", "", false},
        {getHttp("/", "Connection: close\r\n"), 200, "Connection: close", "", true},
        {"GET / HTTP/1.1\r\nHost: loja.exemplo:6551\r\n\r\n", 403, "", "", true},
        {getHttp("/", "Content-Length: 10\r\n") + "0123456789", 413, "", "", true},
        {getHttp("/", "Transfer-Encoding: chunked\r\n"), 413, "", "", true},
        {"GET /\r\n\r\n", 400, "", "", true},
        {"GET / HTTP/1.1\r\nsem dois pontos\r\n\r\n", 400, "", "", true},
        {getHttp("/", QByteArray("X-Longo: ") + QByteArray(9000, 'a') + "\r\n"), 431, "", "", true},
        {getHttp("/", QByteArray("X-Muitos: 1\r\n").repeated(70)), 431, "", "", true},
    };
    for (const Caso &c : casos) {
        SCOPED_TRACE(c.pedido.left(60).toStdString());
        const RespostaHttp r = comPeer([&] { return pedirHttp(porta, c.pedido); });
        EXPECT_EQ(r.status, c.status) << r.cabecalhos.toStdString();
        EXPECT_TRUE(r.cabecalhos.contains(c.noCabecalho)) << r.cabecalhos.toStdString();
        EXPECT_TRUE(r.corpo.contains(c.noCorpo)) << r.corpo.left(300).toStdString();
        EXPECT_EQ(r.fechada, c.fecha);
    }
    // HEAD: the length of the GET's body, and no body.
    const RespostaHttp r = comPeer([&] {
        QTcpSocket s;
        s.connectToHost(QHostAddress::LocalHost, porta);
        s.waitForConnected(3000);
        s.write(cabeca);
        RespostaHttp h = lerRespostaHttp(s, true);
        s.write(getHttp("/nada")); // the same connection goes on, with nothing left of the HEAD
        h.corpo = lerRespostaHttp(s).cabecalhos;
        return h;
    });
    EXPECT_TRUE(r.corpo.startsWith("HTTP/1.1 404")) << r.corpo.toStdString();
}

TEST_F(ServidorPainel, WithAKeyEveryRequestShowsIt) {
    iniciar("s3gr3d0;=");
    struct Caso {
        QByteArray pedido;
        int status;
        QByteArray noCabecalho;
    };
    const std::vector<Caso> casos = {
        {getHttp("/"), 401, "WWW-Authenticate: Bearer"},
        {getHttp("/metrics"), 401, ""},
        {getHttp("/api/estado", "Authorization: Bearer errada\r\n"), 401, ""},
        {getHttp("/api/estado", "Authorization: Bearer s3gr3d0;\r\n"), 401, ""},
        {getHttp("/metrics", "Authorization: Bearer s3gr3d0;=\r\n"), 200, ""},
        // From any host name: the key is what counts.
        {"GET /api/estado HTTP/1.1\r\nHost: loja:1\r\nAuthorization: Bearer s3gr3d0;=\r\n\r\n", 200,
         ""},
        {getHttp("/?chave=s3gr3d0%3B%3D"), 303,
         "Set-Cookie: lurma_chave=s3gr3d0%3B%3D; Path=/; HttpOnly"},
        {getHttp("/?chave=errada"), 401, ""},
        {getHttp("/api/estado?chave=s3gr3d0%3B%3D"), 401, ""}, // only the page takes it
        {getHttp("/api/estado", "Cookie: a=b; lurma_chave=s3gr3d0%3B%3D\r\n"), 200, ""},
        {getHttp("/", "Cookie: lurma_chave=s3gr3d0\r\n"), 401, ""},
        {"POST / HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n", 405, ""},
    };
    for (const Caso &c : casos) {
        SCOPED_TRACE(c.pedido.toStdString());
        const RespostaHttp r = comPeer([&] { return pedirHttp(porta, c.pedido); });
        EXPECT_EQ(r.status, c.status) << r.cabecalhos.toStdString();
        EXPECT_TRUE(r.cabecalhos.contains(c.noCabecalho)) << r.cabecalhos.toStdString();
    }
}

// Silent peers beyond the connection limit, a slow one, and one sending 10 MB: the page still
// answers at once, the slow and silent ones are dropped, and nothing holds more than a request.
TEST_F(ServidorPainel, SilentSlowAndHugePeersNeitherHoldItNorGrowIt) {
    iniciar({}, {8, 8192, 64, 400ms});
    const auto resultado = comPeer([&] {
        const auto caladas = conexoesCaladas(porta, 300);
        const RespostaHttp pagina = pedirHttp(porta, getHttp("/"));

        QTcpSocket lenta; // one byte every 100 ms: never a whole request within 400 ms
        lenta.connectToHost(QHostAddress::LocalHost, porta);
        lenta.waitForConnected(3000);
        const QByteArray pedido = getHttp("/");
        bool lentaCaiu = false;
        for (char c : pedido) {
            lenta.write(&c, 1);
            lenta.waitForBytesWritten(100);
            if (lenta.waitForDisconnected(100)) {
                lentaCaiu = true;
                break;
            }
        }

        QTcpSocket enorme;
        enviarCabecalhoEnorme(enorme, porta, "GET / HTTP/1.1\r\n");
        // Refused with 431 once a request's worth came; the peer may see only the reset that
        // closing on its unread bytes gives.
        const RespostaHttp recusada = lerRespostaHttp(enorme);
        const bool enormeCaiu =
            recusada.fechada && (recusada.status == 431 || recusada.status == 0);

        const bool caladaCaiu = caladas.back()->waitForDisconnected(3000);
        const RespostaHttp depois = pedirHttp(porta, getHttp("/metrics"));
        return std::tuple(pagina.status, lentaCaiu, enormeCaiu, caladaCaiu, depois.status);
    });
    const auto [pagina, lentaCaiu, enormeCaiu, caladaCaiu, depois] = resultado;
    EXPECT_EQ(pagina, 200);
    EXPECT_TRUE(lentaCaiu);
    EXPECT_TRUE(enormeCaiu);
    EXPECT_TRUE(caladaCaiu);
    EXPECT_EQ(depois, 200);
}

TEST_F(ServidorPainel, AnAddressInUseIsSaidWithTheAddress) {
    iniciar();
    TConfiguracaoPainel c;
    c.Ativo = true;
    c.Endereco = QHostAddress::LocalHost;
    c.Porta = porta;
    c.Texto = QStringLiteral("127.0.0.1:%1").arg(porta);
    TServidorPainel segundo(estado, c);
    QString erro;
    EXPECT_FALSE(segundo.Iniciar(erro));
    EXPECT_TRUE(erro.startsWith("O painel não foi iniciado: o endereço " + c.Texto))
        << erro.toStdString();
    EXPECT_EQ(comPeer([&] { return pedirHttp(porta, getHttp("/metrics")); }).status, 200);
}
