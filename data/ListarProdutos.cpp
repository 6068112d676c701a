// TDados::ListarProdutos: the register statement into the register table.
#include "CopiarDataSet.h"
#include "uDados.h"

void TDados::ListarProdutos(TTabela &Produtos) {
    try {
        listar(Produtos);
        return;
    } catch (const ErroBanco &e) {
        if (!repetirEmUtf8(e))
            throw;
    }
    TDados(FDatabase.Nome(), QStringLiteral("UTF8")).listar(Produtos);
}

void TDados::listar(TTabela &produtos) {
    Conectar();
    Origem &registro = AbrirRegistro();
    if (!registro.Fim())
        CopiarDataSet(registro, produtos, true);
    Desconectar();
    AjustarCampos(produtos);
}
