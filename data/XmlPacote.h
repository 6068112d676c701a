#pragma once
// The XML tokenizer of the packet reader: tags with their attributes, blanks, comments and
// processing instructions skipped, references in attribute values. Forward only, every read
// checked against the end, no recursion.
#include "ErroTabela.h"
#include <charconv>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

namespace pacote {

[[noreturn]] inline void incompativel() {
    throw ErroTabela(QStringLiteral("Mismatch in datapacket."));
}
inline bool ehBranco(char c) {
    return static_cast<unsigned char>(c) >= 1 && static_cast<unsigned char>(c) <= 32;
}

inline char minuscula(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

inline bool igualSemCaixa(std::string_view a, std::string_view b) {
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

inline bool ascii(std::string_view texto) {
    for (char c : texto)
        if (static_cast<unsigned char>(c) >= 128)
            return false;
    return true;
}

} // namespace pacote
