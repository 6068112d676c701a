#include "Tabela.h"
#include "../text/Cp1252.h"
#include "ArquivoCadastro.h"
#include "DecimalTexto.h"
#include "Formato.h"
#include <QFileInfo>
#include <QSet>
#include <algorithm>
#include <charconv>
#include <limits>

namespace {

bool tamanhoValido(const TDefinicaoCampo &d) {
    switch (d.tipo) {
    case TipoCampo::TextoLargo:
    case TipoCampo::Texto:
        return d.tamanho >= 1;
    case TipoCampo::Decimal:
    case TipoCampo::DecimalLongo:
        return d.tamanho >= 0 && d.tamanho <= 18;
    case TipoCampo::Blob:
        return d.tamanho >= 0;
    default:
        return d.tamanho == 0;
    }
}

[[noreturn]] void valorInvalido(const TDefinicaoCampo &d) {
    throw ErroTabela(QStringLiteral("Invalid value for field '%1'").arg(d.nome));
}

int64_t inteiroNoLimite(int64_t v, const TDefinicaoCampo &d) {
    int64_t minimo = std::numeric_limits<int64_t>::min(), maximo = -(minimo + 1);
    if (d.tipo == TipoCampo::Inteiro16)
        minimo = INT16_MIN, maximo = INT16_MAX;
    else if (d.tipo == TipoCampo::Inteiro32)
        minimo = INT32_MIN, maximo = INT32_MAX;
    if (v < minimo || v > maximo)
        valorInvalido(d);
    return v;
}

Decimal decimalDe(const Valor &v, const TDefinicaoCampo &d) {
    Decimal entrada;
    if (auto x = std::get_if<Decimal>(&v)) {
        entrada = *x;
    } else if (auto i = std::get_if<int64_t>(&v)) {
        entrada = Decimal{*i, 0};
    } else if (auto f = std::get_if<double>(&v)) {
        // Through the shortest decimal form, so 24.9 is 24.90 and not 24.899999...
        char buffer[400];
        auto r = std::to_chars(buffer, buffer + sizeof buffer, *f, std::chars_format::fixed);
        std::string_view texto(buffer, size_t(r.ptr - buffer));
        if (texto.find('.') != std::string_view::npos)
            texto = texto.substr(0, std::min(texto.size(), texto.find('.') + 19));
        if (!lerDecimal(texto, entrada))
            valorInvalido(d);
    } else {
        valorInvalido(d);
    }
    Decimal saida;
    if (!reescalar(entrada, d.tamanho, saida))
        valorInvalido(d);
    return saida;
}

int compararValores(const Valor &a, const Valor &b) {
    if (a.index() != b.index())
        return a.index() < b.index() ? -1 : 1; // NULL (index 0) first
    auto tres = [](const auto &x, const auto &y) { return x < y ? -1 : (y < x ? 1 : 0); };
    switch (a.index()) {
    case 1:
        return QString::compare(std::get<QString>(a), std::get<QString>(b), Qt::CaseInsensitive);
    case 2:
        return tres(std::get<QByteArray>(a), std::get<QByteArray>(b));
    case 3:
        return tres(std::get<int64_t>(a), std::get<int64_t>(b));
    case 4:
        return tres(std::get<double>(a), std::get<double>(b));
    case 5: {
        const Decimal &x = std::get<Decimal>(a), &y = std::get<Decimal>(b);
        Decimal xx = x, yy = y;
        const int decimais = std::max(x.decimals, y.decimals);
        if (reescalar(x, decimais, xx) && reescalar(y, decimais, yy))
            return tres(xx.unscaled, yy.unscaled);
        return tres(double(x.unscaled), double(y.unscaled)); // unreachable for stored values
    }
    case 6:
        return tres(std::get<QDate>(a), std::get<QDate>(b));
    case 7:
        return tres(std::get<QTime>(a), std::get<QTime>(b));
    case 8:
        return tres(std::get<QDateTime>(a), std::get<QDateTime>(b));
    case 9:
        return tres(std::get<bool>(a), std::get<bool>(b));
    }
    return 0;
}

} // namespace

