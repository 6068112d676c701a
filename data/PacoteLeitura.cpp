// The packet reader: the register table back from a packet of this program or of another
// writer of the format (line breaks, other attribute orders, references, a UTF-8 file).
#include "../text/Cp1252.h"
#include "ArquivoCadastro.h"
#include "DecimalTexto.h"
#include "PacoteEscrita.h"
#include "XmlPacote.h"
#include <QHash>
#include <QStringDecoder>
#include <algorithm>
#include <cmath>
#include <limits>

using namespace pacote;

namespace {

[[noreturn]] void tipoInvalido() {
    throw ErroTabela(QStringLiteral("Invalid field type."));
}
[[noreturn]] void valorInvalido(const TDefinicaoCampo &d) {
    throw ErroTabela(QStringLiteral("Invalid value for field '%1'").arg(d.nome));
}
// A field name is written as the name of an attribute of ROW: no blank, no character that ends
// a name or is escaped, and not the row state's own attribute.
bool nomeDeAtributo(const QString &nome) {
    if (nome.isEmpty() || nome.compare(QLatin1String("RowState"), Qt::CaseInsensitive) == 0)
        return false;
    for (QChar c : nome)
        if (c.unicode() <= 32 || QStringView(u"/=<>\"'&\\").contains(c))
            return false;
    return true;
}
class LeitorPacote {
public:
    LeitorPacote(std::string_view texto, bool utf8) : leitor(texto), utf8(utf8) {}

    void ler(TTabela &tabela) {
        leitor.pular();
        leitor.lerMarca(m);
        if (m.fechamento || m.vazia || m.nome != "DATAPACKET")
            incompativel();
        lerMetadados();
        leitor.pular();
        leitor.lerMarca(m);
        if (m.fechamento || m.nome != "ROWDATA")
            incompativel();
        if (!m.vazia)
            lerLinhas();
        leitor.pular();
        leitor.lerMarca(m);
        if (!m.fechamento || m.nome != "DATAPACKET")
            incompativel();
        leitor.pular();
        if (!leitor.noFim())
            incompativel();
        tabela.Restaurar(std::move(definicoes), std::move(linhas), std::move(log));
    }

private:
    void lerMetadados() {
        leitor.pular();
        leitor.lerMarca(m);
        if (m.fechamento || m.nome != "METADATA")
            incompativel();
        if (m.vazia)
            return validarCampos();
        for (;;) {
            leitor.pular();
            leitor.lerMarca(m);
            if (m.fechamento) {
                if (m.nome != "METADATA")
                    incompativel();
                return validarCampos();
            }
            if (m.nome == "FIELDS") {
                if (!m.vazia)
                    lerCampos();
                continue;
            }
            if (m.nome == "PARAMS")
                lerLog();
            if (!m.vazia)
                leitor.pularConteudo(m.nome);
        }
    }

    void lerCampos() {
        for (;;) {
            leitor.pular();
            leitor.lerMarca(m);
            if (m.fechamento) {
                if (m.nome != "FIELDS")
                    incompativel();
                return;
            }
            if (m.nome == "FIELD")
                lerCampo();
            if (!m.vazia)
                leitor.pularConteudo(m.nome);
        }
    }

