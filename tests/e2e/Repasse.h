#pragma once
// A TCP relay on loopback in front of the local Firebird server, which a test can cut and
// restore: the database becomes unreachable for that test only, while the server on 3050 goes
// on serving every other test. Its own thread; POSIX sockets.
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

class Repasse {
public:
    enum class Modo {
        Repassar, // relays every connection to the destination
        Cortado,  // nothing listens and open relays are dropped: connection refused
        Lixo,     // accepts and answers bytes that are no Firebird protocol, then hangs up
        Parado,   // accepts and keeps each new connection open, forwarding nothing: a stall
        // As Parado, and the open relays forward nothing either until another mode (a pulled
        // cable under an open connection).
        Congelado,
    };

    explicit Repasse(uint16_t Destino = 3050);
    ~Repasse();
    uint16_t porta() const { return FPorta; }
    // Returns once the relay works in the new mode.
    void definir(Modo Novo);

private:
    void laco();
    bool escutar();

    uint16_t FDestino, FPorta = 0;
    int FEscuta = -1, FAcordar[2] = {-1, -1};
    std::mutex FTrava;
    std::condition_variable FMudou;
    Modo FModo = Modo::Repassar, FPedido = Modo::Repassar;
    bool FFim = false;
    std::thread FLinha;
};
