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
        bool Embutido; // a plain path: one lookup at a time on it
        std::chrono::steady_clock::time_point Inicio;
    };

    Estado(TConsultas *D, int N) : Destino(D), Trabalhadores(N) {}
    // What the pool keeps of a terminal's scan.
    static Trabalho De(uint32_t Endereco, const Pedido &P) {
        return {Endereco, P.Numero, P.Banco, P.Codigo, CaminhoEmbutido(P.Banco), P.Inicio};
    }

    std::mutex Trava;
    std::condition_variable Chegou;
    TConsultas *Destino; // null once abandoned: nothing is posted any more, workers leave
    const int Trabalhadores;
    std::deque<Trabalho> Fila;
    std::set<uint64_t> Vencidos; // abandoned while running: their workers are stuck
    // Plain paths with a lookup running. On such a path every lookup opens the file in this
    // process's engine and the last detach closes it; with lookups side by side an attach that
    // met a closing waited a whole second (p99 over 1 s with 16 terminals at a shop's pace).
    // One at a time has no such wait, at the price of the floor's throughput (bench_roundtrip).
    std::set<QString> Embutidos;
    int Livres = 0, Vivos = 0;

    static void Trabalhar(std::shared_ptr<Estado> E);
    // The rest with Trava held.
    int Ativos() const { return Vivos - int(Vencidos.size()); }
    // The waiting lookup of that number; Fila.end() once a worker has taken it.
    std::deque<Trabalho>::iterator NaFila(uint64_t Numero) {
        return std::find_if(Fila.begin(), Fila.end(),
                            [Numero](const Trabalho &t) { return t.Numero == Numero; });
    }
    // The first waiting lookup that may start now.
    std::deque<Trabalho>::iterator Proximo() {
        return std::find_if(Fila.begin(), Fila.end(), [this](const Trabalho &t) {
            return !t.Embutido || !Embutidos.contains(t.Banco);
        });
    }
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
        auto proximo = E->Fila.end();
        E->Chegou.wait(trava, [&] { return !E->Destino || (proximo = E->Proximo()) != E->Fila.end(); });
        if (!E->Destino)
            break;
        Trabalho t = std::move(*proximo);
        E->Fila.erase(proximo);
        if (t.Embutido)
            E->Embutidos.insert(t.Banco);
        --E->Livres;
        ++EmConsulta;
        trava.unlock();

        auto r = std::make_shared<Resultado>();
        r->Endereco = t.Endereco;
        r->Codigo = t.Codigo;
        r->Inicio = t.Inicio;
        try {
            TDados dados(t.Banco);
            r->Produto = dados.BuscarProduto(t.Codigo);
        } catch (...) {
            r->Erro = std::current_exception();
        }
        --EmConsulta;

        trava.lock();
        ++E->Livres;
        if (t.Embutido) {
            E->Embutidos.erase(t.Banco);
            E->Chegou.notify_all(); // the next lookup on that path may start
        }
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
                       int Trabalhadores, Atraso AoSubstituir, bool BaseAberta)
    : FEntrega(std::move(AoTerminar)), FAtraso(std::move(AoPassarDoPrazo)),
      FSubstituida(std::move(AoSubstituir)), FPrazo(Prazo), FTrabalhadores(Trabalhadores),
      FBase(BaseAberta ? std::make_unique<TBaseAberta>(EmConsulta) : nullptr) {
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
    if (FBase)
        FBase->Manter({});
}

void TConsultas::CaminhoMudou(const QString &Banco) {
    if (FBase && FBase->Caminho() != Banco)
        FBase->Manter({});
}

void TConsultas::Pedir(uint32_t Endereco, const QString &Banco, const QString &Codigo) {
    if (FBase)
        FBase->Manter(Banco);
    Pedido p{++FUltimo, Banco, Codigo, std::chrono::steady_clock::now()};
    Terminal &t = FTerminais[Endereco];
    if (!t.Rodando) {
        t.Rodando = p;
        Enviar(Endereco, p);
        return;
    }
    // The newer scan takes the place of the terminal's scan that has not started, wherever it
    // waits: in the pool's queue (it never starts), or here behind the running one.
    const bool naFila = TomarLugar(t.Rodando->Numero, p);
    std::optional<Pedido> &lugar = naFila ? t.Rodando : t.Esperando;
    if (lugar && FSubstituida)
        FSubstituida(Endereco, lugar->Codigo);
    lugar = p;
    if (naFila)
        ArmarPrazo(Endereco, p);
}

bool TConsultas::TomarLugar(uint64_t Numero, const Pedido &P) {
    std::lock_guard trava(FEstado->Trava);
    const auto j = FEstado->NaFila(Numero);
    if (j == FEstado->Fila.end())
        return false; // a worker has it
    *j = Estado::De(j->Endereco, P);
    return true;
}

void TConsultas::ArmarPrazo(uint32_t Endereco, const Pedido &P) {
    QTimer::singleShot(FPrazo, this, [this, Endereco, n = P.Numero] { Venceu(Endereco, n); });
}

void TConsultas::Enviar(uint32_t Endereco, const Pedido &P) {
    // The deadline first: even a lookup that finds no worker (no thread could be made) ends.
    ArmarPrazo(Endereco, P);
    std::lock_guard trava(FEstado->Trava);
    FEstado->Fila.push_back(Estado::De(Endereco, P));
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
    if (FBase && R.Erro)
        try {
            std::rethrow_exception(R.Erro);
        } catch (const ErroBanco &erro) {
            if (ErroDeDesligamento(erro))
                FBase->Recusada(); // a shutdown waits for the attachments to leave
        } catch (...) {
        }
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
        if (const auto j = FEstado->NaFila(Numero); j != FEstado->Fila.end()) {
            FEstado->Fila.erase(j); // never started: no worker is stuck
        } else {
            FEstado->Vencidos.insert(Numero); // its worker hangs: a fresh one takes its place
            FEstado->Contratar();
        }
    }
    Seguinte(Endereco, i->second);
    FAtraso(Endereco, codigo);
}
