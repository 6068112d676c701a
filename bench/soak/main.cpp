// Soak: terminals that stay connected and scan at a shop's pace against the real server
// (ServidorLurma with the terminal library, one lookup per barcode through "Localhost:"), while
// the server's resident memory and open file descriptors are sampled from /proc. Prints the
// samples, the least-squares slope of each after a warm-up, and whether both are flat. The
// reference is the server's own resident memory at the end of the warm-up, in the same run.
//
// The Firebird client itself grows the process a little with every remote attachment, and every
// lookup attaches. So that this growth is told apart from the program's own, this process runs
// the bare classic-API lookup (attach, lookup, detach through the same "Localhost:" path) once
// for every scan the server answers, on as many threads as the server's lookup pool, and
// measures its own growth per lookup alongside.
//
// Growth is judged per scan, over a shop's eight-hour day; a shorter pause measures it sooner.
//
// bench_soak [--seconds S] [--terminals N] [--pause-ms MS]   (defaults 600, 16, 2000; S at least
// 300, so that enough samples follow the warm-up)
#include "BancoTeste.h"
#include "BuscaCrua.h"
#include "Inclinacao.h"
#include "ItensMedidos.h"
#include "MemoriaProcesso.h"
#include "Opcao.h"
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
        // The bare client's lookups, as many as the server has answered (polled: a benchmark's
        // pacing, not a test's wait).
        constexpr int LookupsParalelos = 4; // the server's lookup pool
        std::atomic<long> crus{0}, pedidosCrus{0};
        std::atomic<bool> fimCru{false};
        std::vector<std::thread> cru;
        for (int i = 0; i < LookupsParalelos; ++i)
            cru.emplace_back([&] {
                const QByteArray nome = bd.viaServidor().toLocal8Bit();
                try {
                    while (!fimCru) {
                        long n = pedidosCrus;
                        if (n < conta.respondidas && pedidosCrus.compare_exchange_weak(n, n + 1)) {
                            buscaCrua(nome, codigos[size_t(n) % codigos.size()].c_str());
                            ++crus;
                        } else if (n >= conta.respondidas) {
                            std::this_thread::sleep_for(milliseconds(5));
                        }
                    }
                } catch (const std::exception &e) {
                    std::fprintf(stderr, "bench_soak: the bare lookup failed: %s\n", e.what());
                }
            });

        // About 30 samples over the run, at least one a second.
        const milliseconds passo(std::max(1000L, segundos * 1000 / 30));
        std::vector<double> t, rss, fds, respondidas, proprio, feitasCru;
        std::printf("%8s %10s %6s %9s %12s %9s\n", "seconds", "rss_kb", "fds", "answered",
                    "bare_rss_kb", "bare");
        for (auto proxima = inicio; proxima <= fim; proxima += passo) {
            std::this_thread::sleep_until(proxima);
            if (!servidor.rodando())
                break;
            t.push_back(duration<double>(steady_clock::now() - inicio).count());
            rss.push_back(double(servidor.memoriaKb()));
            fds.push_back(double(descritores(pid)));
            respondidas.push_back(double(conta.respondidas));
            proprio.push_back(double(memoriaKb()));
            feitasCru.push_back(double(crus));
            std::printf("%8.1f %10.0f %6.0f %9.0f %12.0f %9.0f\n", t.back(), rss.back(), fds.back(),
                        respondidas.back(), proprio.back(), feitasCru.back());
            std::fflush(stdout);
        }
        rede.join();
        fimCru = true;
        for (auto &t : cru)
            t.join();

        const bool vivo = servidor.rodando();
        const long erros = servidor.errosRelatados().size();
        // What the server says on its way out: under the sanitizers, LeakSanitizer's report.
        const bool terminou = servidor.encerrar(30000);
        if (const QString saida = servidor.saida().trimmed(); !saida.isEmpty())
            std::printf("server's messages at exit:\n%s\n", qPrintable(saida.right(4000)));
        // The warm-up: pools and caches fill once, and this process's embedded engine is
        // unloaded; the first fifth of the run, and at least until then.
        const size_t aquecido = size_t(std::max<long>(
            std::max<long>(1, long(t.size()) / 5),
            std::lower_bound(t.begin(), t.end(), double(DescarregamentoSegundos)) - t.begin()));
        if (t.size() < aquecido + 3) {
            std::fprintf(stderr, "bench_soak: too few samples (the server ended?)\n");
            return 1;
        }
        auto depois = [&](const std::vector<double> &v) {
            return std::vector<double>(v.begin() + long(aquecido), v.end());
        };
        const auto tt = depois(t), rr = depois(rss), ff = depois(fds), nn = depois(respondidas),
                   pp = depois(proprio), cc = depois(feitasCru);
        const double kbMin = inclinacao(tt, rr) * 60, fdsMin = inclinacao(tt, ff) * 60;
        // Growth per scan, and per bare lookup of the client alone, over a shop's eight-hour day
        // (16 terminals, a scan every 2 s each), whatever pace this run took to measure it.
        const double bPorScan = inclinacao(nn, rr) * 1024, bPorCru = inclinacao(cc, pp) * 1024;
        constexpr double scansDia = 16 * 8 * 3600 / 2.0;
        const double referencia = rr.front(), dia = bPorScan * scansDia / 1024,
                     diaProprio = (bPorScan - bPorCru) * scansDia / 1024;
        const auto [fMin, fMax] = std::minmax_element(ff.begin(), ff.end());
        // Flat: an eight-hour day adds under a tenth of the memory after warm-up; the descriptors
        // wander by at most the lookups that may run at once (a sample may fall inside them,
        // each with its connection to the database open).
        const bool memoriaPlana = dia < 0.10 * referencia;
        const bool propriaPlana = diaProprio < 0.10 * referencia;
        const bool descritoresPlanos = *fMax - *fMin <= LookupsParalelos;
        std::printf("soak  %ld terminals, pause %lld ms, %.0f s: answered %ld, noreply %ld, "
                    "connected %ld, lost %ld, errors reported %ld, server %s, %s\n",
                    terminais, (long long)pausa.count(), t.back(), conta.respondidas.load(),
                    conta.semResposta.load(), conta.conectados.load(), conta.perdidos.load(), erros,
                    vivo ? "up" : "DOWN", terminou ? "ended on SIGTERM" : "did NOT end");
        std::printf("rss   after warm-up %.0f kB (reference), last %.0f kB, ratio %.3f, slope "
                    "%+.1f kB/min, %+.0f B per scan; a shop's 8 h (%.0f scans): %+.0f kB: %s\n",
                    referencia, rr.back(), rr.back() / referencia, kbMin, bPorScan, scansDia, dia,
                    memoriaPlana ? "flat" : "NOT FLAT");
        std::printf("bare  the Firebird client alone: %.0f lookups after warm-up, %+.0f B per "
                    "lookup (server / bare %.2f); the server's own: %+.0f B per scan, %+.0f kB "
                    "per 8 h: %s\n",
                    cc.back() - cc.front(), bPorCru, bPorCru ? bPorScan / bPorCru : 0.0,
                    bPorScan - bPorCru, diaProprio, propriaPlana ? "flat" : "NOT FLAT");
        std::printf("fds   after warm-up %.0f..%.0f, slope %+.3f /min: %s\n", *fMin, *fMax, fdsMin,
                    descritoresPlanos ? "flat" : "NOT FLAT");
        std::fflush(stdout); // a sanitizer's report at exit would skip it
        // The client's own growth is not the program's to mend: the verdict is on the rest.
        return vivo && terminou && propriaPlana && descritoresPlanos ? 0 : 2;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_soak: %s\n", e.what());
        return 1;
    }
}
