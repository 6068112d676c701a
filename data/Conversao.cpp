#include "Conversao.h"

#include "Cp1252.h"

#include <cmath>
#include <stdexcept>

namespace {

constexpr int CasasDinheiro = 4;

[[noreturn]] void foraDeAlcance() {
    throw std::range_error("price out of range");
}

// x * 10^n, refusing what does not fit in 64 bits.
int64_t vezesPotencia10(int64_t x, int n) {
    for (; n > 0; --n) {
        if (x > INT64_MAX / 10 || x < INT64_MIN / 10)
            foraDeAlcance();
        x *= 10;
    }
    return x;
}

int64_t decimalComoDinheiro(const Decimal &v) {
    if (v.decimals <= CasasDinheiro)
        return vezesPotencia10(v.unscaled, CasasDinheiro - v.decimals);
    // The magnitude in unsigned arithmetic, which also holds INT64_MIN's.
    const uint64_t magnitude =
        v.unscaled < 0 ? 0 - static_cast<uint64_t>(v.unscaled) : static_cast<uint64_t>(v.unscaled);
    const int excesso = v.decimals - CasasDinheiro;
    // 10^19 is the last power of ten in 64 unsigned bits; any larger divisor is more than
    // twice every magnitude, so the result rounds to zero.
    if (excesso > 19)
        return 0;
    uint64_t divisor = 1;
    for (int i = 0; i < excesso; ++i)
        divisor *= 10;
    uint64_t q = magnitude / divisor;
    const uint64_t resto = magnitude % divisor;
    if (resto >= divisor - resto) // a half or more: away from zero (without overflowing resto * 2)
        ++q;
    // q is at most INT64_MAX / 10 + 1 here.
    return v.unscaled < 0 ? -static_cast<int64_t>(q) : static_cast<int64_t>(q);
}

// The exact value of x times 10000, rounded once to the nearest, halves to even: x is m * 2^e
// with an integer m of at most 53 bits, so m * 10000 fits in 128 bits and only the shift by e
// rounds. (Rounding the double product first moves a value just below a half onto the half.)
int64_t duploComoDinheiro(double x) {
    if (!std::isfinite(x))
        foraDeAlcance();
    int expoente = 0;
    const double fracao = std::frexp(std::fabs(x), &expoente); // |x| = fracao * 2^expoente
    const auto mantissa = static_cast<int64_t>(std::ldexp(fracao, 53)); // exact: 53 bits
    expoente -= 53;
    // A non-zero mantissa has its bit 52 set, so from 2^0 on the value is past 2^52 * 10000.
    if (expoente >= 0)
        foraDeAlcance();
    unsigned __int128 magnitude = static_cast<unsigned __int128>(mantissa) * 10000; // < 2^67
    if (-expoente >= 68) {
        magnitude = 0; // below a half
    } else {
        const int corte = -expoente;
        const unsigned __int128 um = 1;
        const unsigned __int128 resto = magnitude & ((um << corte) - 1);
        const unsigned __int128 metade = um << (corte - 1);
        magnitude >>= corte;
        if (resto > metade || (resto == metade && (magnitude & 1)))
            ++magnitude;
    }
    // INT64_MIN's magnitude is the one that fits on the negative side only.
    const auto limite = static_cast<unsigned __int128>(INT64_MAX) + (x < 0 ? 1 : 0);
    if (magnitude > limite)
        foraDeAlcance();
    return x < 0 ? static_cast<int64_t>(0 - static_cast<uint64_t>(magnitude))
                 : static_cast<int64_t>(magnitude);
}

} // namespace

QString ComoTexto(const Valor &v) {
    return std::visit(
        [](const auto &x) -> QString {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return {};
            else if constexpr (std::is_same_v<T, QString>)
                return x;
            else if constexpr (std::is_same_v<T, QByteArray>)
                return DeCp1252(x);
            else if constexpr (std::is_same_v<T, int64_t>)
                return QString::number(x);
            else if constexpr (std::is_same_v<T, double>)
                return QString::number(x, 'g', 17);
            else if constexpr (std::is_same_v<T, Decimal>) {
                const auto absoluto = static_cast<qulonglong>(x.unscaled);
                QString digitos = QString::number(x.unscaled < 0 ? 0 - absoluto : absoluto);
                if (x.decimals > 0) {
                    digitos = digitos.rightJustified(x.decimals + 1, u'0');
                    digitos.insert(digitos.size() - x.decimals, u'.');
                }
                return x.unscaled < 0 ? u'-' + digitos : digitos;
            } else if constexpr (std::is_same_v<T, QDate> || std::is_same_v<T, QTime> ||
                                 std::is_same_v<T, QDateTime>)
                return x.toString(Qt::ISODate);
            else
                return x ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
        },
        v);
}

int64_t ComoDinheiro(const Valor &v) {
    if (EhNulo(v))
        return 0;
    if (const auto *n = std::get_if<int64_t>(&v))
        return vezesPotencia10(*n, CasasDinheiro);
    if (const auto *dec = std::get_if<Decimal>(&v))
        return decimalComoDinheiro(*dec);
    if (const auto *x = std::get_if<double>(&v))
        return duploComoDinheiro(*x);
    throw std::range_error("price is not a number");
}
