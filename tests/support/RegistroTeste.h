#pragma once
// Registers built without a database, for the tests and benchmarks.
#include "Tabela.h"

inline TDefinicaoCampo campo(const QString &nome, TipoCampo tipo, int tamanho = 0,
                             bool requerido = false, bool moeda = false) {
    return TDefinicaoCampo{nome, tipo, tamanho, requerido, moeda};
}

// The four fields a listing gives the register.
inline void definirCamposDaListagem(TTabela &t) {
    t.AdicionarCampo({"CODIGO", TipoCampo::TextoLargo, 20, true});
    t.AdicionarCampo({"DESCRICAO", TipoCampo::TextoLargo, 60});
    t.AdicionarCampo({"PROMOCAO", TipoCampo::Decimal, 2});
    t.AdicionarCampo({"PRECO", TipoCampo::Decimal, 2});
}