Valor ConverterValor(Valor valor, const TDefinicaoCampo &d) {
    if (EhNulo(valor))
        return valor;
    switch (d.tipo) {
    case TipoCampo::TextoLargo:
        if (auto b = std::get_if<QByteArray>(&valor))
            return DeCp1252(*b);
        if (std::holds_alternative<QString>(valor))
            return valor;
        break;
    case TipoCampo::Texto: {
        QByteArray bytes;
        if (auto b = std::get_if<QByteArray>(&valor))
            bytes = std::move(*b);
        else if (auto s = std::get_if<QString>(&valor))
            bytes = ParaCp1252(*s);
        else
            break;
        bytes.truncate(d.tamanho);
        qsizetype fim = bytes.size();
        while (fim > 0 && bytes[fim - 1] == ' ')
            --fim;
        bytes.truncate(fim);
        return bytes;
    }
    case TipoCampo::Inteiro16:
    case TipoCampo::Inteiro32:
    case TipoCampo::Inteiro64:
        if (auto i = std::get_if<int64_t>(&valor))
            return inteiroNoLimite(*i, d);
        if (auto x = std::get_if<Decimal>(&valor); x && x->decimals == 0)
            return inteiroNoLimite(x->unscaled, d);
        break;
    case TipoCampo::Flutuante:
        if (auto f = std::get_if<double>(&valor))
            return *f;
        if (auto i = std::get_if<int64_t>(&valor))
            return double(*i);
        if (auto x = std::get_if<Decimal>(&valor)) {
            // Correctly rounded from its digits, whatever the C locale.
            const std::string texto = escreverDecimal(*x);
            double f = 0;
            std::from_chars(texto.data(), texto.data() + texto.size(), f);
            return f;
        }
        break;
    case TipoCampo::Decimal:
    case TipoCampo::DecimalLongo:
        if (auto x = std::get_if<Decimal>(&valor); x && x->decimals == d.tamanho)
            return valor; // a listing's decimals mostly come at the field's size
        return decimalDe(valor, d);
    case TipoCampo::Data:
        if (std::holds_alternative<QDate>(valor))
            return valor;
        if (auto t = std::get_if<QDateTime>(&valor))
            return t->date();
        break;
    case TipoCampo::Hora:
        if (std::holds_alternative<QTime>(valor))
            return valor;
        if (auto t = std::get_if<QDateTime>(&valor))
            return t->time();
        break;
    case TipoCampo::DataHora:
        // Wall-clock values in UTC, so that no local daylight-saving gap can move them.
        if (auto t = std::get_if<QDateTime>(&valor))
            return QDateTime(t->date(), t->time(), Qt::UTC);
        if (auto data = std::get_if<QDate>(&valor))
            return QDateTime(*data, QTime(0, 0), Qt::UTC);
        break;
    case TipoCampo::Booleano:
        if (std::holds_alternative<bool>(valor))
            return valor;
        if (auto i = std::get_if<int64_t>(&valor))
            return *i != 0;
        break;
    case TipoCampo::Blob:
        if (std::holds_alternative<QByteArray>(valor))
            return valor;
        break;
    }
    valorInvalido(d);
}

TTabela::TTabela(QString nome) : FNome(std::move(nome)) {}

TTabela::~TTabela() {
    try {
        Fechar();
    } catch (const ErroTabela &) {
        // The owner closes explicitly to see this error; a destructor cannot report it.
    }
}

void TTabela::ValidarDefinicoes(const std::vector<TDefinicaoCampo> &definicoes) {
    QSet<QString> nomes; // case-folded, so that many fields cost linear time
    for (const TDefinicaoCampo &d : definicoes) {
        if (d.nome.trimmed().isEmpty())
            throw ErroTabela(QStringLiteral("Field name missing"));
        if (!tamanhoValido(d))
            throw ErroTabela(
                QStringLiteral("Invalid size %1 for field '%2'").arg(d.tamanho).arg(d.nome));
        const QString chave = d.nome.toCaseFolded();
        if (nomes.contains(chave))
            throw ErroTabela(QStringLiteral("Duplicate field name '%1'").arg(d.nome));
        nomes.insert(chave);
    }
}

void TTabela::AdicionarCampo(const TDefinicaoCampo &definicao) {
    if (FAberta)
        throw ErroTabela(
            QStringLiteral("%1: Cannot perform this operation on an open dataset").arg(FNome));
    std::vector<TDefinicaoCampo> novas = FDefinicoes;
    novas.push_back(definicao);
    ValidarDefinicoes(novas);
    inicioMudanca();
    FDefinicoes = std::move(novas);
    FCampos.push_back(TCampo{definicao.nome, {}, false, true});
    fimMudanca();
}

void TTabela::RemoverCampos() {
    if (FAberta)
        throw ErroTabela(
            QStringLiteral("%1: Cannot perform this operation on an open dataset").arg(FNome));
    inicioMudanca();
    FDefinicoes.clear();
    FCampos.clear();
    FCampoOrdem = -1; // the sort named a field of the old definitions
    fimMudanca();
}

