// TDados::ListarProdutos: the register statement into the register table.
#include "CopiarDataSet.h"
#include "uDados.h"

void TDados::ListarProdutos(TTabela &Produtos) {
    Conectar();
    Origem &registro = AbrirRegistro();
    if (!registro.Fim())
        CopiarDataSet(registro, Produtos, true);
    Desconectar();
    AjustarCampos(Produtos);
}
