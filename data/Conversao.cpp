#include "Conversao.h"

#include "Cp1252.h"

#include <cmath>
#include <stdexcept>

namespace {

constexpr int CasasDinheiro = 4;

int64_t comoInt64(__int128 x) {
    if (x > INT64_MAX || x < INT64_MIN)
        throw std::range_error("price out of range");
    return static_cast<int64_t>(x);
}

__int128 potencia10(int n) {
    __int128 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

int64_t decimalComoDinheiro(const Decimal &v) {
    if (v.decimals <= CasasDinheiro)
        return comoInt64(__int128(v.unscaled) * potencia10(CasasDinheiro - v.decimals));
    const __int128 divisor = potencia10(v.decimals - CasasDinheiro);
    __int128 q = v.unscaled / divisor;
    const __int128 resto = v.unscaled % divisor;
    if ((resto < 0 ? -resto : resto) * 2 >= divisor)
        q += v.unscaled < 0 ? -1 : 1;
    return comoInt64(q);
}

} // namespace

QString comoTexto(const Valor &v) {
    return std::visit(
        [](const auto &x) -> QString {
            using T = std::decay_t<decltype(x)>;
            if constexpr (std::is_same_v<T, std::monostate>)
                return {};
            else if constexpr (std::is_same_v<T, QString>)
                return x;
            else if constexpr (std::is_same_v<T, QByteArray>)
                return deCp1252(x);
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

int64_t comoDinheiro(const Valor &v) {
    if (ehNulo(v))
        return 0;
    if (const auto *n = std::get_if<int64_t>(&v))
        return comoInt64(__int128(*n) * 10000);
    if (const auto *dec = std::get_if<Decimal>(&v))
        return decimalComoDinheiro(*dec);
    if (const auto *x = std::get_if<double>(&v)) {
        // nearbyint rounds halves to even in the default rounding mode.
        const double escalado = std::nearbyint(*x * 10000.0);
        if (!std::isfinite(escalado) || escalado >= 0x1p63 || escalado < -0x1p63)
            throw std::range_error("price out of range");
        return static_cast<int64_t>(escalado);
    }
    throw std::range_error("price is not a number");
}