    void lerCampo() {
        TDefinicaoCampo d;
        const Atributo *nome = m.achar("attrname");
        if (!nome || !textoLargo(nome->valor, d.nome))
            incompativel();
        if (!nomeDeAtributo(d.nome))
            throw ErroTabela(
                QStringLiteral("Field name '%1' cannot be stored in the file.").arg(d.nome));
        const Atributo *tipo = m.achar("fieldtype");
        if (!tipo)
            tipoInvalido();
        const auto achado =
            std::find_if(TiposArquivo.begin(), TiposArquivo.end(), [&](const TipoArquivo &t) {
                return igualSemCaixa(tipo->valor, t.palavra);
            });
        if (achado == TiposArquivo.end())
            tipoInvalido();
        d.tipo = achado->tipo;
        if (const Atributo *requerido = m.achar("required"))
            d.requerido = igualSemCaixa(requerido->valor, "true");
        if (const Atributo *subtipo = m.achar("SUBTYPE"))
            d.moeda = d.tipo == TipoCampo::Flutuante && igualSemCaixa(subtipo->valor, "Money");
        const char *atributoTamanho = nullptr;
        if (d.tipo == TipoCampo::TextoLargo || d.tipo == TipoCampo::Texto ||
            d.tipo == TipoCampo::Blob)
            atributoTamanho = "WIDTH";
        if (d.tipo == TipoCampo::Decimal || d.tipo == TipoCampo::DecimalLongo)
            atributoTamanho = "DECIMALS";
        if (atributoTamanho) {
            const Atributo *tamanho = m.achar(atributoTamanho);
            if (!tamanho || !lerInteiro(tamanho->valor, d.tamanho))
                incompativel();
            if (d.tipo == TipoCampo::TextoLargo)
                d.tamanho /= 2;
        }
        Saida escrito(16);
        escreverUni(escrito, d.nome);
        nomesNoArquivo.push_back(escrito.terminar());
        definicoes.push_back(std::move(d));
    }

    void validarCampos() {
        try {
            TTabela::ValidarDefinicoes(definicoes);
        } catch (const ErroTabela &) {
            incompativel();
        }
        for (size_t i = 0; i < definicoes.size(); ++i)
            indicePorNome.insert(definicoes[i].nome.toCaseFolded(), int(i));
    }

    void lerLog() {
        const Atributo *atributo = m.achar("CHANGE_LOG");
        if (!atributo)
            return;
        std::string_view resto = atributo->valor;
        std::vector<uint32_t> numeros;
        for (;;) {
            while (!resto.empty() && ehBranco(resto.front()))
                resto.remove_prefix(1);
            if (resto.empty())
                break;
            size_t tamanho = 0;
            while (tamanho < resto.size() && !ehBranco(resto[tamanho]))
                ++tamanho;
            uint32_t n = 0;
            if (!lerInteiro(resto.substr(0, tamanho), n))
                incompativel();
            numeros.push_back(n);
            resto.remove_prefix(tamanho);
        }
        if (numeros.size() % 3 != 0)
            incompativel();
        for (size_t i = 0; i < numeros.size(); i += 3)
            log.push_back(TEntradaLog{numeros[i], numeros[i + 1], numeros[i + 2]});
    }

    void lerLinhas() {
        for (;;) {
            leitor.pular();
            leitor.lerMarca(m);
            if (m.fechamento) {
                if (m.nome != "ROWDATA")
                    incompativel();
                return;
            }
            if (m.nome.starts_with("ROW"))
                lerLinha();
            if (!m.vazia)
                leitor.pularConteudo(m.nome);
        }
    }

    void lerLinha() {
        TLinha linha;
        linha.valores.resize(definicoes.size());
        std::vector<bool> lido(definicoes.size(), false);
        size_t provavel = 0;
        for (const Atributo &a : m.atributos) {
            if (igualSemCaixa(a.nome, "RowState")) {
                if (!lerInteiro(a.valor, linha.estado))
                    incompativel();
                continue;
            }
            const int i = campoDoAtributo(a.nome, provavel);
            if (i < 0 || lido[size_t(i)])
                continue;
            provavel = size_t(i) + 1;
            lido[size_t(i)] = true;
            linha.valores[size_t(i)] =
                ConverterValor(lerValor(a.valor, definicoes[size_t(i)]), definicoes[size_t(i)]);
        }
        linhas.push_back(std::move(linha));
    }

    // The field an attribute of a ROW names. Usually the one after the previous attribute's,
    // spelled as this writer spells it; otherwise the name is decoded and looked up without
    // regard to letter case, so even a packet with many fields reads in linear time.
    int campoDoAtributo(std::string_view nome, size_t provavel) const {
        if (provavel < nomesNoArquivo.size() &&
            igualSemCaixa(nome, std::string_view(nomesNoArquivo[provavel].constData(),
                                                 size_t(nomesNoArquivo[provavel].size()))))
            return int(provavel);
        QString decodificado;
        if (!textoLargo(nome, decodificado))
            return -1;
        return indicePorNome.value(decodificado.toCaseFolded(), -1);
    }

