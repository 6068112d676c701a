#include "CopiarDataSet.h"
#include "../text/UComum.h"
#include <ibase.h>

std::optional<TDefinicaoCampo> DefinicaoDe(const CampoOrigem &campo, int dialeto) {
    TDefinicaoCampo d{campo.nome, TipoCampo::TextoLargo, 0, !campo.anulavel, false};
    const int decimais = -campo.escala;
    switch (campo.tipoSql) {
    case SQL_TEXT:
    case SQL_VARYING:
        d.tamanho = campo.tamanho;
        return d;
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
        if (decimais <= 0) {
            d.tipo = campo.tipoSql == SQL_SHORT  ? TipoCampo::Inteiro16
                     : campo.tipoSql == SQL_LONG ? TipoCampo::Inteiro32
                                                 : TipoCampo::Inteiro64;
        } else if (decimais <= 4) {
            d.tipo = TipoCampo::Decimal;
            d.tamanho = decimais;
        } else if (dialeto == 1 && campo.tipoSql == SQL_LONG) {
            d.tipo = TipoCampo::Flutuante;
        } else {
            d.tipo = TipoCampo::DecimalLongo;
            d.tamanho = decimais;
        }
        return d;
    case SQL_FLOAT:
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        d.tipo = TipoCampo::Flutuante;
        return d;
    case SQL_TYPE_DATE:
        d.tipo = dialeto == 1 ? TipoCampo::DataHora : TipoCampo::Data;
        return d;
    case SQL_TYPE_TIME:
        d.tipo = TipoCampo::Hora;
        return d;
    case SQL_TIMESTAMP:
        d.tipo = TipoCampo::DataHora;
        return d;
    case SQL_BOOLEAN:
        d.tipo = TipoCampo::Booleano;
        return d;
    case SQL_BLOB:
        // A text BLOB becomes single-byte text of the kind's default size, 20.
        d.tipo = campo.subtipo == 1 ? TipoCampo::Texto : TipoCampo::Blob;
        d.tamanho = campo.subtipo == 1 ? 20 : 8;
        return d;
    default:
        return std::nullopt;
    }
}

namespace {

// The field of Destino that each column of Origem fills, or -1.
std::vector<int> camposDestino(Origem &Origem, const TTabela &Destino) {
    std::vector<int> destino;
    std::vector<bool> usado(size_t(Destino.ContarCampos()), false);
    for (const CampoOrigem &c : Origem.Campos()) {
        const int i = Destino.IndiceCampo(c.nome);
        destino.push_back(i >= 0 && !usado[size_t(i)] ? i : -1);
        if (i >= 0)
            usado[size_t(i)] = true;
    }
    return destino;
}

} // namespace

void CopiarEstrutura(Origem &Origem, TTabela &Destino, bool CriarDataSet) {
    if (!Origem.Aberta())
        return;
    Destino.Fechar();
    Destino.RemoverCampos();
    for (const CampoOrigem &campo : Origem.Campos()) {
        if (Destino.IndiceCampo(campo.nome) >= 0)
            continue;
        try {
            if (auto definicao = DefinicaoDe(campo, Origem.Dialeto()))
                Destino.AdicionarCampo(*definicao);
        } catch (const std::exception &) {
            throw ErroTabela(QStringLiteral("Error Message: ") + campo.nome);
        }
    }
    if (CriarDataSet)
        Destino.CriarDataSet();
}

void CopiarDados(Origem &Origem, TTabela &Destino) {
    if (!Origem.Aberta() || !Destino.Aberta())
        return;
    for (int i = 0; i < Destino.ContarCampos(); ++i) {
        TCampo campo = Destino.Campo(i);
        campo.somenteLeitura = false;
        campo.dados = true;
        Destino.DefinirCampo(i, campo);
    }
    // Columns go to the field made from them; a column that got no field (an array, a
    // repeated name) is left out rather than shifting every later value.
    const std::vector<int> destino = camposDestino(Origem, Destino);
    Destino.DesabilitarControles();
    struct Retomar {
        ::Origem &o;
        TTabela &t;
        ~Retomar() {
            try {
                o.Primeiro();
            } catch (...) {
                // The copy's own error is the one to report.
            }
            t.Primeiro();
            t.HabilitarControles();
        }
    } retomar{Origem, Destino};
    Origem.Primeiro();
    std::vector<Valor> linha;
    while (!Origem.Fim()) {
        linha.assign(size_t(Destino.ContarCampos()), Valor{});
        for (size_t i = 0; i < destino.size(); ++i)
            if (destino[i] >= 0)
                linha[size_t(destino[i])] = Origem.ValorEm(int(i));
        Destino.Adicionar(std::move(linha));
        Origem.Proximo();
    }
}

void CopiarDataSet(Origem &Origem, TTabela &Destino, bool CriarDataSet) {
    CopiarEstrutura(Origem, Destino, CriarDataSet);
    CopiarDados(Origem, Destino);
}

void FormatarCamposNumericos(TTabela &Tabela) {
    for (int i = 0; i < Tabela.ContarCampos(); ++i) {
        const TipoCampo tipo = Tabela.Definicao(i).tipo;
        if (tipo == TipoCampo::Decimal || tipo == TipoCampo::DecimalLongo ||
            tipo == TipoCampo::Flutuante) {
            TCampo campo = Tabela.Campo(i);
            campo.formato = QStringLiteral(",##0.00");
            Tabela.DefinirCampo(i, campo);
        }
    }
}

void AjustarCampos(TTabela &Tabela) {
    if (!Tabela.Aberta())
        return;
    FormatarCamposNumericos(Tabela);
    for (int i = 0; i < Tabela.ContarCampos(); ++i) {
        TCampo campo = Tabela.Campo(i);
        campo.titulo = TraduzirTitulo(Minusculas(campo.titulo));
        Tabela.DefinirCampo(i, campo);
    }
}

QString TraduzirTitulo(const QString &Texto) {
    const QString t = Capitalizar(Trim(Texto), true);
    if (t == QStringLiteral("Codigo"))
        return QStringLiteral("Código");
    if (t == QStringLiteral("Descricao"))
        return QStringLiteral("Descrição");
    if (t == QStringLiteral("Preco"))
        return QStringLiteral("Preço");
    if (t == QStringLiteral("Promocao"))
        return QStringLiteral("Promoção");
    return t;
}
