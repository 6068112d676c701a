#pragma once
// The packet writer's pieces that the reader and the file share: the type words, the output
// buffer, the wide-text form of a name, and the whole packet into a buffer.
#include "Tabela.h"
#include <QByteArray>
#include <array>
#include <functional>
#include <string_view>

namespace pacote {

struct TipoArquivo {
    TipoCampo tipo;
    const char *palavra;
};

// The type words; the reader accepts exactly these (letter case ignored).
inline constexpr std::array<TipoArquivo, 13> TiposArquivo{{
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

inline const char *palavraDe(TipoCampo tipo) {
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

// Wide text: code units from 128 up as decimal references, the rest escaped.
void escreverUni(Saida &s, const QString &texto);
// The whole packet, in the order of the format.
void escreverPacote(const TTabela &tabela, Saida &s);

} // namespace pacote
