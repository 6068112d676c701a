// Scan-to-reply latency through the real server (ServidorLurma with the terminal library, one
// lookup per barcode through "Localhost:") as lurma-terminal measures it, against the floor
// measured in the same run: the bare classic-API lookup on the same database. The two are
// interleaved in rounds so that neither always meets the warmer machine. Then 16 terminals scan
// together, 2000 scans, against the floor's throughput (1 / floor median).
//
// bench_roundtrip [ROUNDS [SCANS PER ROUND]]   (defaults 15 and 40)
// bench_roundtrip --painel [ROUNDS [SCANS PER ROUND]]: the panel's cost instead (Painel.h).
#include "BancoTeste.h"
#include "BuscaCrua.h"
#include "ItensMedidos.h"
#include "Mediana.h"
#include "Painel.h"
#include "Processos.h"

#include <QCoreApplication>
#include <QTemporaryFile>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

int main(int argc, char **argv) {
    QCoreApplication aplicacao(argc, argv);
    const bool painel = argc > 1 && QByteArray(argv[1]) == "--painel";
    const int primeiro = painel ? 2 : 1;
    const int rodadas = argc > primeiro ? std::max(1, atoi(argv[primeiro])) : 15;
    const int leituras = argc > primeiro + 1 ? std::max(1, atoi(argv[primeiro + 1])) : 40;
    try {
        if (painel)
            return MedirComPainel(rodadas, leituras);
        BancoTeste bd(ItensMedidos());
        std::vector<QByteArray> codigos;
        QTemporaryFile arquivo;
        arquivo.open();
        for (int i = 0; i < 200; ++i) {
            codigos.push_back(QByteArray::number(7890000000000LL + (i * 37) % 10000));
            arquivo.write(codigos.back() + '\n');
        }
        arquivo.flush();

        const QByteArray nome = bd.viaServidor().toLocal8Bit();
        ServidorEmTeste servidor(bd.viaServidor());
        if (!servidor.esperarPorta(15000)) {
            std::fprintf(stderr, "bench_roundtrip: the server did not listen\n");
            return 1;
        }
        carga(servidor.servidor(), "127.0.0.2", 1, 5, arquivo.fileName()); // warm-up
        buscaCrua(nome, codigos[0].constData());

        // Bare lookups, each timed in milliseconds.
        const auto medirPiso = [&](int n, std::vector<double> &tempos) {
            for (int i = 0; i < n; ++i) {
                const auto t0 = std::chrono::steady_clock::now();
                buscaCrua(nome, codigos[size_t(i) % codigos.size()].constData());
                tempos.push_back(
                    std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                        .count());
            }
        };
        std::vector<double> piso, ida;
        int semResposta = 0;
        for (int r = 0; r < rodadas; ++r) {
            medirPiso(leituras, piso);
            const auto f = carga(servidor.servidor(), "127.0.0.2", 1, leituras, arquivo.fileName());
            semResposta += int(f.value("noreply"));
            ida.push_back(f.value("latency_us_median") / 1000.0);
        }
        const double mPiso = mediana(piso), mIda = mediana(ida);
        std::printf("latency  rounds=%d scans/round=%d  scan-to-reply median %.2f ms | bare lookup "
                    "median %.2f ms | ratio %.3f (target <= 1.10)  noreply=%d\n",
                    rodadas, leituras, mIda, mPiso, mIda / mPiso, semResposta);

        // The floor for the load is measured right before and right after it.
        std::vector<double> pisoCarga;
        medirPiso(100, pisoCarga);
        const auto f = carga(servidor.servidor(), "127.0.0.10", 16, 125, arquivo.fileName());
        medirPiso(100, pisoCarga);
        const double respondidas = f.value("price") + f.value("notfound");
        const double vazao = f.value("replies_per_second"),
                     referencia = 1000.0 / mediana(pisoCarga);
        std::printf("load     16 terminals x 125 scans: answered %.0f of 2000 (noreply %.0f), "
                    "%.1f replies/s | 1/floor %.1f /s | ratio %.3f (target >= 1.5) | latency "
                    "median %.1f ms p99 %.1f ms\n",
                    respondidas, f.value("noreply"), vazao, referencia, vazao / referencia,
                    f.value("latency_us_median") / 1000.0, f.value("latency_us_p99") / 1000.0);
        const QStringList erros = servidor.errosRelatados();
        if (!erros.isEmpty())
            std::printf("errors reported by the server: %s\n", qPrintable(erros.join(" | ")));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_roundtrip: %s\n", e.what());
        return 1;
    }
    return 0;
}
