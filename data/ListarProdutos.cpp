// TDados::ListarProdutos: the register statement into the register table.
#include "CopiarDataSet.h"
#include "uDados.h"

namespace {

// The register statement, stopping at the next row once told to.
class OrigemInterrompivel : public Origem {
public:
    OrigemInterrompivel(Origem &O, const std::atomic<bool> &Parar) : o(O), parar(Parar) {}
    bool Aberta() const override { return o.Aberta(); }
    int Dialeto() const override { return o.Dialeto(); }
    const std::vector<CampoOrigem> &Campos() const override { return o.Campos(); }
    void Primeiro() override { o.Primeiro(); }
    void Proximo() override {
        if (parar)
            throw ListagemInterrompida();
        o.Proximo();
    }
    bool Fim() const override { return o.Fim(); }
    Valor ValorEm(int indice) const override { return o.ValorEm(indice); }

private:
    Origem &o;
    const std::atomic<bool> &parar;
};

} // namespace

void TDados::ListarProdutos(TTabela &Produtos, const std::atomic<bool> *Parar) {
    try {
        listar(Produtos, Parar);
        return;
    } catch (const ErroBanco &e) {
        if (!repetirEmUtf8(e))
            throw;
    }
    TDados(FDatabase.Nome(), QStringLiteral("UTF8")).listar(Produtos, Parar);
}

void TDados::listar(TTabela &produtos, const std::atomic<bool> *parar) {
    Conectar();
    Origem &registro = AbrirRegistro();
    if (!registro.Fim()) {
        if (parar) {
            OrigemInterrompivel interrompivel(registro, *parar);
            CopiarDataSet(interrompivel, produtos, true);
        } else {
            CopiarDataSet(registro, produtos, true);
        }
    }
    Desconectar();
    AjustarCampos(produtos);
}