void TTabela::DefinirCampo(int campo, const TCampo &valor) {
    inicioMudanca();
    FCampos.at(size_t(campo)) = valor;
    fimMudanca();
}

int TTabela::IndiceCampo(const QString &nome) const {
    for (size_t i = 0; i < FDefinicoes.size(); ++i)
        if (FDefinicoes[i].nome.compare(nome, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

void TTabela::descartarDados() {
    // Their memory too: an emptied table may stay beside a new one (a listing's).
    std::vector<TLinha>().swap(FLinhas);
    std::vector<TEntradaLog>().swap(FLog);
    std::vector<int>().swap(FVisiveis);
    FVisiveisSujos = false;
    FAlterada = false;
    FAtual = -1;
}

void TTabela::CriarDataSet() {
    inicioMudanca();
    descartarDados();
    FAberta = true;
    fimMudanca();
}

void TTabela::Abrir() {
    if (!NomeArquivo.isEmpty() && QFileInfo::exists(NomeArquivo))
        LoadFromFile(NomeArquivo);
    else
        CriarDataSet();
}

bool TTabela::SalvamentoPendente() const {
    return FAberta && !NomeArquivo.isEmpty() && (FAlterada || !QFileInfo::exists(NomeArquivo));
}

void TTabela::SalvarAlteracoes() {
    if (!SalvamentoPendente())
        return;
    SaveToFile(NomeArquivo);
    FAlterada = false;
}

void TTabela::TrocarConteudo(TTabela &Outra) {
    inicioMudanca();
    Outra.inicioMudanca();
    std::swap(FDefinicoes, Outra.FDefinicoes);
    std::swap(FCampos, Outra.FCampos);
    std::swap(FLinhas, Outra.FLinhas);
    std::swap(FLog, Outra.FLog);
    std::swap(FAberta, Outra.FAberta);
    std::swap(FAlterada, Outra.FAlterada);
    std::swap(FCampoOrdem, Outra.FCampoOrdem);
    std::swap(FAtual, Outra.FAtual);
    std::swap(FVisiveis, Outra.FVisiveis);
    std::swap(FVisiveisSujos, Outra.FVisiveisSujos);
    Outra.fimMudanca();
    fimMudanca();
    avisarLinhaAtual();
}

void TTabela::Fechar() {
    if (!FAberta)
        return;
    // A failed save leaves the table open and whole, so nothing is lost and a later close
    // tries again.
    SalvarAlteracoes();
    inicioMudanca();
    descartarDados();
    FAberta = false;
    fimMudanca();
}

void TTabela::Esvaziar() {
    if (!FAberta)
        return;
    inicioMudanca();
    descartarDados();
    FAlterada = true;
    fimMudanca();
}

// Only the XML packet form exists here, so every file name gets it (".xml" selects it anyway).
void TTabela::SaveToFile(const QString &caminho) const {
    SalvarCadastro(*this, caminho);
}

void TTabela::LoadFromFile(const QString &caminho) {
    inicioMudanca();
    descartarDados();
    FAberta = false;
    fimMudanca();
    CarregarCadastro(*this, caminho);
}

void TTabela::Restaurar(std::vector<TDefinicaoCampo> definicoes, std::vector<TLinha> linhas,
                        std::vector<TEntradaLog> log) {
    ValidarDefinicoes(definicoes);
    inicioMudanca();
    FCampos.clear();
    for (const TDefinicaoCampo &d : definicoes)
        FCampos.push_back(TCampo{d.nome, {}, false, true});
    FDefinicoes = std::move(definicoes);
    descartarDados();
    FLinhas = std::move(linhas);
    for (TLinha &linha : FLinhas)
        linha.valores.resize(FDefinicoes.size());
    FLog = std::move(log);
    FCampoOrdem = -1;
    FVisiveisSujos = true;
    FAberta = true;
    FAtual = ContarLinhas() > 0 ? 0 : -1;
    fimMudanca();
}

void TTabela::Adicionar(std::vector<Valor> valores) {
    if (!FAberta)
        throw ErroTabela(
            QStringLiteral("%1: Cannot perform this operation on a closed dataset").arg(FNome));
    if (valores.size() > FDefinicoes.size())
        throw ErroTabela(QStringLiteral("%1: too many values for a row").arg(FNome));
    valores.resize(FDefinicoes.size());
    for (size_t i = 0; i < valores.size(); ++i) {
        valores[i] = ConverterValor(std::move(valores[i]), FDefinicoes[i]);
        if (FDefinicoes[i].requerido && EhNulo(valores[i]))
            throw ErroTabela(
                QStringLiteral("Field '%1' must have a value").arg(FDefinicoes[i].nome));
    }
    inicioMudanca();
    FLinhas.push_back(TLinha{std::move(valores), EstadoInserido});
    FLog.push_back(TEntradaLog{uint32_t(FLinhas.size()), 0, EstadoInserido});
    FAlterada = true;
    if (FVisiveisSujos || FCampoOrdem >= 0)
        FVisiveisSujos = true;
    else
        FVisiveis.push_back(int(FLinhas.size() - 1));
    if (FAtual < 0)
        FAtual = 0;
    fimMudanca();
}

void TTabela::ApagarAtual() {
    if (!FAberta || FAtual < 0 || FAtual >= ContarLinhas())
        return;
    inicioMudanca();
    const int indice = FVisiveis[size_t(FAtual)];
    FLinhas[size_t(indice)].estado += EstadoApagado;
    FLog.push_back(TEntradaLog{uint32_t(indice + 1), 0, EstadoApagado});
    FAlterada = true;
    FVisiveis.erase(FVisiveis.begin() + FAtual);
    FAtual = std::min(FAtual, int(FVisiveis.size()) - 1);
    fimMudanca();
    avisarLinhaAtual();
}

void TTabela::refazerVisiveis() const {
    FVisiveis.clear();
    for (size_t i = 0; i < FLinhas.size(); ++i)
        if (!EhApagado(FLinhas[i].estado))
            FVisiveis.push_back(int(i));
    if (FCampoOrdem >= 0) {
        const size_t campo = size_t(FCampoOrdem);
        std::stable_sort(FVisiveis.begin(), FVisiveis.end(), [&](int a, int b) {
            return compararValores(FLinhas[size_t(a)].valores[campo],
                                   FLinhas[size_t(b)].valores[campo]) < 0;
        });
    }
    FVisiveisSujos = false;
}

int TTabela::ContarLinhas() const {
    if (FVisiveisSujos)
        refazerVisiveis();
    return int(FVisiveis.size());
}

const Valor &TTabela::ValorEm(int linha, int campo) const {
    if (FVisiveisSujos)
        refazerVisiveis();
    return FLinhas[size_t(FVisiveis.at(size_t(linha)))].valores.at(size_t(campo));
}

int TTabela::NumeroRegistro(int linha) const {
    if (FVisiveisSujos)
        refazerVisiveis();
    return FVisiveis.at(size_t(linha)) + 1;
}

QString TTabela::TextoExibido(int linha, int campo, const QLocale &local) const {
    return TextoExibicao(ValorEm(linha, campo), Definicao(campo), Campo(campo).formato, local);
}

void TTabela::IrPara(int linha) {
    const int novo = ContarLinhas() == 0 ? -1 : std::clamp(linha, 0, ContarLinhas() - 1);
    if (novo == FAtual)
        return;
    FAtual = novo;
    avisarLinhaAtual();
}

void TTabela::OrdenarPor(int campo) {
    if (campo < -1 || campo >= ContarCampos() || campo == FCampoOrdem)
        return;
    inicioMudanca();
    const int registroAtual = FAtual >= 0 ? NumeroRegistro(FAtual) - 1 : -1;
    FCampoOrdem = campo;
    refazerVisiveis();
    if (registroAtual >= 0) // the same record stays current
        FAtual =
            int(std::find(FVisiveis.begin(), FVisiveis.end(), registroAtual) - FVisiveis.begin());
    fimMudanca();
    avisarLinhaAtual();
}

void TTabela::DesabilitarControles() {
    ++FSuspensao;
}

void TTabela::HabilitarControles() {
    if (FSuspensao > 0 && --FSuspensao == 0) {
        fimMudanca();
        avisarLinhaAtual();
    }
}

void TTabela::inicioMudanca() {
    if (FMudancaAberta)
        return;
    FMudancaAberta = true;
    if (FObservador)
        FObservador->InicioMudanca();
}

void TTabela::fimMudanca() {
    if (FSuspensao > 0 || !FMudancaAberta)
        return;
    FMudancaAberta = false;
    if (FObservador)
        FObservador->FimMudanca();
}

void TTabela::avisarLinhaAtual() {
    if (FSuspensao == 0 && FObservador)
        FObservador->LinhaAtualMudou();
}
