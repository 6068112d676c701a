#include "ServidorPainel.h"

#include "EstadoJson.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QUrlQuery>
#include <algorithm>

namespace {

const QByteArray NomeCookie = "lurma_chave";

QByteArray TextoStatus(int Status) {
    switch (Status) {
    case 200:
        return "OK";
    case 303:
        return "See Other";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 413:
        return "Content Too Large";
    case 431:
        return "Request Header Fields Too Large";
    }
    return "Error";
}

// Compares in a time that does not depend on where the texts differ.
bool IguaisSemPressa(const QByteArray &A, const QByteArray &B) {
    if (A.size() != B.size())
        return false;
    unsigned char diferenca = 0;
    for (qsizetype i = 0; i < A.size(); ++i)
        diferenca |= static_cast<unsigned char>(A[i] ^ B[i]);
    return diferenca == 0;
}

// The page's script allowed by its hash, so that nothing injected into the page could run.
QByteArray PoliticaDaPagina(const QByteArray &Pagina) {
    QByteArray politica = "default-src 'none'; style-src 'unsafe-inline'; img-src 'self'; "
                          "connect-src 'self'; base-uri 'none'; form-action 'none'; "
                          "frame-ancestors 'none'; script-src";
    for (qsizetype i = Pagina.indexOf("<script>"); i >= 0; i = Pagina.indexOf("<script>", i)) {
        i += 8;
        const qsizetype fim = Pagina.indexOf("</script>", i);
        if (fim < 0)
            break;
        politica += " 'sha256-" +
                    QCryptographicHash::hash(Pagina.mid(i, fim - i), QCryptographicHash::Sha256)
                        .toBase64() +
                    "'";
        i = fim;
    }
    return politica;
}

} // namespace

struct TServidorPainel::Pedido {
    QByteArray Metodo, Caminho, Consulta;
    std::vector<std::pair<QByteArray, QByteArray>> Cabecalhos; // names in lower case
    bool Manter = true;                                        // keep the connection open

    QByteArray Cabecalho(const QByteArray &Nome) const {
        for (const auto &[nome, valor] : Cabecalhos)
            if (nome == Nome)
                return valor;
        return {};
    }
};

// Hands each accepted socket to the panel at once: Qt's own queue of pending connections
// would stop accepting when full.
class TServidorPainel::TEscuta : public QTcpServer {
public:
    explicit TEscuta(TServidorPainel *Painel) : QTcpServer(Painel), FPainel(Painel) {}

protected:
    void incomingConnection(qintptr Descritor) override { FPainel->Chegou(Descritor); }

private:
    TServidorPainel *FPainel;
};

TServidorPainel::TServidorPainel(const TEstadoPainel &Estado, TConfiguracaoPainel Configuracao,
                                 Limites Limite)
    : FEstado(Estado), FConfiguracao(std::move(Configuracao)), FLimites(Limite),
      FEscuta(new TEscuta(this)) {
    QFile pagina(QStringLiteral(":/painel/pagina.html"));
    if (pagina.open(QIODevice::ReadOnly))
        FPagina = pagina.readAll();
    FPoliticaPagina = PoliticaDaPagina(FPagina);
    FTrabalho.setMaxThreadCount(1);
}

TServidorPainel::~TServidorPainel() {
    FTrabalho.clear();
    FTrabalho.waitForDone();
}

bool TServidorPainel::Iniciar(QString &Erro) {
    if (FEscuta->listen(FConfiguracao.Endereco, FConfiguracao.Porta))
        return true;
    Erro = QStringLiteral("O painel não foi iniciado: o endereço %1 não pôde ser usado (%2). Os "
                          "terminais continuam sendo atendidos.")
               .arg(FConfiguracao.Texto, FEscuta->errorString());
    return false;
}

quint16 TServidorPainel::Porta() const {
    return FEscuta->serverPort();
}

void TServidorPainel::Chegou(qintptr Descritor) {
    if (int(FConexoes.size()) >= FLimites.Conexoes) {
        // The oldest connection still waiting for its request makes room; if every one is
        // being answered, the newcomer goes.
        const auto ociosa = std::find_if(FConexoes.begin(), FConexoes.end(),
                                         [](const auto &c) { return !c.second.Ocupada; });
        if (ociosa == FConexoes.end()) {
            QTcpSocket recusada;
            recusada.setSocketDescriptor(Descritor);
            recusada.abort();
            return;
        }
        Fechar(ociosa->first);
    }
    auto *socket = new QTcpSocket(this);
    if (!socket->setSocketDescriptor(Descritor)) {
        delete socket;
        return;
    }
    // Qt takes from the kernel no more than a request's worth ahead of what is read here.
    socket->setReadBufferSize(FLimites.Bytes + 1);
    const uint64_t id = ++FUltima;
    Conexao &c = FConexoes[id];
    c.Socket = socket;
    c.Prazo = new QTimer(socket);
    c.Prazo->setSingleShot(true);
    c.Prazo->start(FLimites.Prazo);
    connect(c.Prazo, &QTimer::timeout, this, [this, id] { Fechar(id); });
    connect(socket, &QTcpSocket::readyRead, this, [this, id] { Ler(id); });
    connect(socket, &QTcpSocket::disconnected, this, [this, id] { Fechar(id); });
    connect(socket, &QTcpSocket::bytesWritten, this, [this, id] {
        const auto i = FConexoes.find(id);
        if (i == FConexoes.end())
            return;
        i->second.Prazo->start(FLimites.Prazo); // progress: a slow reader is not a silent one
        if (i->second.Socket->bytesToWrite() == 0 && i->second.Ocupada && !i->second.Fechando) {
            i->second.Ocupada = false;
            Processar(id); // the requests that came meanwhile
        }
    });
}

