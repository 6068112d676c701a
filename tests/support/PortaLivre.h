#pragma once
// A loopback port for a server of the test's own. Test processes run side by side, and the
// program binds its port only a second after it starts (its start-up timer), so a port free a
// moment ago may be handed to two of them: a port is taken only with its lock file, which this
// process holds until it ends. Plain POSIX, for the terminal library's tests as well.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

[[noreturn]] inline void semPortaLivre(const std::string &motivo) {
    std::fprintf(stderr, "no loopback port for the test: %s\n", motivo.c_str());
    std::abort();
}

inline std::uint16_t portaLivre() {
    const char *tmp = std::getenv("TMPDIR");
    const std::string pasta = std::string(tmp && *tmp ? tmp : "/tmp") + "/lurma-testes-portas";
    if (mkdir(pasta.c_str(), 01777) == 0)
        chmod(pasta.c_str(), 01777); // shared by every user's tests, whatever the umask
    for (int tentativa = 0; tentativa < 1000; ++tentativa) {
        sockaddr_in endereco{};
        endereco.sin_family = AF_INET;
        endereco.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t tamanho = sizeof endereco;
        const int sonda = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool sondada =
            sonda >= 0 && bind(sonda, reinterpret_cast<sockaddr *>(&endereco), tamanho) == 0 &&
            getsockname(sonda, reinterpret_cast<sockaddr *>(&endereco), &tamanho) == 0;
        const int erro = errno;
        if (sonda >= 0)
            close(sonda);
        if (!sondada)
            semPortaLivre(std::strerror(erro));
        const std::uint16_t porta = ntohs(endereco.sin_port);
        const std::string trava = pasta + '/' + std::to_string(porta);
        // Created only when missing: with fs.protected_regular, O_CREAT on another user's
        // file in a sticky folder fails even where reading it would not.
        int fd = open(trava.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT)
            fd = open(trava.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644);
        if (fd < 0)
            semPortaLivre(trava + ": " + std::strerror(errno));
        if (flock(fd, LOCK_EX | LOCK_NB) == 0)
            return porta; // the descriptor stays open: the lock lives with the process
        close(fd);
    }
    semPortaLivre("every free port tried is held by another test process");
}
