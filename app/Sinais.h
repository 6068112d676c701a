#pragma once
// SIGTERM and SIGINT as a Qt signal on the user-interface thread, so that a session's end or
// Ctrl+C runs the program's own exit. The handler only writes one byte to a pipe.
#include <QObject>
#include <memory>

class QSocketNotifier;

class TSinaisDeSaida : public QObject {
    Q_OBJECT
public:
    explicit TSinaisDeSaida(QObject *Pai = nullptr);
    ~TSinaisDeSaida() override; // restores the default handlers

signals:
    void Recebido();

private:
    std::unique_ptr<QSocketNotifier> FNotificador;
};
