#include "EstadoPainel.h"

#include <algorithm>

TEstadoPainel::TEstadoPainel(const QString &Versao, std::function<QDateTime()> Relogio)
    : FVersao(Versao), FRelogio(std::move(Relogio)), FMetricas(Versao.toStdString()) {
    if (!FRelogio)
        // In UTC: a local time is read back through the zone file (the JSON makes it local).
        FRelogio = [] { return QDateTime::currentDateTimeUtc(); };
    FRodandoDesde = FRelogio();
    FMetricas.ServidorRodando(false);
}

void TEstadoPainel::ServidorMudou(bool Rodando) {
    if (Rodando != FRodando)
        FRodandoDesde = FRelogio();
    FRodando = Rodando;
    if (!Rodando) { // the library drops every terminal without telling one by one
        for (std::size_t i = FTerminais.size(); i > 0; --i)
            FMetricas.TerminalDesconectado(int(i - 1));
        FTerminais.clear();
    }
    FMetricas.ServidorRodando(Rodando);
}

void TEstadoPainel::TerminalConectado(const QString &Endereco) {
    FTerminais[Endereco] = {Endereco, FRelogio(), 0, {}, TResultadoLeitura::Erro, {}};
    FMetricas.TerminalConectado(int(FTerminais.size()));
}

void TEstadoPainel::TerminalDesconectado(const QString &Endereco) {
    FTerminais.erase(Endereco);
    FMetricas.TerminalDesconectado(int(FTerminais.size()));
}

void TEstadoPainel::Leitura(const TLeitura &L) {
    const QDateTime agora = FRelogio();
    FMetricas.Leitura(L.Resultado, L.Duracao, L.Enviada);
    const double segundos = std::chrono::duration<double>(L.Duracao).count();
    FLeituras.push_back(
        {agora, L.Terminal, L.Codigo, L.Resultado, L.Mostrado, segundos, L.Enviada});
    if (FLeituras.size() > UltimasLeituras)
        FLeituras.pop_front();
    const auto t = FTerminais.find(L.Terminal);
    if (t != FTerminais.end()) {
        ++t->second.Leituras;
        t->second.UltimoCodigo = L.Codigo;
        t->second.UltimoResultado = L.Resultado;
        t->second.UltimaHora = agora;
    }
    if (L.Resultado == TResultadoLeitura::NaoEncontrado) {
        TCodigoAusente &a = FAusentes.Tocar(L.Codigo);
        if (a.Contagem++ == 0) {
            a.Codigo = L.Codigo;
            a.Primeira = agora;
        }
        a.Ultima = agora;
        a.UltimoTerminal = L.Terminal;
    } else if (L.Resultado == TResultadoLeitura::Erro || L.Resultado == TResultadoLeitura::Prazo) {
        // The same failure names each code and terminal: counted by its text.
        TErroPainel &e = FErros.Tocar(L.Mostrado);
        if (e.Contagem++ == 0) {
            e.Texto = L.Mostrado;
            e.Primeira = agora;
        }
        e.Ultima = agora;
    }
}

void TEstadoPainel::CadastroAberto(int Linhas, const QString &Arquivo) {
    FCadastro.Linhas = Linhas;
    FCadastro.Arquivo = Arquivo;
    FMetricas.CadastroLinhas(Linhas);
}

void TEstadoPainel::CadastroListado(int Linhas) {
    FCadastro.Linhas = Linhas;
    FCadastro.UltimaListagem = FRelogio();
    FMetricas.CadastroLinhas(Linhas);
}

void TEstadoPainel::CadastroSalvo(bool Ok, int Linhas, const QString &Arquivo) {
    FCadastro.Linhas = Linhas;
    FCadastro.Arquivo = Arquivo;
    FCadastro.UltimoSalvamento = FRelogio();
    FCadastro.UltimoSalvamentoOk = Ok;
    FMetricas.CadastroLinhas(Linhas);
    FMetricas.CadastroSalvo(Ok);
}

TInstantaneo TEstadoPainel::Instantaneo() const {
    TInstantaneo i;
    i.Versao = FVersao;
    i.Agora = FRelogio();
    i.Rodando = FRodando;
    i.RodandoDesde = FRodandoDesde;
    i.Terminais.reserve(FTerminais.size());
    for (const auto &[endereco, terminal] : FTerminais)
        i.Terminais.push_back(terminal);
    i.Leituras.assign(FLeituras.rbegin(), FLeituras.rend());
    i.Ausentes.reserve(FAusentes.Tamanho());
    for (const auto &[codigo, ausente] : FAusentes)
        i.Ausentes.push_back(ausente);
    for (const auto &[texto, erro] : FErros)
        i.Erros.push_back(erro);
    i.Cadastro = FCadastro;
    return i;
}

void Ordenar(TInstantaneo &I) {
    // Stable: among equal counts the most recently seen (the copy's order) stays first.
    std::stable_sort(
        I.Ausentes.begin(), I.Ausentes.end(),
        [](const TCodigoAusente &a, const TCodigoAusente &b) { return a.Contagem > b.Contagem; });
}
