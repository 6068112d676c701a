#pragma once
// Product lookups off the user-interface thread. A small pool of workers runs them, lookups of
// different terminals in parallel, except on a plain path (the embedded engine), where they run
// one at a time; per terminal at most one runs and one waits (a newer scan replaces the waiting
// one, also one handed to the pool that no worker has taken yet). A lookup that has not ended by its deadline (counted from its hand-over
// to the pool, so a wait for a free worker counts too) is abandoned: its worker is left to finish or hang on its own, a fresh one takes its place,
// and whatever it finds is dropped. Results come back on the user-interface thread, and only
// for the terminal's newest scan, failures excepted. Nothing here ever waits for a worker.
// While lookups are asked for on a server path, that database is held open (TBaseAberta).
#include "BaseAberta.h"
#include "uDados.h"

#include <QObject>
#include <QString>
#include <chrono>
#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <optional>

class TConsultas : public QObject {
public:
    struct Resultado {
        uint32_t Endereco = 0;
        QString Codigo;
        std::unique_ptr<TProduto> Produto; // null when the lookup failed
        std::exception_ptr Erro;
        std::chrono::steady_clock::time_point Inicio; // when its scan was asked for
    };
    // Both are called on the user-interface thread.
    using Entrega = std::function<void(const Resultado &)>;
    using Atraso = std::function<void(uint32_t Endereco, const QString &Codigo)>;

    // AoSubstituir (may be empty) hears of each scan dropped unanswered for a newer one.
    // BaseAberta: whether the database of a server path is held open between lookups.
    TConsultas(Entrega AoTerminar, Atraso AoPassarDoPrazo, std::chrono::milliseconds Prazo,
               int Trabalhadores, Atraso AoSubstituir = {}, bool BaseAberta = true);
    ~TConsultas() override; // abandons everything, never waits
    TConsultas(const TConsultas &) = delete;
    TConsultas &operator=(const TConsultas &) = delete;

    // A scan from Endereco: looks Codigo up in the database Banco. Supersedes the terminal's
    // earlier scans: a waiting one is dropped, a running one's result will be.
    void Pedir(uint32_t Endereco, const QString &Banco, const QString &Codigo);
    // Drops every waiting lookup and abandons the running ones, without waiting for them; the
    // database held open is closed.
    void Abandonar();
    // The database path in the operator's field is now Banco: a database held open for another
    // path is closed.
    void CaminhoMudou(const QString &Banco);
    // Whether a lookup is waiting or running (not counting abandoned ones).
    bool Ocupada() const { return !FTerminais.empty(); }
    // Once every TConsultas is gone no worker starts a lookup; this waits up to Prazo for the
    // running ones (of any TConsultas) and the held databases' threads to leave the database
    // client. False: some are still in it.
    static bool EsperarTrabalhadores(std::chrono::milliseconds Prazo);

private:
    struct Estado; // shared with the workers, which may outlive this object
    struct Pedido {
        uint64_t Numero = 0;
        QString Banco, Codigo;
        std::chrono::steady_clock::time_point Inicio;
    };
    struct Terminal {
        std::optional<Pedido> Rodando, Esperando;
    };

    void Enviar(uint32_t Endereco, const Pedido &P);
    void ArmarPrazo(uint32_t Endereco, const Pedido &P);
    bool TomarLugar(uint64_t Numero, const Pedido &P);
    void Terminou(uint32_t Endereco, uint64_t Numero, Resultado R);
    void Venceu(uint32_t Endereco, uint64_t Numero);
    void Seguinte(uint32_t Endereco, Terminal &T);

    Entrega FEntrega;
    Atraso FAtraso;
    Atraso FSubstituida;
    std::chrono::milliseconds FPrazo;
    int FTrabalhadores;
    std::shared_ptr<Estado> FEstado;
    std::map<uint32_t, Terminal> FTerminais;
    uint64_t FUltimo = 0;
    std::unique_ptr<TBaseAberta> FBase; // null when not wanted
};