    // Text of the file as Unicode, references as one UTF-16 code unit each.
    bool textoLargo(std::string_view valor, QString &saida) const {
        if (valor.find('&') == std::string_view::npos && ascii(valor)) {
            saida = QString::fromLatin1(valor.data(), qsizetype(valor.size()));
            return true;
        }
        saida.clear();
        return percorrer(
            valor, [&](std::string_view run) { saida += decodificar(run); },
            [&](uint32_t n) {
                if (n > 0xFFFF)
                    return false;
                saida += QChar(char16_t(n));
                return true;
            });
    }

    // Single-byte text: raw bytes of the code page, references as the byte of that number.
    bool textoSimplesBytes(std::string_view valor, QByteArray &saida) const {
        saida.clear();
        return percorrer(
            valor,
            [&](std::string_view run) {
                if (utf8 && !ascii(run))
                    saida += ParaCp1252(QString::fromUtf8(run.data(), qsizetype(run.size())));
                else
                    saida.append(run.data(), qsizetype(run.size()));
            },
            [&](uint32_t n) {
                if (n > 255)
                    return false;
                saida += char(n);
                return true;
            });
    }

    QString decodificar(std::string_view run) const {
        if (ascii(run))
            return QString::fromLatin1(run.data(), qsizetype(run.size()));
        if (utf8)
            return QString::fromUtf8(run.data(), qsizetype(run.size()));
        return DeCp1252(QByteArray::fromRawData(run.data(), qsizetype(run.size())));
    }

    Valor lerValor(std::string_view bruto, const TDefinicaoCampo &d) {
        if (d.tipo == TipoCampo::TextoLargo) {
            QString texto;
            if (!textoLargo(bruto, texto))
                valorInvalido(d);
            return texto;
        }
        QByteArray bytes;
        if (!textoSimplesBytes(bruto, bytes))
            valorInvalido(d);
        if (d.tipo == TipoCampo::Texto)
            return bytes;
        const std::string_view v(bytes.constData(), size_t(bytes.size()));
        auto falha = [&]() -> Valor { valorInvalido(d); };
        switch (d.tipo) {
        case TipoCampo::Blob: {
            auto r = QByteArray::fromBase64Encoding(bytes, QByteArray::AbortOnBase64DecodingErrors);
            return r ? Valor(*r) : falha();
        }
        case TipoCampo::Inteiro16:
        case TipoCampo::Inteiro32:
        case TipoCampo::Inteiro64: {
            int64_t n = 0;
            return lerInteiro(v, n) ? Valor(n) : falha();
        }
        case TipoCampo::Flutuante:
            return lerFlutuante(v, d);
        case TipoCampo::Decimal:
        case TipoCampo::DecimalLongo: {
            Decimal x;
            return lerDecimal(v, x) ? Valor(x) : falha();
        }
        case TipoCampo::Data: {
            QDate data;
            return v.size() == 8 && lerData(v, data) ? Valor(data) : falha();
        }
        case TipoCampo::Hora: {
            QTime hora;
            return lerHora(v, hora) ? Valor(hora) : falha();
        }
        case TipoCampo::DataHora: {
            QDate data;
            QTime hora(0, 0);
            if (v.size() < 8 || !lerData(v.substr(0, 8), data))
                return falha();
            if (v.size() > 8 && (v[8] != 'T' || !lerHora(v.substr(9), hora)))
                return falha();
            return QDateTime(data, hora, Qt::UTC);
        }
        case TipoCampo::Booleano:
            if (igualSemCaixa(v, "TRUE"))
                return true;
            if (igualSemCaixa(v, "FALSE"))
                return false;
            return falha();
        default:
            return falha();
        }
    }

