#pragma once
// A register of the listing's four fields and n synthetic products: every third one with a
// promotional price, the rest NULL; prices spread over the whole range.
#include "RegistroTeste.h"

inline void preencherRegistro(TTabela &t, int Linhas) {
    definirCamposDaListagem(t);
    t.CriarDataSet();
    t.DesabilitarControles();
    for (int i = 0; i < Linhas; ++i)
        t.Adicionar({QString::number(7890000000000LL + i),
                     QStringLiteral("PRODUTO %1 DE TESTE").arg(i),
                     i % 3 ? Valor{} : Valor(Decimal{int64_t(i % 5000) * 7, 2}),
                     Decimal{int64_t(100 + (int64_t(i) * 7919) % 90000), 2}});
}
