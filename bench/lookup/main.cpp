// One product lookup through TDados::BuscarProduto against the same lookup done with bare
// classic-API calls (attach, start, prepare, execute, fetch, commit, detach), interleaved in one
// run, on the embedded engine and through the local server. Prints medians, p99s and ratios.
// Usage: bench_lookup [lookups per path, default 200]
#include "BancoTeste.h"
#include "BuscaCrua.h"
#include "ItensMedidos.h"
#include "Mediana.h"
#include "uDados.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <vector>

namespace {

double segundos(const std::function<void()> &f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void medir(const char *rotulo, const QString &nome, int n) {
    const QByteArray nomeBytes = nome.toLocal8Bit();
    std::vector<double> dados, cru;
    int achados = 0;
    auto porTDados = [&] {
        TDados d(nome);
        achados += d.BuscarProduto("7890000004999")->Encontrado;
    };
    auto semCamada = [&] { buscaCrua(nomeBytes, "7890000004999"); };
    porTDados(); // warm-up: load the engine and fill the page cache
    semCamada();
    for (int i = 0; i < n; ++i) {
        // Alternate which goes first so that neither always finds the warmer state.
        if (i % 2) {
            dados.push_back(segundos(porTDados));
            cru.push_back(segundos(semCamada));
        } else {
            cru.push_back(segundos(semCamada));
            dados.push_back(segundos(porTDados));
        }
    }
    const double md = quantil(dados, 0.5), mc = quantil(cru, 0.5);
    const double pd = quantil(dados, 0.99), pc = quantil(cru, 0.99);
    std::printf("%-10s n=%d  TDados median %.2f ms p99 %.2f ms | bare median %.2f ms p99 %.2f ms"
                " | ratio median %.3f p99 %.3f (target <= 1.10)%s\n",
                rotulo, n, md * 1e3, pd * 1e3, mc * 1e3, pc * 1e3, md / mc, pd / pc,
                achados == n + 1 ? "" : "  LOOKUP FAILED");
}

} // namespace

int main(int argc, char **argv) {
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    try {
        BancoTeste bd(ItensMedidos());
        medir("embedded", bd.caminho(), n);
        medir("Localhost:", bd.viaServidor(), n);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_lookup: %s\n", e.what());
        return 1;
    }
    return 0;
}
