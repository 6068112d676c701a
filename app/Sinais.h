#pragma once
// SIGTERM, SIGINT and SIGHUP as a Qt signal on the user-interface thread, so that a session's
// end, a hang-up or Ctrl+C runs the program's own exit. The embedded Firebird engine installs
// handlers of its own for SIGTERM and SIGINT at its first attach and would shut itself down
// under the running program; with the signals blocked in every thread from the start its
// handlers never run, and one thread of ours takes the signals. The POSIX side lives in
// SinaisPosix.cpp.
#include <QObject>
#include <chrono>
#include <memory>

// Blocks the three signals in the calling thread, and so in every thread it starts afterwards,
// and ignores SIGPIPE in the whole process: a write to a pipe or socket whose reader has gone (a
// launcher's log reader that ended) fails and is dropped instead of ending the program. The
// first thing main does, before any library can start a thread.
void BloquearSinaisDeSaida();

// Ends the process at once with Status, without running exit handlers (the Firebird client's
// would wait for its threads without a bound). Standard output and error are flushed first.
[[noreturn]] void EncerrarProcesso(int Status);

class TSinaisDeSaida : public QObject {
    Q_OBJECT
public:
    // Takes the signals on a thread of its own (blocking them in the calling thread too). With a
    // Prazo, a process still running Prazo after the first signal is ended with the status of
    // DefinirStatus (1 until then), its reason on standard error and in LURMA_ERROR_LOG: the
    // exit never hangs.
    explicit TSinaisDeSaida(std::chrono::milliseconds Prazo = {}, QObject *Pai = nullptr);
    ~TSinaisDeSaida() override;

    // The status the deadline ends the process with.
    void DefinirStatus(int Status);

signals:
    // On the thread that owns this object, ahead of the events already waiting there.
    void Recebido();

protected:
    bool event(QEvent *Evento) override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};
