#include "Sinais.h"

#include <QSocketNotifier>
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int Pares[2] = {-1, -1}; // [0] read by the loop, [1] written by the handler

void Manipulador(int) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t escrito = ::write(Pares[1], &byte, 1);
}

void Instalar(void (*Funcao)(int)) {
    struct sigaction acao {};
    acao.sa_handler = Funcao;
    sigemptyset(&acao.sa_mask);
    acao.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &acao, nullptr);
    sigaction(SIGINT, &acao, nullptr);
}

} // namespace

TSinaisDeSaida::TSinaisDeSaida(QObject *Pai) : QObject(Pai) {
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, Pares) != 0)
        return; // without the pipe the signals keep their default action
    FNotificador = std::make_unique<QSocketNotifier>(Pares[0], QSocketNotifier::Read);
    connect(FNotificador.get(), &QSocketNotifier::activated, this, [this] {
        char bytes[16];
        while (::read(Pares[0], bytes, sizeof bytes) > 0) {
        }
        emit Recebido();
    });
    Instalar(Manipulador);
}

TSinaisDeSaida::~TSinaisDeSaida() {
    if (!FNotificador)
        return;
    Instalar(SIG_DFL);
    FNotificador.reset();
    ::close(Pares[0]);
    ::close(Pares[1]);
    Pares[0] = Pares[1] = -1;
}
