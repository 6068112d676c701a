#pragma once
// The register listing off the user-interface thread. A worker fetches the register statement
// into a new table and writes that table to the register's file (through a temporary file
// renamed over it: the file goes from the old register to the new one at once, and only when
// the listing has rows); the new table then comes back on the thread that asked, to be swapped
// in there. One listing at a time. Abandoned, the worker stops at its next row and whatever it
// has is dropped; nothing here ever waits for it.
#include "Tabela.h"

#include <QObject>
#include <QString>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>

class TListagem : public QObject {
public:
    struct Resultado {
        // The listed table: open with its rows (those copied before a failure, when it
        // failed in the copy); closed, without fields, when no row was copied.
        std::unique_ptr<TTabela> Tabela;
        bool Completa = false;   // every row copied (its save may still have failed)
        std::exception_ptr Erro; // the listing's failure, or its save's
    };
    // Called on the thread that owns this object.
    using Entrega = std::function<void(Resultado)>;

    explicit TListagem(Entrega AoTerminar);
    ~TListagem() override; // abandons, never waits
    TListagem(const TListagem &) = delete;
    TListagem &operator=(const TListagem &) = delete;

    // Lists the register of DatabaseName; a listing with all its rows is written to Arquivo
    // (when not empty). False, doing nothing, while a listing runs.
    bool Iniciar(const QString &DatabaseName, const QString &Arquivo);
    bool Rodando() const { return bool(FEstado); }
    // Drops the running listing: its result is never delivered.
    void Abandonar();
    // The listing's three steps, which Iniciar runs on their threads. Esvaziar, first, on the
    // table shown: emptied, and its emptiness is only what the grid shows meanwhile (the file
    // keeps the old register until the listing's rows replace it, and keeps it when the
    // listing fails or is abandoned). Executar, on the worker: a new table filled from
    // DatabaseName and, when it has every row, written to Arquivo (when not empty). Aplicar,
    // last, on the table shown: the listed table swapped in; rows of a listing cut by a
    // failure are shown but never replace the file. Aplicar leaves R.Erro to the caller.
    static void Esvaziar(TTabela &Produtos);
    static Resultado Executar(const QString &DatabaseName, const QString &Arquivo,
                              const std::atomic<bool> *Parar = nullptr);
    static void Aplicar(Resultado &R, TTabela &Produtos);
    // Waits up to Prazo for every listing's worker to leave the database client. False: one
    // is still inside.
    static bool EsperarTrabalhadores(std::chrono::milliseconds Prazo);

private:
    struct Estado; // shared with the worker, which may outlive this object
    void Terminou(const Estado *De, Resultado R);

    Entrega FEntrega;
    std::shared_ptr<Estado> FEstado; // of the running listing
};
