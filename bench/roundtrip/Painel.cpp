#include "Painel.h"

#include "BancoTeste.h"
#include "ClienteHttp.h"
#include "ItensMedidos.h"
#include "Mediana.h"
#include "PortaLivre.h"
#include "Processos.h"

#include <QTemporaryFile>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

namespace {

// Reads the panel as Prometheus and an open page do, until told to stop: /api/estado every
// 100 ms by the clock, /metrics every tenth time. Each request asks for the close, so that the
// client sees the reply's end at once (on a kept connection it waits to see none comes).
class Leitores {
public:
    explicit Leitores(quint16 Porta)
        : FLinha([this, Porta] {
              const QByteArray fechar = "Connection: close\r\n";
              auto proxima = std::chrono::steady_clock::now();
              for (int i = 0; !FFim; ++i) {
                  if (i % 10 == 0)
                      contar(pedirHttp(Porta, getHttp("/metrics", fechar)));
                  contar(pedirHttp(Porta, getHttp("/api/estado", fechar)));
                  std::this_thread::sleep_until(proxima += std::chrono::milliseconds(100));
              }
          }) {}
    ~Leitores() {
        FFim = true;
        FLinha.join();
    }
    int lidas() const { return FLidas; }
    int falhas() const { return FFalhas; }

private:
    void contar(const RespostaHttp &R) { ++(R.status == 200 ? FLidas : FFalhas); }
    std::atomic<bool> FFim = false;
    std::atomic<int> FLidas = 0, FFalhas = 0;
    std::thread FLinha;
};

} // namespace

int MedirComPainel(int Rodadas, int Leituras) {
    BancoTeste bd(ItensMedidos());
    QTemporaryFile achados, ausentes;
    achados.open();
    ausentes.open();
    for (int i = 0; i < 200; ++i)
        achados.write(QByteArray::number(7890000000000LL + (i * 37) % 10000) + '\n');
    for (int i = 0; i < 1000; ++i) // never in the register: the panel's not-found table fills
        ausentes.write(QByteArray::number(5550000000000LL + i * 7919) + '\n');
    achados.flush();
    ausentes.flush();

    const quint16 portaPainel = portaLivre();
    ProgramaEmTeste comPainel;
    comPainel.Painel = QStringLiteral("127.0.0.1:%1").arg(portaPainel);
    ServidorEmTeste sem(bd.viaServidor()), com(bd.viaServidor(), comPainel);
    if (!sem.esperarPorta(15000) || !com.esperarPorta(15000)) {
        std::fprintf(stderr, "bench_roundtrip: a server did not listen\n");
        return 1;
    }
    // The same history in both: a full scan list and a thousand not-found codes.
    for (ServidorEmTeste *s : {&sem, &com}) {
        carga(s->servidor(), "127.0.0.2", 1, 1000, ausentes.fileName());
        carga(s->servidor(), "127.0.0.2", 1, 5, achados.fileName());
    }
    const QByteArray estado = pedirHttp(portaPainel, getHttp("/api/estado")).corpo;

    // Rounds alternate between the two servers so that neither always meets the warmer machine.
    std::vector<double> medSem, medCom, p99Sem, p99Com;
    int semResposta = 0, lidas = 0, falhas = 0;
    double segundosComPainel = 0;
    for (int r = 0; r < Rodadas; ++r) {
        for (const bool painel : {r % 2 == 0, r % 2 != 0}) {
            ServidorEmTeste &s = painel ? com : sem;
            std::optional<Leitores> leitores;
            if (painel)
                leitores.emplace(portaPainel);
            const auto inicio = std::chrono::steady_clock::now();
            const auto f = carga(s.servidor(), "127.0.0.3", 1, Leituras, achados.fileName());
            if (painel) {
                lidas += leitores->lidas();
                falhas += leitores->falhas();
                segundosComPainel +=
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - inicio).count();
            }
            semResposta += int(f.value("noreply"));
            (painel ? medCom : medSem).push_back(f.value("latency_us_median") / 1000.0);
            (painel ? p99Com : p99Sem).push_back(f.value("latency_us_p99") / 1000.0);
        }
    }
    const double mSem = mediana(medSem), mCom = mediana(medCom), pSem = mediana(p99Sem),
                 pCom = mediana(p99Com);
    std::printf("panel    rounds=%d scans/round=%d  /api/estado %lld bytes; %d requests (%.1f a "
                "second, %d failed), one in eleven /metrics\n",
                Rodadas, Leituras, static_cast<long long>(estado.size()), lidas,
                lidas / std::max(segundosComPainel, 1e-9), falhas);
    std::printf("panel    median %.2f ms with vs %.2f ms without: ratio %.3f | p99 %.2f ms vs "
                "%.2f ms: ratio %.3f (target <= 1.03)  noreply=%d\n",
                mCom, mSem, mCom / mSem, pCom, pSem, pCom / pSem, semResposta);
    for (ServidorEmTeste *s : {&sem, &com})
        if (!s->errosRelatados().isEmpty())
            std::printf("errors reported by a server: %s\n",
                        qPrintable(s->errosRelatados().join(" | ")));
    return 0;
}
