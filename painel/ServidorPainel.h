#pragma once
// The panel's HTTP server on the user-interface thread's event loop: the page (/), its data
// (/api/estado) and the metrics (/metrics). It reads the state only to copy a snapshot; the
// JSON and the metrics text are written on a thread of its own. It never acts on the server.
//
// A small HTTP/1.1 reader of its own rather than QHttpServer: Qt 6.4's QHttpServer (Debian 12)
// has no bound on a request's size or header count (it keeps a whole body in memory), on the
// number of connections, or on a silent client's time, and a guard in front of it would have
// to parse the requests itself to count their headers. Here every limit is one number:
// GET and HEAD only, no request body, Limites.Bytes for the request line and headers,
// Limites.Cabecalhos headers, Limites.Conexoes connections (the oldest one still waiting for
// its request makes room for a new one), and Limites.Prazo for a request to arrive or a reply
// to make progress; past it the connection is dropped.
#include "ConfiguracaoPainel.h"
#include "EstadoPainel.h"

#include <QByteArray>
#include <QObject>
#include <QThreadPool>
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>

class QTcpServer;
class QTcpSocket;
class QTimer;

class TServidorPainel : public QObject {
public:
    struct Limites {
        int Conexoes = 64;
        int Bytes = 8192;
        int Cabecalhos = 64;
        std::chrono::milliseconds Prazo{5000};
    };

    // Estado outlives the server.
    TServidorPainel(const TEstadoPainel &Estado, TConfiguracaoPainel Configuracao, Limites Limite);
    TServidorPainel(const TEstadoPainel &Estado, TConfiguracaoPainel Configuracao)
        : TServidorPainel(Estado, std::move(Configuracao), Limites{}) {}
    ~TServidorPainel() override; // waits for the snapshot being written, a few milliseconds
    TServidorPainel(const TServidorPainel &) = delete;
    TServidorPainel &operator=(const TServidorPainel &) = delete;

    // Listens; false with the operator's text in Erro (the address in use, for one).
    bool Iniciar(QString &Erro);
    quint16 Porta() const;

private:
    class TEscuta;
    struct Pedido;
    struct Conexao {
        QTcpSocket *Socket = nullptr;
        QTimer *Prazo = nullptr;
        QByteArray Entrada;
        bool Ocupada = false;  // a reply is being made or written
        bool Fechando = false; // its last reply is going out
    };

    void Chegou(qintptr Descritor);
    void Ler(uint64_t Id);
    void Processar(uint64_t Id);
    void Atender(uint64_t Id, const Pedido &P);
    bool Autorizado(const Pedido &P) const;
    void Responder(uint64_t Id, int Status, const QByteArray &Tipo, const QByteArray &Corpo,
                   bool SemCorpo, bool Fechar, const QByteArray &Extra = {});
    void Fechar(uint64_t Id);

    const TEstadoPainel &FEstado;
    TConfiguracaoPainel FConfiguracao;
    Limites FLimites;
    QByteArray FPagina, FPoliticaPagina;
    TEscuta *FEscuta;
    std::map<uint64_t, Conexao> FConexoes; // by id: the oldest first
    uint64_t FUltima = 0;
    QThreadPool FTrabalho;
};
