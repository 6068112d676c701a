#include "ArquivoCadastro.h"
#include "../text/Cp1252.h"
#include "DecimalTexto.h"
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
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

void escaparByte(QByteArray &s, char c) {
    switch (c) {
    case '<':
        s += "&lt;";
        break;
    case '>':
        s += "&gt;";
        break;
    case '&':
        s += "&amp;";
        break;
    case '\'':
        s += "&apos;";
        break;
    case '"':
        s += "&quot;";
        break;
    case '\r':
        s += "&#013;";
        break;
    case '\n':
        s += "&#010;";
        break;
    case '\t':
        s += "&#009;";
        break;
    case '\\':
        s += "&#092;";
        break;
    default:
        s += c;
    }
}

void escreverNumero(QByteArray &s, int64_t n) {
    char buffer[24];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, n);
    s.append(buffer, r.ptr - buffer);
}

// Wide text: code units from 128 up as decimal references, the rest escaped.
void escreverUni(QByteArray &s, const QString &texto) {
    for (QChar c : texto) {
        const char16_t u = c.unicode();
        if (u < 128) {
            escaparByte(s, char(u));
        } else {
            s += "&#";
            escreverNumero(s, u);
            s += ';';
        }
    }
}

void escreverBytes(QByteArray &s, const QByteArray &bytes) {
    for (char c : bytes)
        escaparByte(s, c);
}

void doisDigitos(QByteArray &s, int n) {
    s += char('0' + n / 10);
    s += char('0' + n % 10);
}

void escreverData(QByteArray &s, const QDate &d) {
    doisDigitos(s, d.year() / 100);
    doisDigitos(s, d.year() % 100);
    doisDigitos(s, d.month());
    doisDigitos(s, d.day());
}

void escreverHora(QByteArray &s, const QTime &t) {
    doisDigitos(s, t.hour());
    s += ':';
    doisDigitos(s, t.minute());
    s += ':';
    const int milesimos = t.second() * 1000 + t.msec();
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "%05d", milesimos);
    s += buffer;
}

void escreverValor(QByteArray &s, const Valor &valor, const TDefinicaoCampo &definicao) {
    struct Visitante {
        QByteArray &s;
        const TDefinicaoCampo &d;
        void operator()(std::monostate) const {}
        void operator()(const QString &v) const { escreverUni(s, v); }
        void operator()(const QByteArray &v) const {
            if (d.tipo == TipoCampo::Blob)
                s += v.toBase64();
            else
                escreverBytes(s, v);
        }
        void operator()(int64_t v) const { escreverNumero(s, v); }
        void operator()(double v) const { s += FormatoFlutuante(v); }
        void operator()(const Decimal &v) const { s += escreverDecimal(v); }
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

void abrirAtributo(QByteArray &s, const char *nome) {
    s += ' ';
    s += nome;
    s += "=\"";
}

void atributoNumero(QByteArray &s, const char *nome, int64_t valor) {
    abrirAtributo(s, nome);
    escreverNumero(s, valor);
    s += '"';
}

void escreverCampo(QByteArray &s, const TDefinicaoCampo &d) {
    s += "<FIELD";
    abrirAtributo(s, "attrname");
    escreverUni(s, d.nome);
    s += '"';
    abrirAtributo(s, "fieldtype");
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

QByteArray EscreverPacote(const TTabela &tabela) {
    QByteArray s;
    s.reserve(256 +
              qsizetype(tabela.LinhasGuardadas().size()) * 32 * std::max(1, tabela.ContarCampos()));
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
    for (const TLinha &linha : tabela.LinhasGuardadas()) {
        s += "<ROW";
        if (linha.estado != EstadoInalterado)
            atributoNumero(s, "RowState", linha.estado);
        for (int i = 0; i < tabela.ContarCampos(); ++i) {
            const Valor &valor = linha.valores[size_t(i)];
            if (ehNulo(valor))
                continue;
            s += ' ';
            escreverUni(s, tabela.Definicao(i).nome);
            s += "=\"";
            escreverValor(s, valor, tabela.Definicao(i));
            s += '"';
        }
        s += "/>";
    }
    s += "</ROWDATA></DATAPACKET>";
    return s;
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
        QByteArray escrito;
        escreverUni(escrito, d.nome);
        nomesNoArquivo.push_back(escrito);
        definicoes.push_back(std::move(d));
    }

    void validarCampos() {
        try {
            TTabela::ValidarDefinicoes(definicoes);
        } catch (const ErroTabela &) {
            incompativel();
        }
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
        for (const Atributo &a : m.atributos) {
            if (igualSemCaixa(a.nome, "RowState")) {
                if (!lerInteiro(a.valor, linha.estado))
                    incompativel();
                continue;
            }
            const int i = campoDoAtributo(a.nome);
            if (i < 0 || lido[size_t(i)])
                continue;
            lido[size_t(i)] = true;
            linha.valores[size_t(i)] =
                ConverterValor(lerValor(a.valor, definicoes[size_t(i)]), definicoes[size_t(i)]);
        }
        linhas.push_back(std::move(linha));
    }

    // The field an attribute of a ROW names: as this writer spells names (references for
    // characters from 128 up), else decoded and compared without regard to letter case.
    int campoDoAtributo(std::string_view nome) const {
        for (size_t i = 0; i < nomesNoArquivo.size(); ++i)
            if (igualSemCaixa(nome, std::string_view(nomesNoArquivo[i].constData(),
                                                     size_t(nomesNoArquivo[i].size()))))
                return int(i);
        QString decodificado;
        if (ascii(nome) && nome.find('&') == std::string_view::npos)
            return -1;
        if (!textoLargo(nome, decodificado))
            return -1;
        for (size_t i = 0; i < definicoes.size(); ++i)
            if (definicoes[i].nome.compare(decodificado, Qt::CaseInsensitive) == 0)
                return int(i);
        return -1;
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
        if (v.empty() || r.ec != std::errc() || r.ptr != v.data() + v.size() || !std::isfinite(f))
            valorInvalido(d);
        return f;
    }

    static bool lerData(std::string_view v, QDate &data) {
        int ano = 0, mes = 0, dia = 0;
        if (v.size() != 8 || !lerInteiro(v.substr(0, 4), ano) || !lerInteiro(v.substr(4, 2), mes) ||
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
    const QByteArray pacote = EscreverPacote(tabela);
    const QString nativo = QDir::toNativeSeparators(caminho);
    QSaveFile arquivo(caminho);
    if (!arquivo.open(QIODevice::WriteOnly))
        throw ErroTabela(
            QStringLiteral("Cannot create file \"%1\". %2").arg(nativo, arquivo.errorString()));
    if (arquivo.write(pacote) != pacote.size() || !arquivo.commit())
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
