#pragma once
// A blocking HTTP/1.1 client over one loopback socket, for the panel's tests: it sends exactly
// the bytes given, so a test can send what no browser would. Header-only (Qt Network).
#include <QByteArray>
#include <QHostAddress>
#include <QTcpSocket>
#include <chrono>
#include <memory>
#include <vector>

struct RespostaHttp {
    int status = 0; // 0: no reply
    QByteArray cabecalhos, corpo;
    bool fechada = false; // the server closed the connection after it
};

// One reply from a connected socket; SemCorpo for a reply to HEAD.
inline RespostaHttp lerRespostaHttp(QTcpSocket &S, bool SemCorpo = false, int Ms = 5000) {
    RespostaHttp r;
    QByteArray lido;
    qsizetype fim = -1;
    const auto prazo = std::chrono::steady_clock::now() + std::chrono::milliseconds(Ms);
    while (std::chrono::steady_clock::now() < prazo) {
        if (fim < 0 && (fim = lido.indexOf("\r\n\r\n")) >= 0) {
            r.cabecalhos = lido.left(fim);
            r.status = lido.mid(9, 3).toInt();
        }
        if (fim >= 0) {
            const qsizetype i = r.cabecalhos.toLower().indexOf("content-length: ");
            const qsizetype n = i < 0 ? 0 : r.cabecalhos.mid(i + 16).split('\r')[0].toLongLong();
            if (SemCorpo || lido.size() >= fim + 4 + n) {
                r.corpo = lido.mid(fim + 4, SemCorpo ? 0 : n);
                break;
            }
        }
        if (S.state() != QAbstractSocket::ConnectedState && S.bytesAvailable() == 0)
            break;
        if (S.bytesAvailable() == 0)
            S.waitForReadyRead(50);
        lido += S.readAll();
    }
    r.fechada = S.state() != QAbstractSocket::ConnectedState ||
                (!S.waitForReadyRead(100) && S.state() != QAbstractSocket::ConnectedState);
    return r;
}

// Pedido sent on a new connection to 127.0.0.1:Porta, and its reply.
inline RespostaHttp pedirHttp(quint16 Porta, const QByteArray &Pedido) {
    QTcpSocket s;
    s.connectToHost(QHostAddress::LocalHost, Porta);
    if (!s.waitForConnected(3000))
        return {};
    s.write(Pedido);
    s.waitForBytesWritten(3000);
    return lerRespostaHttp(s, Pedido.startsWith("HEAD"));
}

// A GET of Caminho with the Host a browser on this machine sends, and Extra header lines.
inline QByteArray getHttp(const QByteArray &Caminho, const QByteArray &Extra = {}) {
    return "GET " + Caminho + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" + Extra + "\r\n";
}

// Hostile peers: N connections to 127.0.0.1:Porta that never send a byte.
inline std::vector<std::unique_ptr<QTcpSocket>> conexoesCaladas(quint16 Porta, int N) {
    std::vector<std::unique_ptr<QTcpSocket>> caladas;
    for (int i = 0; i < N; ++i) {
        caladas.push_back(std::make_unique<QTcpSocket>());
        caladas.back()->connectToHost(QHostAddress::LocalHost, Porta);
        caladas.back()->waitForConnected(3000);
    }
    return caladas;
}

// A request whose header never ends: Inicio (the request line and any header lines), then a
// header line of 10 MB, sent on S until the server drops it.
inline void enviarCabecalhoEnorme(QTcpSocket &S, quint16 Porta, const QByteArray &Inicio) {
    S.connectToHost(QHostAddress::LocalHost, Porta);
    S.waitForConnected(3000);
    S.write(Inicio + "X-Enorme: ");
    const QByteArray mega(1024 * 1024, 'a');
    for (int i = 0; i < 10 && S.state() == QAbstractSocket::ConnectedState; ++i) {
        S.write(mega);
        S.waitForBytesWritten(2000);
    }
}
