// Soak: terminals that stay connected and scan at a shop's pace against the real server
// (ServidorLurma with the terminal library, one lookup per barcode through "Localhost:"), while
// the server's resident memory and open file descriptors are sampled from /proc. Prints the
// samples, the least-squares slope of each after a warm-up, and whether both are flat. The
// reference is the server's own resident memory at the end of the warm-up, in the same run.
//
// bench_soak [--seconds S] [--terminals N] [--pause-ms MS]   (defaults 600, 16, 2000)
#include "BancoTeste.h"
#include "ItensMedidos.h"
#include "Processos.h"
#include "terminal_client.h"

#include <QCoreApplication>
#include <QDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono;
using namespace lurma;

struct Contagem {
    std::atomic<long> respondidas{0}, semResposta{0}, conectados{0}, perdidos{0};
};

long descritores(qint64 pid) {
    return long(QDir(QStringLiteral("/proc/%1/fd").arg(pid))
                    .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
                    .size());
}

// Least-squares slope of y over x.
double inclinacao(const std::vector<double> &x, const std::vector<double> &y) {
    const double n = double(x.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    const double d = n * sxx - sx * sx;
    return d == 0 ? 0 : (n * sxy - sx * sy) / d;
}

// One terminal: connects once and scans until the deadline, pausing a random time between half
// and one and a half times Pausa between scans, as customers come by.
asio::awaitable<void> terminal(asio::io_context &io, asio::ip::tcp::endpoint servidor,
                               asio::ip::address_v4 local, const std::vector<std::string> &codigos,
                               milliseconds pausa, steady_clock::time_point fim, unsigned semente,
                               Contagem &conta) {
    auto cliente = std::make_shared<TerminalClient>(io, local, Configuration{});
    if (!co_await cliente->connect(servidor, seconds(5)))
        co_return;
    ++conta.conectados;
    std::mt19937 aleatorio(semente);
    std::uniform_int_distribution<long> espera(pausa.count() / 2, pausa.count() * 3 / 2);
    asio::steady_timer relogio(io);
    while (steady_clock::now() < fim && cliente->connected()) {
        relogio.expires_after(milliseconds(espera(aleatorio)));
        co_await relogio.async_wait(asio::use_awaitable);
        const auto resposta =
            co_await cliente->scan(codigos[aleatorio() % codigos.size()], seconds(5));
        ++(resposta ? conta.respondidas : conta.semResposta);
    }
    if (!cliente->connected())
        ++conta.perdidos;
    cliente->close();
}

long opcao(int argc, char **argv, const char *nome, long padrao) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], nome) == 0)
            return std::max(1L, std::atol(argv[i + 1]));
    return padrao;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication aplicacao(argc, argv);
    const long segundos = opcao(argc, argv, "--seconds", 600);
    const long terminais = opcao(argc, argv, "--terminals", 16);
    const milliseconds pausa(opcao(argc, argv, "--pause-ms", 2000));
    try {
        BancoTeste bd(ItensMedidos());
        // Mostly known codes, one in ten unknown.
        std::vector<std::string> codigos;
        for (int i = 0; i < 500; ++i)
            codigos.push_back(
                std::to_string(i % 10 ? 7890000000000LL + (i * 37) % 10000 : 7899000000000LL + i));

        ServidorEmTeste servidor(bd.viaServidor());
        if (!servidor.esperarPorta(15000)) {
            std::fprintf(stderr, "bench_soak: the server did not listen\n");
            return 1;
        }
        const qint64 pid = servidor.pid();
        const asio::ip::tcp::endpoint destino(asio::ip::make_address_v4("127.0.0.1"),
                                              servidor.servidor().section(u':', 1).toUShort());

        asio::io_context io;
        Contagem conta;
        const auto inicio = steady_clock::now(), fim = inicio + seconds(segundos);
        for (long i = 0; i < terminais; ++i)
            asio::co_spawn(
                io,
                terminal(io, destino,
                         asio::ip::address_v4(asio::ip::make_address_v4("127.0.1.1").to_uint() +
                                              uint32_t(i)),
                         codigos, pausa, fim, unsigned(i + 1), conta),
                asio::detached);
        std::thread rede([&io] { io.run(); });

        // About 30 samples over the run, at least one a second.
        const milliseconds passo(std::max(1000L, segundos * 1000 / 30));
        std::vector<double> t, rss, fds;
        std::printf("%8s %10s %6s %9s\n", "seconds", "rss_kb", "fds", "answered");
        for (auto proxima = inicio; proxima <= fim; proxima += passo) {
            std::this_thread::sleep_until(proxima);
            if (!servidor.rodando())
                break;
            t.push_back(duration<double>(steady_clock::now() - inicio).count());
            rss.push_back(double(servidor.memoriaKb()));
            fds.push_back(double(descritores(pid)));
            std::printf("%8.1f %10.0f %6.0f %9ld\n", t.back(), rss.back(), fds.back(),
                        conta.respondidas.load());
            std::fflush(stdout);
        }
        rede.join();

        const bool vivo = servidor.rodando();
        const long erros = servidor.errosRelatados().size();
        // What the server says on its way out: under the sanitizers, LeakSanitizer's report.
        const bool terminou = servidor.encerrar(30000);
        if (const QString saida = servidor.saida().trimmed(); !saida.isEmpty())
            std::printf("server's messages at exit:\n%s\n", qPrintable(saida.right(4000)));
        // The first fifth of the run is the warm-up: pools and caches fill once.
        const size_t aquecido = std::max<size_t>(1, t.size() / 5);
        if (t.size() < aquecido + 3) {
            std::fprintf(stderr, "bench_soak: too few samples (the server ended?)\n");
            return 1;
        }
        const std::vector<double> tt(t.begin() + long(aquecido), t.end()),
            rr(rss.begin() + long(aquecido), rss.end()),
            ff(fds.begin() + long(aquecido), fds.end());
        const double kbMin = inclinacao(tt, rr) * 60, fdsMin = inclinacao(tt, ff) * 60;
        const double referencia = rr.front(), dia = kbMin * 60 * 8;
        const auto [fMin, fMax] = std::minmax_element(ff.begin(), ff.end());
        // Flat: an eight-hour day at this slope adds under a tenth of the memory after warm-up;
        // the descriptors wander by one at most (a sample may fall inside a lookup, whose
        // connection to the database is open).
        const bool memoriaPlana = dia < 0.10 * referencia;
        const bool descritoresPlanos = *fMax - *fMin <= 1;
        std::printf("soak  %ld terminals, pause %lld ms, %.0f s: answered %ld, noreply %ld, "
                    "connected %ld, lost %ld, errors reported %ld, server %s, %s\n",
                    terminais, (long long)pausa.count(), t.back(), conta.respondidas.load(),
                    conta.semResposta.load(), conta.conectados.load(), conta.perdidos.load(), erros,
                    vivo ? "up" : "DOWN", terminou ? "ended on SIGTERM" : "did NOT end");
        std::printf("rss   after warm-up %.0f kB (reference), last %.0f kB, ratio %.3f, slope "
                    "%+.1f kB/min (%+.0f kB per 8 h): %s\n",
                    referencia, rr.back(), rr.back() / referencia, kbMin, dia,
                    memoriaPlana ? "flat" : "NOT FLAT");
        std::printf("fds   after warm-up %.0f..%.0f, slope %+.3f /min: %s\n", *fMin, *fMax, fdsMin,
                    descritoresPlanos ? "flat" : "NOT FLAT");
        std::fflush(stdout); // a sanitizer's report at exit would skip it
        return vivo && terminou && memoriaPlana && descritoresPlanos ? 0 : 2;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_soak: %s\n", e.what());
        return 1;
    }
}
