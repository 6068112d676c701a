// Scan-to-reply through the real server (ServidorLurma with the terminal library, one lookup per
// barcode), as a terminal sees it, on both kinds of path (Localhost: through the Firebird server,
// where the program holds the database open; a plain path through the program's own embedded
// engine), beside two references measured in the same run on a second copy of the database that
// nothing else holds: the bare classic-API lookup with the database closed between lookups (the
// floor of a lookup that attaches and detaches), and the same with an idle attachment of this
// process holding the database open. Rounds interleave them, so that none always meets the
// warmer machine.
//
// Then 16 terminals: first at a busy shop's pace (each scans, then waits half a second to a
// second and a half), for the latency a customer sees; then back to back, for the most the
// server answers in a second, against 1 / floor.
//
// bench_roundtrip [ROUNDS [SCANS PER ROUND [server|plain]]]   (defaults 10 and 40, both kinds)
// bench_roundtrip --painel [ROUNDS [SCANS PER ROUND]]: the panel's cost instead (Painel.h).
#include "BancoTeste.h"
#include "BuscaCrua.h"
#include "ItensMedidos.h"
#include "Mediana.h"
#include "Painel.h"
#include "Processos.h"
#include "terminal_client.h"

#include <QCoreApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace std::chrono;
using namespace lurma;

struct Figuras {
    std::vector<double> ms; // one per answered scan or lookup
    long semResposta = 0;
    double segundos = 0;

    double mediana() const { return ::mediana(ms); }
    double maximo() const { return ms.empty() ? 0 : *std::max_element(ms.begin(), ms.end()); }
    void juntar(const Figuras &f) {
        ms.insert(ms.end(), f.ms.begin(), f.ms.end());
        semResposta += f.semResposta;
        segundos += f.segundos;
    }
    std::string texto() const {
        char t[160];
        std::snprintf(t, sizeof t, "median %6.2f  p99 %7.2f  max %7.2f ms", mediana(),
                      quantil(ms, 0.99), maximo());
        return t;
    }
};

double desde(steady_clock::time_point t0) {
    return duration<double, std::milli>(steady_clock::now() - t0).count();
}

// One terminal from Local scanning Leituras codes from the Primeiro-th on; between two scans a
// pause drawn between half and one and a half times Pausa (none when zero).
asio::awaitable<void> terminal(asio::io_context &io, asio::ip::tcp::endpoint destino,
                               asio::ip::address_v4 local, int primeiro, int leituras,
                               milliseconds pausa, const std::vector<std::string> &codigos,
                               Figuras &f) {
    auto cliente = std::make_shared<TerminalClient>(io, local, Configuration{});
    if (!co_await cliente->connect(destino, seconds(5))) {
        f.semResposta += leituras;
        co_return;
    }
    std::mt19937 aleatorio(unsigned(primeiro + 1));
    std::uniform_int_distribution<long> espera(pausa.count() / 2, pausa.count() * 3 / 2);
    asio::steady_timer relogio(io);
    for (int n = 0; n < leituras; ++n) {
        if (pausa.count() > 0) {
            relogio.expires_after(milliseconds(espera(aleatorio)));
            co_await relogio.async_wait(asio::use_awaitable);
        }
        const auto t = steady_clock::now();
        const auto resposta =
            co_await cliente->scan(codigos[size_t(primeiro + n) % codigos.size()], seconds(5));
        if (resposta)
            f.ms.push_back(desde(t));
        else
            ++f.semResposta;
    }
    cliente->close();
}

// Terminais terminals from 127.0.2.1 upwards, side by side.
Figuras escanear(const QString &servidor, int terminais, int leituras, milliseconds pausa,
                 const std::vector<std::string> &codigos) {
    asio::io_context io;
    const asio::ip::tcp::endpoint destino(asio::ip::make_address_v4("127.0.0.1"),
                                          servidor.section(u':', 1).toUShort());
    const uint32_t primeiro = asio::ip::make_address_v4("127.0.2.1").to_uint();
    Figuras f;
    const auto t0 = steady_clock::now();
    for (int i = 0; i < terminais; ++i)
        asio::co_spawn(io,
                       terminal(io, destino, asio::ip::address_v4(primeiro + uint32_t(i)),
                                i * leituras, leituras, pausa, codigos, f),
                       asio::detached);
    io.run();
    f.segundos = desde(t0) / 1000;
    return f;
}

