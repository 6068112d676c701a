#include "Repasse.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace {

sockaddr_in loopback(uint16_t Porta) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(Porta);
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return a;
}

// Moves what is waiting on De to Para; false when either side is done.
bool passar(int De, int Para) {
    char bloco[65536];
    const ssize_t n = read(De, bloco, sizeof bloco);
    if (n <= 0)
        return false;
    for (ssize_t feito = 0; feito < n;) {
        const ssize_t w = write(Para, bloco + feito, size_t(n - feito));
        if (w <= 0)
            return false;
        feito += w;
    }
    return true;
}

} // namespace

Repasse::Repasse(uint16_t Destino) : FDestino(Destino) {
    if (pipe(FAcordar) != 0 || !escutar())
        throw std::runtime_error("Repasse: cannot listen on loopback");
    FLinha = std::thread([this] { laco(); });
}

Repasse::~Repasse() {
    {
        std::lock_guard trava(FTrava);
        FFim = true;
    }
    (void)!write(FAcordar[1], "x", 1);
    FLinha.join();
    close(FAcordar[0]);
    close(FAcordar[1]);
}

// The first time on any free port; later on the same one, so the database name stays valid.
bool Repasse::escutar() {
    FEscuta = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int sim = 1;
    setsockopt(FEscuta, SOL_SOCKET, SO_REUSEADDR, &sim, sizeof sim);
    sockaddr_in a = loopback(FPorta);
    socklen_t tamanho = sizeof a;
    if (bind(FEscuta, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 ||
        listen(FEscuta, 64) != 0 ||
        getsockname(FEscuta, reinterpret_cast<sockaddr *>(&a), &tamanho) != 0) {
        close(FEscuta);
        FEscuta = -1;
        return false;
    }
    FPorta = ntohs(a.sin_port);
    return true;
}

void Repasse::definir(Modo Novo) {
    std::unique_lock trava(FTrava);
    FPedido = Novo;
    (void)!write(FAcordar[1], "x", 1);
    FMudou.wait(trava, [&] { return FModo == Novo; });
}

void Repasse::laco() {
    std::vector<std::pair<int, int>> pares; // client, destination
    std::vector<int> parados;               // stalled clients, never read
    const auto soltarTudo = [&] {
        for (auto [c, d] : pares) {
            close(c);
            close(d);
        }
        pares.clear();
        for (int c : parados)
            close(c);
        parados.clear();
    };
    for (;;) {
        std::vector<pollfd> fds{{FAcordar[0], POLLIN, 0}};
        if (FEscuta >= 0)
            fds.push_back({FEscuta, POLLIN, 0});
        for (auto [c, d] : pares) {
            const short olhar = FModo == Modo::Congelado ? 0 : POLLIN; // its bytes wait
            fds.push_back({c, olhar, 0});
            fds.push_back({d, olhar, 0});
        }
        poll(fds.data(), fds.size(), -1);

        if (fds[0].revents) {
            char lixo[64];
            (void)!read(FAcordar[0], lixo, sizeof lixo);
            std::lock_guard trava(FTrava);
            if (FFim)
                break;
            if (FPedido != FModo) {
                if (FPedido == Modo::Cortado) {
                    close(FEscuta);
                    FEscuta = -1;
                    soltarTudo();
                } else if (FEscuta < 0) {
                    escutar();
                }
                FModo = FPedido;
                FMudou.notify_all();
            }
            continue; // the descriptors changed
        }
        size_t i = 1;
        const size_t vigiados = pares.size(); // a pair accepted now was not polled yet
        if (FEscuta >= 0 && fds[i++].revents) {
            const int c = accept4(FEscuta, nullptr, nullptr, SOCK_CLOEXEC);
            if (c >= 0 && (FModo == Modo::Parado || FModo == Modo::Congelado)) {
                parados.push_back(c);
            } else if (c >= 0 && FModo == Modo::Lixo) {
                static const char resposta[] = "\x7f\x00\x00\x00 this is not a Firebird server\n";
                (void)!write(c, resposta, sizeof resposta);
                close(c);
            } else if (c >= 0) {
                const int d = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
                const sockaddr_in a = loopback(FDestino);
                if (connect(d, reinterpret_cast<const sockaddr *>(&a), sizeof a) == 0) {
                    pares.emplace_back(c, d);
                } else {
                    close(c);
                    close(d);
                }
            }
        }
        for (size_t p = 0; p < vigiados; ++p, i += 2) {
            auto [c, d] = pares[p];
            const bool vivo =
                (!fds[i].revents || passar(c, d)) && (!fds[i + 1].revents || passar(d, c));
            if (!vivo) {
                close(c);
                close(d);
                pares[p] = {-1, -1};
            }
        }
        std::erase(pares, std::pair{-1, -1});
    }
    soltarTudo();
    if (FEscuta >= 0)
        close(FEscuta);
}
