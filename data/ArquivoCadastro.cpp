#include "ArquivoCadastro.h"
#include "../text/Cp1252.h"
#include "DecimalTexto.h"
#include <QDir>
#include <QFile>
#include <QHash>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <string_view>

namespace {

// ---------------------------------------------------------------- writing

struct TipoArquivo {
    TipoCampo tipo;
    const char *palavra;
};

// The type words; the reader accepts exactly these (letter case ignored).
constexpr std::array<TipoArquivo, 13> TiposArquivo{{
    {TipoCampo::TextoLargo, "string.uni"},
    {TipoCampo::Texto, "string"},
    {TipoCampo::Inteiro16, "i2"},
    {TipoCampo::Inteiro32, "i4"},
    {TipoCampo::Inteiro64, "i8"},
    {TipoCampo::Flutuante, "r8"},
    {TipoCampo::Decimal, "fixed"},
    {TipoCampo::DecimalLongo, "fixedFMT"},
    {TipoCampo::Data, "date"},
    {TipoCampo::Hora, "time"},
    {TipoCampo::DataHora, "dateTime"},
    {TipoCampo::Booleano, "boolean"},
    {TipoCampo::Blob, "bin.hex"},
}};

const char *palavraDe(TipoCampo tipo) {
    for (const TipoArquivo &t : TiposArquivo)
        if (t.tipo == tipo)
            return t.palavra;
    return "";
}

// The packet under construction, written through a cursor so that byte-at-a-time escaping
// stays cheap. Without a destination it grows to hold the whole packet; with one it hands
// its bytes on in blocks, so saving a large register touches no large fresh memory (page
// faults dominated the save when the packet was built whole).
class Saida {
public:
    using Destino = std::function<void(std::string_view)>;
    explicit Saida(qsizetype capacidade, Destino destino = {}) : FDestino(std::move(destino)) {
        FBytes.resize(std::max<qsizetype>(capacidade, 64));
        p = FBytes.data();
        fim = p + FBytes.size();
    }
    // Room for `n` more bytes at the cursor `p`.
    char *reservar(size_t n) {
        if (size_t(fim - p) >= n)
            return p;
        if (FDestino) {
            despejar();
            if (size_t(fim - p) >= n)
                return p;
        }
        const qsizetype usado = p - FBytes.data();
        FBytes.resize(std::max(FBytes.size() * 2, usado + qsizetype(n)));
        p = FBytes.data() + usado;
        fim = FBytes.data() + FBytes.size();
        return p;
    }
    void operator+=(std::string_view texto) {
        reservar(texto.size());
        p = std::copy(texto.begin(), texto.end(), p);
    }
    void operator+=(char c) { *reservar(1) = c, ++p; }
    bool temDestino() const { return bool(FDestino); }
    qsizetype usado() const { return p - FBytes.constData(); }
    void despejar() {
        FDestino(std::string_view(FBytes.constData(), size_t(usado())));
        p = FBytes.data();
    }
    QByteArray terminar() {
        FBytes.truncate(usado());
        return std::move(FBytes);
    }
    char *p;

private:
    Destino FDestino;
    QByteArray FBytes;
    char *fim;
};

constexpr size_t MaxEscape = 8; // "&#65535;", the longest form of one code unit

// Writes one character or byte of an attribute value, escaped.
inline char *escapar(char *p, unsigned char c) {
    auto copiar = [p](std::string_view t) { return std::copy(t.begin(), t.end(), p); };
    switch (c) {
    case '<':
        return copiar("&lt;");
    case '>':
        return copiar("&gt;");
    case '&':
        return copiar("&amp;");
    case '\'':
        return copiar("&apos;");
    case '"':
        return copiar("&quot;");
    case '\r':
        return copiar("&#013;");
    case '\n':
        return copiar("&#010;");
    case '\t':
        return copiar("&#009;");
    case '\\':
        return copiar("&#092;");
    default:
        *p = char(c);
        return p + 1;
    }
}

void escreverNumero(Saida &s, int64_t n) {
    s.reservar(24);
    s.p = std::to_chars(s.p, s.p + 24, n).ptr;
}

// Wide text: code units from 128 up as decimal references, the rest escaped.
void escreverUni(Saida &s, const QString &texto) {
    char *p = s.reservar(size_t(texto.size()) * MaxEscape);
    for (QChar c : texto) {
        const char16_t u = c.unicode();
        if (u < 128) {
            p = escapar(p, static_cast<unsigned char>(u));
        } else {
            *p++ = '&';
            *p++ = '#';
            p = std::to_chars(p, p + 5, unsigned(u)).ptr;
            *p++ = ';';
        }
    }
    s.p = p;
}

void escreverBytes(Saida &s, const QByteArray &bytes) {
    char *p = s.reservar(size_t(bytes.size()) * MaxEscape);
    for (char c : bytes)
        p = escapar(p, static_cast<unsigned char>(c));
    s.p = p;
}

void doisDigitos(Saida &s, int n) {
    s += char('0' + n / 10);
    s += char('0' + n % 10);
}

void escreverData(Saida &s, const QDate &d) {
    doisDigitos(s, d.year() / 100);
    doisDigitos(s, d.year() % 100);
    doisDigitos(s, d.month());
    doisDigitos(s, d.day());
}

void escreverHora(Saida &s, const QTime &t) {
    doisDigitos(s, t.hour());
    s += ':';
    doisDigitos(s, t.minute());
    s += ':';
    const int milesimos = t.second() * 1000 + t.msec(); // five digits
    s += char('0' + milesimos / 10000);
    s += char('0' + milesimos / 1000 % 10);
    s += char('0' + milesimos / 100 % 10);
    doisDigitos(s, milesimos % 100);
}

void escreverValor(Saida &s, const Valor &valor, const TDefinicaoCampo &definicao) {
    struct Visitante {
        Saida &s;
        const TDefinicaoCampo &d;
        void operator()(std::monostate) const {}
        void operator()(const QString &v) const { escreverUni(s, v); }
        void operator()(const QByteArray &v) const {
            if (d.tipo == TipoCampo::Blob) {
                const QByteArray base64 = v.toBase64();
                s += std::string_view(base64.constData(), size_t(base64.size()));
            } else {
                escreverBytes(s, v);
            }
        }
        void operator()(int64_t v) const { escreverNumero(s, v); }
        void operator()(double v) const { s += FormatoFlutuante(v); }
        void operator()(const Decimal &v) const {
            s.p = escreverDecimal(v, s.reservar(MaxTextoDecimal));
        }
        void operator()(const QDate &v) const { escreverData(s, v); }
        void operator()(const QTime &v) const { escreverHora(s, v); }
        void operator()(const QDateTime &v) const {
            escreverData(s, v.date());
            if (v.time() != QTime(0, 0)) {
                s += 'T';
                escreverHora(s, v.time());
            }
        }
        void operator()(bool v) const { s += v ? "TRUE" : "FALSE"; }
    };
    std::visit(Visitante{s, definicao}, valor);
}

void atributoNumero(Saida &s, std::string_view nome, int64_t valor) {
    s += ' ';
    s += nome;
    s += "=\"";
    escreverNumero(s, valor);
    s += '"';
}

void escreverCampo(Saida &s, const TDefinicaoCampo &d) {
    s += "<FIELD attrname=\"";
    escreverUni(s, d.nome);
    s += "\" fieldtype=\"";
    s += palavraDe(d.tipo);
    s += '"';
    if (d.requerido)
        s += " required=\"true\"";
    if (d.tipo == TipoCampo::Flutuante && d.moeda)
        s += " SUBTYPE=\"Money\"";
    if (d.tipo == TipoCampo::Blob)
        s += " SUBTYPE=\"Binary\"";
    if (d.tipo == TipoCampo::Decimal || d.tipo == TipoCampo::DecimalLongo) {
        atributoNumero(s, "DECIMALS", d.tamanho);
        s += " WIDTH=\"32\""; // no precision is recorded; the engine holds 32 digits
    }
    if (d.tipo == TipoCampo::TextoLargo)
        atributoNumero(s, "WIDTH", 2 * int64_t(d.tamanho));
    if (d.tipo == TipoCampo::Texto || d.tipo == TipoCampo::Blob)
        atributoNumero(s, "WIDTH", d.tamanho);
    s += "/>";
}

} // namespace

