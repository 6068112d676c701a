// The packet writer: the whole register table as one line of XML, byte for byte.
#include "PacoteEscrita.h"
#include "ArquivoCadastro.h"
#include "DecimalTexto.h"
#include <charconv>
#include <cmath>

using namespace pacote;

namespace {

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

void pacote::escreverUni(Saida &s, const QString &texto) {
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

void pacote::escreverPacote(const TTabela &tabela, Saida &s) {
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
            if (EhNulo(valor))
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

QByteArray EscreverPacote(const TTabela &tabela) {
    Saida s(1 << 16);
    escreverPacote(tabela, s);
    return s.terminar();
}
