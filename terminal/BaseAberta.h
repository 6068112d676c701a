#pragma once
// The database of a server path held open while the server serves it: one idle attachment (no
// transaction, no statement), so that the database server does not close the database after
// every lookup and open it again for the next one (that made each attach dear and, with
// lookups in parallel, made some of them wait a whole second). Lookups still attach and detach
// on their own; this attachment only keeps the database open beside them.
//
// It never holds anything up. It runs nothing. It is checked every few seconds; once the
// database server has ended it (a forced shutdown) it is opened again, with a growing pause,
// when the database accepts attachments. A shutdown that waits for the attachments to leave
// refuses new ones: a lookup refused so (Recusada) closes it at once, and without lookups it is
// closed after a few idle seconds anyway (the next lookup opens it again). A failure to open it
// is never reported. Each held attachment lives on a thread of its own, so one stuck on a server
// that stopped answering delays nothing else. Nothing here waits for those threads.
#include <QString>
#include <atomic>
#include <chrono>
#include <memory>

class TBaseAberta {
public:
    // While a thread may call the Firebird client, it counts itself in NoCliente.
    explicit TBaseAberta(std::atomic<int> &NoCliente);
    ~TBaseAberta(); // the held attachment is closed on its thread
    TBaseAberta(const TBaseAberta &) = delete;
    TBaseAberta &operator=(const TBaseAberta &) = delete;

    // A lookup on DatabaseName: holds it open, closing what was held for another path. A plain
    // path (the embedded engine's: the file must stay free for the shop's other programs) or an
    // empty name holds nothing.
    void Manter(const QString &DatabaseName);
    // A lookup on the held path was refused because the database is being shut down.
    void Recusada();
    const QString &Caminho() const { return FCaminho; }

    // Between two checks of the held attachment; the longest pause between two attempts to open
    // it again; how long it stays without lookups.
    static constexpr std::chrono::milliseconds Verificacao{2000}, PausaMaxima{16000},
        Ociosa{10000};

private:
    struct Guarda; // one held attachment, shared with its thread
    std::atomic<int> &FNoCliente;
    QString FCaminho;
    std::shared_ptr<Guarda> FGuarda;
};