Figuras bare(const QByteArray &nome, int n, const std::vector<std::string> &codigos) {
    Figuras f;
    for (int i = 0; i < n; ++i) {
        const auto t = steady_clock::now();
        buscaCrua(nome, codigos[size_t(i) % codigos.size()].c_str());
        f.ms.push_back(desde(t));
    }
    return f;
}

void medir(const char *rotulo, bool viaServidor, int rodadas, int leituras,
           const std::vector<std::string> &codigos) {
    BancoTeste servido(ItensMedidos()), referencia(ItensMedidos());
    const QByteArray ref = (viaServidor ? referencia.viaServidor() : referencia.caminho()).toLocal8Bit();
    ServidorEmTeste servidor(viaServidor ? servido.viaServidor() : servido.caminho());
    if (!servidor.esperarPorta(15000))
        throw std::runtime_error("the server did not listen");
    escanear(servidor.servidor(), 1, 5, {}, codigos); // warm-up
    bare(ref, 5, codigos);

    Figuras piso, aberto, ida;
    for (int r = 0; r < rodadas; ++r) {
        piso.juntar(bare(ref, leituras, codigos));
        {
            AnexoOciosoCru segura(ref);
            aberto.juntar(bare(ref, leituras, codigos));
        }
        ida.juntar(escanear(servidor.servidor(), 1, leituras, {}, codigos));
    }
    std::printf("%s  1 terminal, %d scans (%d rounds)\n", rotulo, rodadas * leituras, rodadas);
    std::printf("  scan-to-reply           %s  noreply %ld\n", ida.texto().c_str(), ida.semResposta);
    std::printf("  bare, closed between    %s  (floor)\n", piso.texto().c_str());
    std::printf("  bare, held open         %s\n", aberto.texto().c_str());
    std::printf("  scan-to-reply median / floor median %.3f%s\n", ida.mediana() / piso.mediana(),
                viaServidor ? "  (target <= 0.70)" : "");

    const Figuras passo = escanear(servidor.servidor(), 16, 60, milliseconds(1000), codigos);
    std::printf("%s  16 terminals at a shop's pace (a scan every 0.5-1.5 s each), %zu answered, "
                "noreply %ld (target 0)\n  scan-to-reply           %s  (targets p99 <= 100, max "
                "<= 250)\n",
                rotulo, passo.ms.size(), passo.semResposta, passo.texto().c_str());

    Figuras pisoCarga = bare(ref, 100, codigos);
    const Figuras carga = escanear(servidor.servidor(), 16, 125, {}, codigos);
    pisoCarga.juntar(bare(ref, 100, codigos));
    const double vazao = double(carga.ms.size()) / carga.segundos, umPiso = 1000 / pisoCarga.mediana();
    std::printf("%s  16 terminals back to back, %zu answered, noreply %ld: %.1f replies/s | "
                "1/floor %.1f /s | ratio %.2f%s\n  scan-to-reply           %s\n",
                rotulo, carga.ms.size(), carga.semResposta, vazao, umPiso, vazao / umPiso,
                viaServidor ? "  (target >= 3)" : "", carga.texto().c_str());
    const QStringList erros = servidor.errosRelatados();
    if (!erros.isEmpty())
        std::printf("  errors reported by the server: %s\n", qPrintable(erros.join(" | ")));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication aplicacao(argc, argv);
    const bool painel = argc > 1 && QByteArray(argv[1]) == "--painel";
    const int primeiro = painel ? 2 : 1;
    const int rodadas = argc > primeiro ? std::max(1, atoi(argv[primeiro])) : 10;
    const int leituras = argc > primeiro + 1 ? std::max(1, atoi(argv[primeiro + 1])) : 40;
    try {
        if (painel)
            return MedirComPainel(rodadas, leituras);
        std::vector<std::string> codigos;
        for (int i = 0; i < 200; ++i)
            codigos.push_back(std::to_string(7890000000000LL + (i * 37) % 10000));
        const std::string so = argc > 3 ? argv[3] : "";
        if (so != "plain")
            medir("Localhost:", true, rodadas, leituras, codigos);
        if (so != "server")
            medir("plain path", false, rodadas, leituras, codigos);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_roundtrip: %s\n", e.what());
        return 1;
    }
    return 0;
}
