// The Firebird client alone: worker threads that each loop the bare classic-API lookup (attach,
// lookup, detach), with no server, window or terminal library, while the process's resident
// memory and malloc's own figures are sampled. Shows whether the client's per-attachment work
// grows the process on its own, for a path (embedded or "Localhost:") and a number of threads.
//
// bench_cliente [--seconds S] [--threads N] [--embedded] [--attach-only] [--trim]
//   (defaults 300 s, at least 200 to leave samples after the warm-up; 4 threads)
//   --attach-only: attach and detach, no transaction or statement, to tell which part grows;
//   --info: with it, one database information request (the SQL dialect) between the two;
//   --tdados: the program's own lookup (TDados::BuscarProduto) instead of the bare one.
//   --trim: malloc_trim(0) after each lookup, to tell free but unreturned memory from live.
#include "BancoTeste.h"
#include "BuscaCrua.h"
#include "Inclinacao.h"
#include "ItensMedidos.h"
#include "MemoriaProcesso.h"
#include "Opcao.h"
#include "uDados.h"

#include <ibase.h>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <malloc.h>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono;

// Only the attachment, what every lookup starts and ends with; with one information request.
void conectarCru(const QByteArray &nome, bool informacao) {
    static const char dpb[] = {isc_dpb_version1, isc_dpb_user_name, 6, 'S', 'Y', 'S', 'D', 'B', 'A',
                               isc_dpb_password, 9, 'p', 'l', 'u', 'm', 't', 'o', 'w', 'e', 'r'};
    ISC_STATUS_ARRAY st;
    isc_db_handle db = 0;
    const char item = isc_info_db_sql_dialect;
    char resposta[16];
    if (isc_attach_database(st, short(nome.size()), nome.constData(), &db, sizeof dpb, dpb) ||
        (informacao && isc_database_info(st, &db, 1, &item, sizeof resposta, resposta)) ||
        isc_detach_database(st, &db))
        throw std::runtime_error("attach or detach failed");
}

bool tem(int argc, char **argv, const char *nome) {
    return std::any_of(argv + 1, argv + argc, [&](const char *a) { return !std::strcmp(a, nome); });
}

} // namespace

int main(int argc, char **argv) {
    const long segundos = opcao(argc, argv, "--seconds", 300);
    const long threads = opcao(argc, argv, "--threads", 4);
    const bool embutido = tem(argc, argv, "--embedded"), aparar = tem(argc, argv, "--trim"),
               soConexao = tem(argc, argv, "--attach-only"), informacao = tem(argc, argv, "--info"),
               porTDados = tem(argc, argv, "--tdados");
    try {
        BancoTeste bd(ItensMedidos());
        const QByteArray nome = (embutido ? bd.caminho() : bd.viaServidor()).toLocal8Bit();
        std::atomic<long> feitas{0};
        std::atomic<bool> parar{false};
        std::vector<std::thread> trabalhadores;
        for (long i = 0; i < threads; ++i)
            trabalhadores.emplace_back([&, i] {
                for (long n = i; !parar; ++n) {
                    const std::string codigo = std::to_string(7890000000000LL + (n * 37) % 10000);
                    if (soConexao)
                        conectarCru(nome, informacao);
                    else if (porTDados)
                        TDados(QString::fromLocal8Bit(nome)).BuscarProduto(
                            QString::fromStdString(codigo));
                    else
                        buscaCrua(nome, codigo.c_str());
                    if (aparar)
                        malloc_trim(0);
                    ++feitas;
                }
            });
        const auto inicio = steady_clock::now();
        std::printf("%8s %8s %10s %12s %12s\n", "seconds", "lookups", "rss_kb", "heap_used_kb",
                    "heap_held_kb");
        std::vector<double> feitasAmostra, rss;
        for (long s = 0; s <= segundos; s += std::max(1L, segundos / 30)) {
            std::this_thread::sleep_until(inicio + seconds(s));
            const struct mallinfo2 m = mallinfo2();
            const long agora = memoriaKb();
            // Growth counts only after a fifth of the run and the engine's unloading.
            if (s >= std::max(segundos / 5, DescarregamentoSegundos)) {
                feitasAmostra.push_back(double(feitas));
                rss.push_back(double(agora));
            }
            std::printf("%8ld %8ld %10ld %12zu %12zu\n", s, feitas.load(), agora, m.uordblks / 1024,
                        (m.arena + m.hblkhd) / 1024);
            std::fflush(stdout);
        }
        parar = true;
        for (auto &t : trabalhadores)
            t.join();
        if (rss.size() < 3) {
            std::fprintf(stderr, "bench_cliente: too few samples after the warm-up\n");
            return 1;
        }
        std::printf("client %s, %ld threads%s%s%s: %.0f lookups after warm-up, rss %+.0f kB, %+.1f B "
                    "per lookup (slope)\n",
                    embutido ? "embedded" : "Localhost:", threads, aparar ? ", trimmed" : "",
                    soConexao ? (informacao ? ", attach, one info request, detach"
                                            : ", attach and detach only")
                              : "",
                    porTDados ? ", TDados" : "",
                    feitasAmostra.back() - feitasAmostra.front(), rss.back() - rss.front(),
                    inclinacao(feitasAmostra, rss) * 1024);
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_cliente: %s\n", e.what());
        return 1;
    }
}
