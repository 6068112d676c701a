#include "BaseAberta.h"

#include "uDados.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <thread>

using Relogio = std::chrono::steady_clock;

struct TBaseAberta::Guarda {
    std::mutex Trava;
    std::condition_variable Acordar;
    bool Fim = false, Recusada = false;
    Relogio::time_point UltimoUso = Relogio::now();

    static void Manter(std::shared_ptr<Guarda> G, QString Caminho, std::atomic<int> &NoCliente);
};

void TBaseAberta::Guarda::Manter(std::shared_ptr<Guarda> G, QString Caminho,
                                std::atomic<int> &NoCliente) {
    std::unique_ptr<Banco> banco;
    std::chrono::milliseconds pausa{1000};
    Relogio::time_point tentativa{}; // the next attempt to open it
    std::unique_lock trava(G->Trava);
    while (!G->Fim) {
        const bool recusada = std::exchange(G->Recusada, false);
        const bool ociosa = Relogio::now() - G->UltimoUso >= Ociosa;
        trava.unlock();
        if (banco && (recusada || ociosa || !banco->Responde())) {
            banco.reset(); // a handle the server has ended is freed quietly
            pausa = std::chrono::milliseconds(1000);
            tentativa = Relogio::now() + (recusada ? pausa : std::chrono::milliseconds(0));
        }
        if (!banco && !ociosa && Relogio::now() >= tentativa) {
            try {
                banco = TDados::AbrirOciosa(Caminho);
                pausa = std::chrono::milliseconds(1000);
            } catch (...) {
                // The lookups report what is wrong with the database; this tries again later.
                tentativa = Relogio::now() + pausa;
                pausa = std::min(pausa * 2, PausaMaxima);
            }
        }
        trava.lock();
        if (G->Fim || G->Recusada)
            continue;
        if (banco)
            G->Acordar.wait_for(trava, Verificacao);
        else if (ociosa) // until the next lookup
            G->Acordar.wait(trava, [&] {
                return G->Fim || G->Recusada || Relogio::now() - G->UltimoUso < Ociosa;
            });
        else
            G->Acordar.wait_until(trava, tentativa);
    }
    trava.unlock();
    banco.reset();
    --NoCliente;
}

TBaseAberta::TBaseAberta(std::atomic<int> &NoCliente) : FNoCliente(NoCliente) {}

TBaseAberta::~TBaseAberta() {
    Manter({});
}

void TBaseAberta::Recusada() {
    if (!FGuarda)
        return;
    std::lock_guard trava(FGuarda->Trava);
    FGuarda->Recusada = true;
    FGuarda->Acordar.notify_all();
}

void TBaseAberta::Manter(const QString &DatabaseName) {
    const QString caminho = CaminhoEmbutido(DatabaseName) ? QString() : DatabaseName;
    if (caminho == FCaminho && FGuarda) {
        std::lock_guard trava(FGuarda->Trava);
        const bool ociosa = Relogio::now() - FGuarda->UltimoUso >= Ociosa;
        FGuarda->UltimoUso = Relogio::now();
        if (ociosa)
            FGuarda->Acordar.notify_all();
        return;
    }
    if (caminho == FCaminho)
        return;
    if (FGuarda) {
        std::lock_guard trava(FGuarda->Trava);
        FGuarda->Fim = true;
        FGuarda->Acordar.notify_all();
    }
    FGuarda.reset();
    FCaminho = caminho;
    if (caminho.isEmpty())
        return;
    auto guarda = std::make_shared<Guarda>();
    ++FNoCliente; // before the thread exists: an exit from now on waits for it
    try {
        std::thread(Guarda::Manter, guarda, caminho, std::ref(FNoCliente)).detach();
    } catch (const std::system_error &) {
        --FNoCliente; // no thread to be had: the lookups run as they would without it
        FCaminho.clear();
        return;
    }
    FGuarda = std::move(guarda);
}
