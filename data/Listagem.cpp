#include "Listagem.h"

#include "uDados.h"

#include <QMetaObject>
#include <QScopeGuard>
#include <mutex>
#include <thread>

namespace {

// Workers inside the database client, for the exit.
std::atomic<int> NoCliente{0};

} // namespace

struct TListagem::Estado {
    std::mutex Trava;
    TListagem *Destino; // null once abandoned
    std::atomic<bool> Parar{false};
    explicit Estado(TListagem *D) : Destino(D) {}
};

TListagem::TListagem(Entrega AoTerminar) : FEntrega(std::move(AoTerminar)) {}

TListagem::~TListagem() {
    Abandonar();
}

void TListagem::Esvaziar(TTabela &Produtos) {
    if (!Produtos.Aberta())
        return;
    Produtos.Esvaziar();
    Produtos.EsquecerAlteracoes();
}

TListagem::Resultado TListagem::Executar(const QString &DatabaseName, const QString &Arquivo,
                                         const std::atomic<bool> *Parar) {
    Resultado r;
    r.Tabela = std::make_unique<TTabela>();
    TTabela &t = *r.Tabela;
    try {
        {
            ++NoCliente;
            const auto saiu = qScopeGuard([] { --NoCliente; });
            TDados dados(DatabaseName);
            dados.ListarProdutos(t, Parar);
        }
        r.Completa = true;
        if (t.Aberta() && !Arquivo.isEmpty()) {
            // Saved here, never at its destruction: an abandoned table writes nothing.
            t.NomeArquivo = Arquivo;
            const auto semArquivo = qScopeGuard([&t] { t.NomeArquivo.clear(); });
            t.SalvarAlteracoes();
        }
    } catch (const ListagemInterrompida &) {
        throw;
    } catch (...) {
        r.Erro = std::current_exception();
    }
    return r;
}

void TListagem::Aplicar(Resultado &R, TTabela &Produtos) {
    if (!R.Tabela->Aberta())
        return;
    Produtos.TrocarConteudo(*R.Tabela);
    if (R.Completa)
        Produtos.Primeiro();
    else
        Produtos.EsquecerAlteracoes();
}

bool TListagem::Iniciar(const QString &DatabaseName, const QString &Arquivo) {
    if (FEstado)
        return false;
    auto e = std::make_shared<Estado>(this);
    std::thread([e, DatabaseName, Arquivo] {
        std::shared_ptr<Resultado> r;
        try {
            r = std::make_shared<Resultado>(Executar(DatabaseName, Arquivo, &e->Parar));
        } catch (const ListagemInterrompida &) {
            return;
        }
        std::lock_guard trava(e->Trava);
        // Posted while the lock is held, so the destination cannot go meanwhile; a posted call
        // dies with its destination.
        if (e->Destino)
            QMetaObject::invokeMethod(
                e->Destino, [d = e->Destino, e, r] { d->Terminou(e.get(), std::move(*r)); },
                Qt::QueuedConnection);
    }).detach(); // std::system_error when no thread can be made: nothing runs then
    FEstado = std::move(e);
    return true;
}

void TListagem::Abandonar() {
    const std::shared_ptr<Estado> e = std::move(FEstado);
    if (!e)
        return;
    std::lock_guard trava(e->Trava);
    e->Destino = nullptr;
    e->Parar = true;
}

void TListagem::Terminou(const Estado *De, Resultado R) {
    if (De != FEstado.get())
        return; // abandoned after it was posted
    FEstado.reset();
    FEntrega(std::move(R));
}

bool TListagem::EsperarTrabalhadores(std::chrono::milliseconds Prazo) {
    const auto fim = std::chrono::steady_clock::now() + Prazo;
    while (NoCliente > 0) {
        if (std::chrono::steady_clock::now() >= fim)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}