void TServidorPainel::Fechar(uint64_t Id) {
    const auto i = FConexoes.find(Id);
    if (i == FConexoes.end())
        return;
    QTcpSocket *socket = i->second.Socket;
    FConexoes.erase(i);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

void TServidorPainel::Ler(uint64_t Id) {
    const auto i = FConexoes.find(Id);
    if (i == FConexoes.end())
        return;
    Conexao &c = i->second;
    if (c.Fechando)
        c.Socket->readAll(); // what follows the last reply is never read
    else if (!c.Ocupada)
        Processar(Id);
}

void TServidorPainel::Processar(uint64_t Id) {
    auto i = FConexoes.find(Id);
    while (i != FConexoes.end() && !i->second.Ocupada) {
        Conexao &c = i->second;
        // Never more than a request's worth held, however much the peer sends.
        c.Entrada += c.Socket->read(FLimites.Bytes + 1 - c.Entrada.size());
        const qsizetype fim = c.Entrada.indexOf("\r\n\r\n");
        if (fim < 0 || fim + 4 > FLimites.Bytes) {
            if (c.Entrada.size() > FLimites.Bytes || fim >= 0)
                Responder(Id, 431, "text/plain; charset=utf-8", "Pedido grande demais.\n", false,
                          true);
            return;
        }
        const QList<QByteArray> linhas = c.Entrada.left(fim).split('\n');
        c.Entrada.remove(0, fim + 4);
        if (linhas.size() - 1 > FLimites.Cabecalhos) {
            Responder(Id, 431, "text/plain; charset=utf-8", "Cabeçalhos demais.\n", false, true);
            return;
        }
        Pedido p;
        const QList<QByteArray> partes = linhas[0].trimmed().split(' ');
        const bool http11 = partes.size() == 3 && partes[2] == "HTTP/1.1";
        if (partes.size() != 3 || !(http11 || partes[2] == "HTTP/1.0") ||
            !partes[1].startsWith('/')) {
            Responder(Id, 400, "text/plain; charset=utf-8", "Pedido inválido.\n", false, true);
            return;
        }
        p.Metodo = partes[0];
        const qsizetype interrogacao = partes[1].indexOf('?');
        p.Caminho = interrogacao < 0 ? partes[1] : partes[1].left(interrogacao);
        p.Consulta = interrogacao < 0 ? QByteArray() : partes[1].mid(interrogacao + 1);
        bool valido = true;
        for (qsizetype l = 1; l < linhas.size(); ++l) {
            const QByteArray linha = linhas[l].endsWith('\r') ? linhas[l].chopped(1) : linhas[l];
            const qsizetype dois = linha.indexOf(':');
            if (dois <= 0 || linha.left(dois).contains(' ')) {
                valido = false;
                break;
            }
            p.Cabecalhos.emplace_back(linha.left(dois).toLower(), linha.mid(dois + 1).trimmed());
        }
        const QByteArray tamanho = p.Cabecalho("content-length");
        if (!valido) {
            Responder(Id, 400, "text/plain; charset=utf-8", "Pedido inválido.\n", false, true);
            return;
        }
        const bool leitura = p.Metodo == "GET" || p.Metodo == "HEAD"; // others get 405 below
        if (leitura && ((!tamanho.isEmpty() && tamanho != "0") ||
                        !p.Cabecalho("transfer-encoding").isEmpty())) {
            // No request here has a body: it is not read, and the connection goes.
            Responder(Id, 413, "text/plain; charset=utf-8", "Pedido com corpo.\n", false, true);
            return;
        }
        const QByteArray conexao = p.Cabecalho("connection").toLower();
        p.Manter = http11 ? !conexao.contains("close") : conexao.contains("keep-alive");
        Atender(Id, p);
        i = FConexoes.find(Id);
    }
}

bool TServidorPainel::Autorizado(const Pedido &P) const {
    const QByteArray &chave = FConfiguracao.Chave;
    const QByteArray autorizacao = P.Cabecalho("authorization");
    if (autorizacao.startsWith("Bearer ") && IguaisSemPressa(autorizacao.mid(7).trimmed(), chave))
        return true;
    for (const QByteArray &biscoito : P.Cabecalho("cookie").split(';')) {
        const QByteArray b = biscoito.trimmed();
        if (b.startsWith(NomeCookie + '=') &&
            IguaisSemPressa(QByteArray::fromPercentEncoding(b.mid(NomeCookie.size() + 1)), chave))
            return true;
    }
    return false;
}

void TServidorPainel::Atender(uint64_t Id, const Pedido &P) {
    const bool cabeca = P.Metodo == "HEAD";
    const QByteArray texto = "text/plain; charset=utf-8";
    if (P.Metodo != "GET" && !cabeca) {
        Responder(Id, 405, texto, "Só GET e HEAD.\n", false, true, "Allow: GET, HEAD\r\n");
        return;
    }
    if (FConfiguracao.Chave.isEmpty()) {
        // Without a key the panel is on loopback: a page of another site that renamed itself
        // to this address (DNS rebinding) still names its own host.
        QByteArray host = P.Cabecalho("host");
        const qsizetype porta = host.lastIndexOf(':');
        if (porta > host.lastIndexOf(']'))
            host.truncate(porta);
        if (host.startsWith('[') && host.endsWith(']'))
            host = host.mid(1, host.size() - 2);
        QHostAddress endereco;
        if (host.compare("localhost", Qt::CaseInsensitive) != 0 &&
            !(endereco.setAddress(QString::fromLatin1(host)) && endereco.isLoopback())) {
            Responder(Id, 403, texto, "Use o endereço 127.0.0.1 do painel.\n", cabeca, true);
            return;
        }
    } else if (!Autorizado(P)) {
        const QByteArray dada = QUrlQuery(QString::fromUtf8(P.Consulta))
                                    .queryItemValue("chave", QUrl::FullyDecoded)
                                    .toUtf8();
        if (P.Caminho == "/" && !dada.isEmpty() && IguaisSemPressa(dada, FConfiguracao.Chave)) {
            // Once from the address into a cookie, and the key leaves the address bar.
            Responder(Id, 303, texto, {}, cabeca, !P.Manter,
                      "Location: /\r\nSet-Cookie: " + NomeCookie + '=' +
                          FConfiguracao.Chave.toPercentEncoding() +
                          "; Path=/; HttpOnly; SameSite=Strict\r\n");
            return;
        }
        Responder(Id, 401, texto, "Chave necessária.\n", cabeca, !P.Manter,
                  "WWW-Authenticate: Bearer realm=\"Servidor Lurma\"\r\n");
        return;
    }
    if (P.Caminho == "/") {
        Responder(Id, 200, "text/html; charset=utf-8", FPagina, cabeca, !P.Manter,
                  "Content-Security-Policy: " + FPoliticaPagina + "\r\n");
        return;
    }
    const bool estado = P.Caminho == "/api/estado";
    if (!estado && P.Caminho != "/metrics") {
        Responder(Id, 404, texto, "Não encontrado.\n", cabeca, !P.Manter);
        return;
    }
    // The copy is all the user-interface thread does; the text is written on the worker.
    FConexoes.at(Id).Ocupada = true;
    std::shared_ptr<TInstantaneo> instantaneo;
    if (estado)
        instantaneo = std::make_shared<TInstantaneo>(FEstado.Instantaneo());
    const bool fechar = !P.Manter;
    FTrabalho.start([this, Id, instantaneo, cabeca, fechar] {
        const QByteArray corpo = instantaneo
                                     ? EstadoJson(std::move(*instantaneo))
                                     : QByteArray::fromStdString(FEstado.Metricas().Texto());
        const QByteArray tipo =
            instantaneo ? "application/json" : "text/plain; version=0.0.4; charset=utf-8";
        QMetaObject::invokeMethod(
            this,
            [this, Id, corpo, tipo, cabeca, fechar] {
                if (FConexoes.count(Id))
                    Responder(Id, 200, tipo, corpo, cabeca, fechar);
            },
            Qt::QueuedConnection);
    });
}

void TServidorPainel::Responder(uint64_t Id, int Status, const QByteArray &Tipo,
                                const QByteArray &Corpo, bool SemCorpo, bool Fechar,
                                const QByteArray &Extra) {
    const auto i = FConexoes.find(Id);
    if (i == FConexoes.end())
        return;
    Conexao &c = i->second;
    QByteArray resposta = "HTTP/1.1 " + QByteArray::number(Status) + ' ' + TextoStatus(Status) +
                          "\r\nContent-Type: " + Tipo +
                          "\r\nContent-Length: " + QByteArray::number(Corpo.size()) +
                          "\r\nCache-Control: no-store\r\nX-Content-Type-Options: nosniff\r\n"
                          "Referrer-Policy: no-referrer\r\n" +
                          Extra + (Fechar ? "Connection: close\r\n" : "") + "\r\n";
    if (!SemCorpo)
        resposta += Corpo;
    c.Socket->write(resposta);
    c.Prazo->start(FLimites.Prazo);
    if (Fechar) {
        c.Ocupada = c.Fechando = true; // nothing more is read
        c.Entrada.clear();
        c.Socket->disconnectFromHost(); // after what is written has gone
        return;
    }
    c.Ocupada = c.Socket->bytesToWrite() > 0; // the next request once this reply has gone
}
