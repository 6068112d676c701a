// Strangers that connect, say hello and leave, many thousands of times, against the real server
// (ServidorLurma with the terminal library): the server's resident memory before and after.
// Every cycle adds a line to each connection log and an entry to the terminal list for a moment;
// the logs keep their last 1000 lines, so the growth must stay small. The reference is the
// server's own resident memory after a warm-up of 1000 cycles, in the same run.
//
// bench_conexoes [CYCLES]   (default 20000)
#include "BancoTeste.h"
#include "ItensMedidos.h"
#include "Processos.h"
#include "terminal_client.h"

#include <QCoreApplication>
#include <chrono>
#include <cstdio>

namespace {

using namespace lurma;

// Cycles from distinct loopback addresses (127.0.2.0 and up, wrapping after 60000), one after
// another; returns how many connected.
long ciclos(const asio::ip::tcp::endpoint &servidor, long primeiro, long n) {
    asio::io_context io;
    long conectados = 0;
    asio::co_spawn(
        io,
        [&]() -> asio::awaitable<void> {
            for (long i = primeiro; i < primeiro + n; ++i) {
                const auto local = asio::ip::address_v4(
                    asio::ip::make_address_v4("127.0.2.0").to_uint() + uint32_t(i % 60000) + 1);
                auto cliente = std::make_shared<TerminalClient>(io, local, Configuration{});
                if (co_await cliente->connect(servidor, std::chrono::seconds(5)))
                    ++conectados;
                cliente->close();
            }
        },
        asio::detached);
    io.run();
    return conectados;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication aplicacao(argc, argv);
    const long total = argc > 1 ? std::max(1000L, std::atol(argv[1])) : 20000;
    try {
        BancoTeste bd(ItensMedidos());
        ServidorEmTeste servidor(bd.viaServidor());
        if (!servidor.esperarPorta(15000)) {
            std::fprintf(stderr, "bench_conexoes: the server did not listen\n");
            return 1;
        }
        const asio::ip::tcp::endpoint destino(asio::ip::make_address_v4("127.0.0.1"),
                                              servidor.servidor().section(u':', 1).toUShort());
        const auto inicio = std::chrono::steady_clock::now();
        long conectados = ciclos(destino, 0, 1000); // warm-up: the logs fill to their bound
        const long referencia = servidor.memoriaKb();
        for (long feitos = 1000; feitos < total && servidor.rodando(); feitos += 1000) {
            conectados += ciclos(destino, feitos, std::min(1000L, total - feitos));
            std::printf("%7ld cycles  rss %ld kB\n", feitos + std::min(1000L, total - feitos),
                        servidor.memoriaKb());
            std::fflush(stdout);
        }
        const long fim = servidor.memoriaKb();
        const double segundos =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
        const double crescimentoMb = double(fim - referencia) / 1024.0;
        std::printf("cycles %ld (connected %ld) in %.0f s, server %s; rss after warm-up %ld kB "
                    "(reference), at the end %ld kB, ratio %.3f, growth %+.1f MB (target < 20 "
                    "MB): %s\n",
                    total, conectados, segundos, servidor.rodando() ? "up" : "DOWN", referencia,
                    fim, double(fim) / double(referencia), crescimentoMb,
                    crescimentoMb < 20 ? "ok" : "TOO MUCH");
        return crescimentoMb < 20 && servidor.rodando() ? 0 : 2;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_conexoes: %s\n", e.what());
        return 1;
    }
}