std::string FormatoFlutuante(double valor) {
    if (std::isnan(valor))
        return "NAN";
    if (std::isinf(valor))
        return valor > 0 ? "INF" : "-INF";
    if (valor == 0)
        return "0";
    // 16 significant digits, correctly rounded, without the C locale's decimal point.
    char buffer[40];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, std::fabs(valor),
                           std::chars_format::scientific, 15);
    const std::string_view texto(buffer, size_t(r.ptr - buffer)); // d.ddddddddddddddde+XX
    std::string digitos = std::string(1, texto[0]) + std::string(texto.substr(2, 15));
    int expoente = 0;
    std::from_chars(texto.data() + 19, texto.data() + texto.size(), expoente);
    if (texto[18] == '-')
        expoente = -expoente;
    digitos.erase(digitos.find_last_not_of('0') + 1);

    std::string saida = valor < 0 ? "-" : "";
    if (expoente < -1 || expoente > 15) {
        char e[16];
        std::snprintf(e, sizeof e, "e%c%03d", expoente < 0 ? '-' : '+', std::abs(expoente));
        saida += digitos.substr(0, 1) + "." + digitos.substr(1) + e;
    } else if (expoente == -1) {
        saida += "0." + digitos;
    } else {
        digitos.resize(std::max(digitos.size(), size_t(expoente + 1)), '0');
        saida += digitos.substr(0, size_t(expoente + 1));
        if (digitos.size() > size_t(expoente + 1))
            saida += "." + digitos.substr(size_t(expoente + 1));
    }
    return saida;
}

