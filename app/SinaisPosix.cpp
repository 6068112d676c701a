#include "Sinais.h"

#include "Avisos.h"

#include <QCoreApplication>
#include <QEvent>
#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace {

sigset_t Conjunto() {
    sigset_t conjunto;
    sigemptyset(&conjunto);
    for (int sinal : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&conjunto, sinal);
    return conjunto;
}

const QEvent::Type TipoRecebido = QEvent::Type(QEvent::registerEventType());

} // namespace

void BloquearSinaisDeSaida() {
    const sigset_t conjunto = Conjunto();
    pthread_sigmask(SIG_BLOCK, &conjunto, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

void EncerrarProcesso(int Status) {
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(Status);
}

struct TSinaisDeSaida::Impl {
    std::thread linha;
    std::atomic<bool> parar{false};
    std::atomic<int> status{1};
    std::chrono::milliseconds prazo{};

    void Esperar(TSinaisDeSaida *dono) {
        const sigset_t conjunto = Conjunto();
        int sinal = 0;
        while (sigwait(&conjunto, &sinal) == 0 && !parar)
            if (Primeiro(dono))
                break;
        if (parar || prazo.count() == 0)
            return;
        // Further signals while the exit runs change nothing; the deadline ends a stuck one.
        timespec fim{};
        clock_gettime(CLOCK_MONOTONIC, &fim);
        fim.tv_sec += prazo.count() / 1000;
        fim.tv_nsec += (prazo.count() % 1000) * 1000000;
        if (fim.tv_nsec >= 1000000000)
            ++fim.tv_sec, fim.tv_nsec -= 1000000000;
        for (;;) {
            timespec agora{};
            clock_gettime(CLOCK_MONOTONIC, &agora);
            timespec resta{fim.tv_sec - agora.tv_sec, fim.tv_nsec - agora.tv_nsec};
            if (resta.tv_nsec < 0)
                --resta.tv_sec, resta.tv_nsec += 1000000000;
            if (resta.tv_sec < 0)
                break;
            sigtimedwait(&conjunto, nullptr, &resta);
            if (parar)
                return;
        }
        PrazoEsgotado();
    }

    // Hands the signal to the owner's thread; true when the deadline is to be watched.
    bool Primeiro(TSinaisDeSaida *dono) {
        QCoreApplication::postEvent(dono, new QEvent(TipoRecebido), Qt::HighEventPriority);
        return prazo.count() > 0;
    }

    [[noreturn]] void PrazoEsgotado() {
        RegistrarErro(
            QStringLiteral("O programa não terminou em %1 ms e foi encerrado.").arg(prazo.count()));
        EncerrarProcesso(status);
    }
};

TSinaisDeSaida::TSinaisDeSaida(std::chrono::milliseconds Prazo, QObject *Pai)
    : QObject(Pai), d(std::make_unique<Impl>()) {
    BloquearSinaisDeSaida();
    d->prazo = Prazo;
    d->linha = std::thread([this] { d->Esperar(this); });
}

TSinaisDeSaida::~TSinaisDeSaida() {
    d->parar = true;
    pthread_kill(d->linha.native_handle(), SIGTERM); // wakes its wait
    d->linha.join();
}

void TSinaisDeSaida::DefinirStatus(int Status) {
    d->status = Status;
}

bool TSinaisDeSaida::event(QEvent *Evento) {
    if (Evento->type() != TipoRecebido)
        return QObject::event(Evento);
    emit Recebido();
    return true;
}