    static Valor lerFlutuante(std::string_view v, const TDefinicaoCampo &d) {
        if (igualSemCaixa(v, "NAN"))
            return std::numeric_limits<double>::quiet_NaN();
        if (igualSemCaixa(v, "INF"))
            return std::numeric_limits<double>::infinity();
        if (igualSemCaixa(v, "-INF"))
            return -std::numeric_limits<double>::infinity();
        double f = 0;
        auto r = std::from_chars(v.data(), v.data() + v.size(), f);
        if (r.ec == std::errc::result_out_of_range && r.ptr == v.data() + v.size()) {
            // The largest double rounded to 16 digits lies just above it.
            static const std::string maximo = FormatoFlutuante(std::numeric_limits<double>::max());
            const bool negativo = v.starts_with('-');
            if (igualSemCaixa(v.substr(negativo ? 1 : 0), maximo))
                return negativo ? -std::numeric_limits<double>::max()
                                : std::numeric_limits<double>::max();
        }
        if (v.empty() || r.ec != std::errc() || r.ptr != v.data() + v.size() || !std::isfinite(f))
            valorInvalido(d);
        return f;
    }

    // Eight digits: the year 1 to 9999 (Qt has no year 0), the only ones written back.
    static bool lerData(std::string_view v, QDate &data) {
        int ano = 0, mes = 0, dia = 0;
        const auto digito = [](char c) { return c >= '0' && c <= '9'; };
        if (v.size() != 8 || !std::all_of(v.begin(), v.end(), digito) ||
            !lerInteiro(v.substr(0, 4), ano) || !lerInteiro(v.substr(4, 2), mes) ||
            !lerInteiro(v.substr(6, 2), dia))
            return false;
        data = QDate(ano, mes, dia);
        return data.isValid();
    }

    // "hh:mm:" then seconds × 1000 + milliseconds in five digits.
    static bool lerHora(std::string_view v, QTime &hora) {
        int h = 0, m = 0, milesimos = 0;
        if (v.size() != 11 || v[2] != ':' || v[5] != ':' || !lerInteiro(v.substr(0, 2), h) ||
            !lerInteiro(v.substr(3, 2), m) || !lerInteiro(v.substr(6, 5), milesimos))
            return false;
        hora = QTime(h, m, milesimos / 1000, milesimos % 1000);
        return hora.isValid();
    }

    Leitor leitor;
    bool utf8;
    Marca m;
    std::vector<TDefinicaoCampo> definicoes;
    std::vector<QByteArray> nomesNoArquivo; // field names as this writer spells them
    QHash<QString, int> indicePorNome;      // case-folded field name -> field
    std::vector<TLinha> linhas;
    std::vector<TEntradaLog> log;
};

// The declaration names UTF-8 and the whole file is valid UTF-8.
bool ehUtf8(std::string_view texto, const QByteArray &pacote) {
    while (!texto.empty() && ehBranco(texto.front()))
        texto.remove_prefix(1);
    if (!texto.starts_with("<?xml"))
        return false;
    std::string_view declaracao = texto.substr(0, texto.find("?>"));
    const size_t posicao = declaracao.find("encoding");
    if (posicao == std::string_view::npos)
        return false;
    declaracao.remove_prefix(posicao + 8);
    while (!declaracao.empty() && (ehBranco(declaracao.front()) || declaracao.front() == '='))
        declaracao.remove_prefix(1);
    if (declaracao.empty() || (declaracao.front() != '"' && declaracao.front() != '\''))
        return false;
    const char aspa = declaracao.front();
    declaracao.remove_prefix(1);
    if (!igualSemCaixa(declaracao.substr(0, declaracao.find(aspa)), "UTF-8"))
        return false;
    QStringDecoder decodificador(QStringDecoder::Utf8);
    (void)decodificador.decode(pacote).operator QString();
    return !decodificador.hasError();
}

} // namespace

void LerPacote(const QByteArray &pacote, TTabela &tabela) {
    if (pacote.isEmpty())
        throw ErroTabela(tabela.Nome() + QStringLiteral(": Missing data provider or data packet"));
    std::string_view texto(pacote.constData(), size_t(pacote.size()));
    bool utf8 = texto.starts_with("\xEF\xBB\xBF");
    if (utf8)
        texto.remove_prefix(3);
    else
        utf8 = ehUtf8(texto, pacote);
    LeitorPacote(texto, utf8).ler(tabela);
}
