#include "DecimalTexto.h"
#include <algorithm>
#include <charconv>
#include <limits>

namespace {

constexpr int MaxDecimais = 18; // 10^18 still fits in 64 bits

__int128 potencia10(int n) {
    __int128 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

bool cabe(__int128 v) {
    return v >= std::numeric_limits<int64_t>::min() && v <= std::numeric_limits<int64_t>::max();
}

} // namespace

char *escreverDecimal(const Decimal &valor, char *destino) {
    // Unsigned magnitude so that the most negative value has a form too.
    const uint64_t magnitude =
        valor.unscaled < 0 ? 0 - uint64_t(valor.unscaled) : uint64_t(valor.unscaled);
    char digitos[24];
    char *fimDigitos = std::to_chars(digitos, digitos + sizeof digitos, magnitude).ptr;
    const int decimais = std::clamp(valor.decimals, 0, 2 * MaxDecimais);
    const int quantos = int(fimDigitos - digitos);
    char *p = destino;
    if (valor.unscaled < 0)
        *p++ = '-';
    const int inteiros = quantos - decimais;
    if (inteiros <= 0)
        *p++ = '0';
    else
        p = std::copy(digitos, digitos + inteiros, p);
    if (decimais > 0) {
        *p++ = '.';
        for (int i = inteiros; i < 0; ++i)
            *p++ = '0';
        p = std::copy(digitos + std::max(0, inteiros), fimDigitos, p);
    }
    return p;
}

std::string escreverDecimal(const Decimal &valor) {
    char buffer[MaxTextoDecimal];
    return std::string(buffer, escreverDecimal(valor, buffer));
}

bool lerDecimal(std::string_view texto, Decimal &valor) {
    size_t i = 0;
    bool negativo = false;
    if (i < texto.size() && (texto[i] == '-' || texto[i] == '+'))
        negativo = texto[i++] == '-';
    __int128 acumulado = 0;
    int digitos = 0, decimais = 0;
    bool ponto = false;
    for (; i < texto.size(); ++i) {
        char c = texto[i];
        if (c == '.' && !ponto) {
            ponto = true;
            continue;
        }
        if (c < '0' || c > '9')
            return false;
        acumulado = acumulado * 10 + (c - '0');
        if (acumulado > (__int128(1) << 64))
            return false;
        ++digitos;
        if (ponto && ++decimais > MaxDecimais)
            return false;
    }
    if (digitos == 0)
        return false;
    if (negativo)
        acumulado = -acumulado;
    if (!cabe(acumulado))
        return false;
    valor = Decimal{int64_t(acumulado), decimais};
    return true;
}

bool reescalar(const Decimal &entrada, int decimais, Decimal &saida) {
    if (decimais < 0 || decimais > MaxDecimais || entrada.decimals < 0 ||
        entrada.decimals > 2 * MaxDecimais)
        return false;
    __int128 v = entrada.unscaled;
    if (decimais >= entrada.decimals) {
        v *= potencia10(decimais - entrada.decimals);
    } else {
        __int128 divisor = potencia10(entrada.decimals - decimais);
        __int128 resto = v % divisor;
        v /= divisor;
        if (2 * (resto < 0 ? -resto : resto) >= divisor)
            v += entrada.unscaled < 0 ? -1 : 1;
    }
    if (!cabe(v))
        return false;
    saida = Decimal{int64_t(v), decimais};
    return true;
}