namespace {

void escreverPacote(const TTabela &tabela, Saida &s) {
    s += "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA>"
         "<FIELDS>";
    for (int i = 0; i < tabela.ContarCampos(); ++i)
        escreverCampo(s, tabela.Definicao(i));
    s += "</FIELDS>";
    if (tabela.Log().empty()) {
        s += "<PARAMS/>";
    } else {
        s += "<PARAMS CHANGE_LOG=\"";
        bool primeiro = true;
        for (const TEntradaLog &e : tabela.Log()) {
            for (uint32_t n : {e.registro, e.zero, e.tipo}) {
                if (!primeiro)
                    s += ' ';
                primeiro = false;
                escreverNumero(s, n);
            }
        }
        s += "\"/>";
    }
    s += "</METADATA><ROWDATA>";
    std::vector<QByteArray> nomes; // each field name, escaped once
    for (int i = 0; i < tabela.ContarCampos(); ++i) {
        Saida nome(16);
        escreverUni(nome, tabela.Definicao(i).nome);
        nomes.push_back(nome.terminar());
    }
    const std::vector<TLinha> &linhas = tabela.LinhasGuardadas();
    for (size_t n = 0; n < linhas.size(); ++n) {
        const TLinha &linha = linhas[n];
        if (n == 64 && !s.temDestino()) // room for the rest from the first rows' size
            s.reservar(size_t(s.usado() / 64.0 * double(linhas.size() - n) * 1.2));
        s += "<ROW";
        if (linha.estado != EstadoInalterado)
            atributoNumero(s, "RowState", linha.estado);
        for (int i = 0; i < tabela.ContarCampos(); ++i) {
            const Valor &valor = linha.valores[size_t(i)];
            if (ehNulo(valor))
                continue;
            s += ' ';
            s += std::string_view(nomes[size_t(i)].constData(), size_t(nomes[size_t(i)].size()));
            s += "=\"";
            escreverValor(s, valor, tabela.Definicao(i));
            s += '"';
        }
        s += "/>";
    }
    s += "</ROWDATA></DATAPACKET>";
}

} // namespace

QByteArray EscreverPacote(const TTabela &tabela) {
    Saida s(1 << 16);
    escreverPacote(tabela, s);
    return s.terminar();
}

