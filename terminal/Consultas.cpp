#include "Consultas.h"

#include <QMetaObject>
#include <QTimer>
#include <condition_variable>
#include <deque>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <set>
#include <thread>

namespace {

// Workers that may hang in abandoned lookups beside the pool; past this, no fresh worker
// replaces a stuck one and the lookups wait (and pass their deadline) instead.
constexpr int MaxPresos = 16;

// Workers inside a lookup, across every pool; only taken up while a pool still has a
// destination, so it only falls once the pools are gone.
std::atomic<int> EmConsulta{0};

} // namespace

struct TConsultas::Estado : std::enable_shared_from_this<Estado> {
    struct Trabalho {
        uint32_t Endereco;
        uint64_t Numero;
        QString Banco, Codigo;
    };

    Estado(TConsultas *D, int N) : Destino(D), Trabalhadores(N) {}

    std::mutex Trava;
    std::condition_variable Chegou;
    TConsultas *Destino; // null once abandoned: nothing is posted any more, workers leave
    const int Trabalhadores;
    std::deque<Trabalho> Fila;
    std::set<uint64_t> Vencidos; // abandoned while running: their workers are stuck
    int Livres = 0, Vivos = 0;

    static void Trabalhar(std::shared_ptr<Estado> E);
    // The rest with Trava held.
    int Ativos() const { return Vivos - int(Vencidos.size()); }
    void Contratar() {
        if (Vivos >= Trabalhadores + MaxPresos)
            return;
        std::thread(Trabalhar, shared_from_this()).detach();
        ++Vivos;
        ++Livres;
    }
};

void TConsultas::Estado::Trabalhar(std::shared_ptr<Estado> E) {
    std::unique_lock trava(E->Trava);
    for (;;) {
        E->Chegou.wait(trava, [&] { return !E->Fila.empty() || !E->Destino; });
        if (!E->Destino)
            break;
        Trabalho t = std::move(E->Fila.front());
        E->Fila.pop_front();
        --E->Livres;
        ++EmConsulta;
        trava.unlock();

        auto r = std::make_shared<Resultado>();
        r->Endereco = t.Endereco;
        r->Codigo = t.Codigo;
        try {
            TDados dados(t.Banco);
            r->Produto = dados.BuscarProduto(t.Codigo);
        } catch (...) {
            r->Erro = std::current_exception();
        }
        --EmConsulta;

        trava.lock();
        ++E->Livres;
        // Posted while the lock is held, so the destination cannot be destroyed meanwhile; a
        // posted call dies with its destination.
        if (E->Destino)
            QMetaObject::invokeMethod(
                E->Destino,
                [d = E->Destino, t, r] { d->Terminou(t.Endereco, t.Numero, std::move(*r)); },
                Qt::QueuedConnection);
        E->Vencidos.erase(t.Numero);
        if (E->Ativos() > E->Trabalhadores) // a stuck worker came back: the pool shrinks again
            break;
    }
    --E->Livres;
    --E->Vivos;
}

bool TConsultas::EsperarTrabalhadores(std::chrono::milliseconds Prazo) {
    const auto fim = std::chrono::steady_clock::now() + Prazo;
    while (EmConsulta > 0) {
        if (std::chrono::steady_clock::now() >= fim)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TConsultas::TConsultas(Entrega AoTerminar, Atraso AoPassarDoPrazo, std::chrono::milliseconds Prazo,
                       int Trabalhadores, Atraso AoSubstituir)
    : FEntrega(std::move(AoTerminar)), FAtraso(std::move(AoPassarDoPrazo)),
      FSubstituida(std::move(AoSubstituir)), FPrazo(Prazo), FTrabalhadores(Trabalhadores) {
    Abandonar();
}

TConsultas::~TConsultas() {
    std::lock_guard trava(FEstado->Trava);
    FEstado->Destino = nullptr;
    FEstado->Fila.clear();
    FEstado->Chegou.notify_all();
}

void TConsultas::Abandonar() {
    if (FEstado) {
        std::lock_guard trava(FEstado->Trava);
        FEstado->Destino = nullptr;
        FEstado->Fila.clear();
        FEstado->Chegou.notify_all();
    }
    FEstado = std::make_shared<Estado>(this, FTrabalhadores);
    FTerminais.clear();
}

void TConsultas::Pedir(uint32_t Endereco, const QString &Banco, const QString &Codigo) {
    Pedido p{++FUltimo, Banco, Codigo};
    Terminal &t = FTerminais[Endereco];
    if (t.Rodando) {
        if (t.Esperando && FSubstituida)
            FSubstituida(Endereco, t.Esperando->Codigo);
        t.Esperando = std::move(p); // an older waiting scan is superseded
        return;
    }
    t.Rodando = p;
    Enviar(Endereco, p);
}

void TConsultas::Enviar(uint32_t Endereco, const Pedido &P) {
    // The deadline first: even a lookup that finds no worker (no thread could be made) ends.
    QTimer::singleShot(FPrazo, this, [this, Endereco, n = P.Numero] { Venceu(Endereco, n); });
    std::lock_guard trava(FEstado->Trava);
    FEstado->Fila.push_back({Endereco, P.Numero, P.Banco, P.Codigo});
    FEstado->Chegou.notify_one();
    if (FEstado->Livres < int(FEstado->Fila.size()) && FEstado->Ativos() < FTrabalhadores)
        FEstado->Contratar();
}

void TConsultas::Seguinte(uint32_t Endereco, Terminal &T) {
    if (!T.Esperando) {
        FTerminais.erase(Endereco);
        return;
    }
    T.Rodando = std::move(T.Esperando);
    T.Esperando.reset();
    Enviar(Endereco, *T.Rodando);
}

void TConsultas::Terminou(uint32_t Endereco, uint64_t Numero, Resultado R) {
    const auto i = FTerminais.find(Endereco);
    if (i == FTerminais.end() || !i->second.Rodando || i->second.Rodando->Numero != Numero)
        return; // abandoned
    i->second.Rodando.reset();
    const bool superada = i->second.Esperando.has_value(); // a newer scan came meanwhile
    Seguinte(Endereco, i->second);
    if (!superada || R.Erro) // a failure is told all the same
        FEntrega(R); // last: it may open a box whose event loop comes back here
    else if (FSubstituida)
        FSubstituida(Endereco, R.Codigo);
}

void TConsultas::Venceu(uint32_t Endereco, uint64_t Numero) {
    const auto i = FTerminais.find(Endereco);
    if (i == FTerminais.end() || !i->second.Rodando || i->second.Rodando->Numero != Numero)
        return; // ended in time
    const QString codigo = i->second.Rodando->Codigo;
    i->second.Rodando.reset();
    {
        std::lock_guard trava(FEstado->Trava);
        const auto j = std::find_if(FEstado->Fila.begin(), FEstado->Fila.end(),
                                    [&](const Estado::Trabalho &t) { return t.Numero == Numero; });
        if (j != FEstado->Fila.end()) {
            FEstado->Fila.erase(j); // never started: no worker is stuck
        } else {
            FEstado->Vencidos.insert(Numero); // its worker hangs: a fresh one takes its place
            FEstado->Contratar();
        }
    }
    Seguinte(Endereco, i->second);
    FAtraso(Endereco, codigo);
}