namespace {

// ---------------------------------------------------------------- reading

[[noreturn]] void incompativel() {
    throw ErroTabela(QStringLiteral("Mismatch in datapacket."));
}
[[noreturn]] void tipoInvalido() {
    throw ErroTabela(QStringLiteral("Invalid field type."));
}
[[noreturn]] void valorInvalido(const TDefinicaoCampo &d) {
    throw ErroTabela(QStringLiteral("Invalid value for field '%1'").arg(d.nome));
}

bool ehBranco(char c) {
    return static_cast<unsigned char>(c) >= 1 && static_cast<unsigned char>(c) <= 32;
}

char minuscula(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool igualSemCaixa(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (minuscula(a[i]) != minuscula(b[i]))
            return false;
    return true;
}

template <class T> bool lerInteiro(std::string_view texto, T &valor, int base = 10) {
    if (texto.empty())
        return false;
    auto r = std::from_chars(texto.data(), texto.data() + texto.size(), valor, base);
    return r.ec == std::errc() && r.ptr == texto.data() + texto.size();
}

struct Atributo {
    std::string_view nome, valor; // the value still escaped
};

struct Marca {
    bool fechamento = false;
    bool vazia = false;
    std::string_view nome;
    std::vector<Atributo> atributos;

    const Atributo *achar(std::string_view procurado) const {
        for (const Atributo &a : atributos)
            if (igualSemCaixa(a.nome, procurado))
                return &a;
        return nullptr;
    }
};

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

// A forward scanner over the packet: no recursion, every read checked against the end.
class Leitor {
public:
    explicit Leitor(std::string_view texto) : p(texto.data()), fim(texto.data() + texto.size()) {}

    bool noFim() const { return p == fim; }

    // Blanks (bytes 1 to 32), processing instructions and comments.
    void pular() {
        for (;;) {
            while (p < fim && ehBranco(*p))
                ++p;
            if (!pularDeclaracaoOuComentario())
                return;
        }
    }

    // One tag at the current position: <name attributes>, <name attributes/> or </name>.
    void lerMarca(Marca &m) {
        if (p >= fim || *p != '<')
            incompativel();
        ++p;
        m.fechamento = p < fim && *p == '/';
        if (m.fechamento)
            ++p;
        m.vazia = false;
        m.nome = lerNome();
        m.atributos.clear();
        for (;;) {
            while (p < fim && ehBranco(*p))
                ++p;
            if (p >= fim)
                incompativel();
            if (*p == '>') {
                ++p;
                return;
            }
            if (*p == '/') {
                if (m.fechamento || ++p >= fim || *p != '>')
                    incompativel();
                ++p;
                m.vazia = true;
                return;
            }
            if (m.fechamento)
                incompativel();
            Atributo a;
            a.nome = lerNome();
            while (p < fim && ehBranco(*p))
                ++p;
            if (p >= fim || *p != '=')
                incompativel();
            ++p;
            while (p < fim && ehBranco(*p))
                ++p;
            if (p >= fim || (*p != '"' && *p != '\''))
                incompativel();
            const char aspa = *p++;
            const char *fecho = static_cast<const char *>(std::memchr(p, aspa, size_t(fim - p)));
            if (!fecho)
                incompativel();
            a.valor = std::string_view(p, size_t(fecho - p));
            p = fecho + 1;
            m.atributos.push_back(a);
        }
    }

    // After the opening tag `nome` of an element we do not use: skips its content, which
    // must be balanced. An explicit stack, so depth costs memory, never the call stack.
    void pularConteudo(std::string_view nome) {
        std::vector<std::string_view> abertos{nome};
        Marca m;
        while (!abertos.empty()) {
            for (;;) {
                const char *menor = static_cast<const char *>(std::memchr(p, '<', size_t(fim - p)));
                if (!menor)
                    incompativel();
                p = menor;
                if (!pularDeclaracaoOuComentario())
                    break;
            }
            lerMarca(m);
            if (m.fechamento) {
                if (m.nome != abertos.back())
                    incompativel();
                abertos.pop_back();
            } else if (!m.vazia) {
                abertos.push_back(m.nome);
            }
        }
    }

private:
    bool comeca(std::string_view prefixo) const {
        return size_t(fim - p) >= prefixo.size() &&
               std::memcmp(p, prefixo.data(), prefixo.size()) == 0;
    }

    bool pularAte(std::string_view abertura, std::string_view fecho) {
        if (!comeca(abertura))
            return false;
        const std::string_view resto(p + abertura.size(), size_t(fim - p) - abertura.size());
        const size_t posicao = resto.find(fecho);
        if (posicao == std::string_view::npos)
            incompativel();
        p = resto.data() + posicao + fecho.size();
        return true;
    }

    bool pularDeclaracaoOuComentario() { return pularAte("<?", "?>") || pularAte("<!--", "-->"); }

    std::string_view lerNome() {
        const char *inicio = p;
        while (p < fim && !ehBranco(*p) && *p != '>' && *p != '/' && *p != '=' && *p != '<' &&
               *p != '"' && *p != '\'')
            ++p;
        if (p == inicio)
            incompativel();
        return std::string_view(inicio, size_t(p - inicio));
    }

    const char *p;
    const char *fim;
};

// Walks an attribute value: runs of raw bytes to `texto`, each entity or character
// reference as its number to `referencia`. False on a malformed or unknown reference.
template <class FTexto, class FReferencia>
bool percorrer(std::string_view valor, FTexto texto, FReferencia referencia) {
    size_t i = 0;
    while (i < valor.size()) {
        const size_t e = valor.find('&', i);
        if (e == std::string_view::npos) {
            texto(valor.substr(i));
            return true;
        }
        if (e > i)
            texto(valor.substr(i, e - i));
        const size_t pontoEVirgula = valor.find(';', e);
        if (pontoEVirgula == std::string_view::npos)
            return false;
        const std::string_view nome = valor.substr(e + 1, pontoEVirgula - e - 1);
        uint32_t n = 0;
        if (nome == "lt")
            n = '<';
        else if (nome == "gt")
            n = '>';
        else if (nome == "amp")
            n = '&';
        else if (nome == "apos")
            n = '\'';
        else if (nome == "quot")
            n = '"';
        else if (nome.size() > 2 && nome[0] == '#' && (nome[1] == 'x' || nome[1] == 'X')) {
            if (!lerInteiro(nome.substr(2), n, 16))
                return false;
        } else if (nome.size() > 1 && nome[0] == '#') {
            if (!lerInteiro(nome.substr(1), n))
                return false;
        } else
            return false;
        if (!referencia(n))
            return false;
        i = pontoEVirgula + 1;
    }
    return true;
}

bool ascii(std::string_view texto) {
    for (char c : texto)
        if (static_cast<unsigned char>(c) >= 128)
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
                    saida += paraCp1252(QString::fromUtf8(run.data(), qsizetype(run.size())));
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
        return deCp1252(QByteArray::fromRawData(run.data(), qsizetype(run.size())));
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

void SalvarCadastro(const TTabela &tabela, const QString &caminho) {
    const QString nativo = QDir::toNativeSeparators(caminho);
    QSaveFile arquivo(caminho);
    // A writable file in a folder the user cannot write: no temporary file can be made beside
    // it, so the file itself is written over (every write, the flush and the close checked).
    arquivo.setDirectWriteFallback(true);
    if (!arquivo.open(QIODevice::WriteOnly))
        throw ErroTabela(
            QStringLiteral("Cannot create file \"%1\". %2").arg(nativo, arquivo.errorString()));
    bool escreveu = true;
    Saida s(1 << 20, [&](std::string_view bloco) {
        escreveu =
            escreveu && arquivo.write(bloco.data(), qint64(bloco.size())) == qint64(bloco.size());
    });
    escreverPacote(tabela, s);
    s.despejar();
    // The last bytes may still sit in the file's buffer; commit() writes them on closing but
    // does not see that write fail (a full disk would then replace the file with a cut one).
    if (!escreveu || !arquivo.flush() || !arquivo.commit())
        throw ErroTabela(
            QStringLiteral("Cannot write file \"%1\". %2").arg(nativo, arquivo.errorString()));
}

void CarregarCadastro(TTabela &tabela, const QString &caminho) {
    QFile arquivo(caminho);
    const auto naoAbriu = [&] {
        return ErroTabela(QStringLiteral("Cannot open file \"%1\". %2")
                              .arg(QDir::toNativeSeparators(caminho), arquivo.errorString()));
    };
    if (!arquivo.open(QIODevice::ReadOnly))
        throw naoAbriu();
    const QByteArray pacote = arquivo.readAll();
    if (arquivo.error() != QFileDevice::NoError)
        throw naoAbriu();
    arquivo.close();
    LerPacote(pacote, tabela);
}
