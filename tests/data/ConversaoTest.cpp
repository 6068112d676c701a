#include "Conversao.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(Conversao, MoneyInTenThousandthsFromEveryKindOfValue) {
    const std::pair<Valor, int64_t> casos[] = {
        {std::monostate{}, 0},
        {int64_t{12}, 120000},
        {int64_t{-3}, -30000},
        {Decimal{1234, 2}, 123400},
        {Decimal{-1234, 2}, -123400},
        {Decimal{12345, 4}, 12345},
        {Decimal{7, 0}, 70000},
        // More than four decimals: nearest, halves away from zero.
        {Decimal{1234565, 6}, 12346},
        {Decimal{1234549, 6}, 12345},
        {Decimal{-1234565, 6}, -12346},
        {Decimal{INT64_MAX, 18}, 92234},
        {Decimal{INT64_MIN, 18}, -92234},
        {Decimal{-5, 5}, -1},
        {Decimal{-4, 5}, 0},
        // The edges of 64 bits: exact at four places, scaled up to the last that fits.
        {int64_t{INT64_MAX / 10000}, INT64_MAX / 10000 * 10000},
        {int64_t{INT64_MIN / 10000}, INT64_MIN / 10000 * 10000},
        {Decimal{INT64_MIN, 4}, INT64_MIN},
        {Decimal{INT64_MAX / 10, 3}, INT64_MAX / 10 * 10},
        // Divisors of 10^19 (the largest in 64 unsigned bits) and beyond.
        {Decimal{5000000000000000000, 23}, 1},
        {Decimal{4999999999999999999, 23}, 0},
        {Decimal{INT64_MIN, 23}, -1},
        {Decimal{INT64_MIN, 24}, 0},
        // Floating point: the double's exact value times 10000, rounded once to the nearest,
        // halves to even. Decimal literals are near halves: the double lies on one side.
        {12.34, 123400},
        {0.03125, 312},      // a true half: 312.5
        {0.09375, 938},      // 937.5
        {-0.03125, -312},
        {24.90495, 249049},  // 249049.49999999999477...
        {-24.90495, -249049},
        {24.90005, 249001},  // 249000.50000000000238...
        {0.00125, 13},       // 12.500000000000000260...
        {-0.00125, -13},
        {0.00005, 1},        // 0.50000000000000002396...
        {0.00135, 14},
        {1.23456, 12346},
        {0x1p-1074, 0},
        {922337203685477.5, 9223372036854775000}, // the largest double that fits
        // (2^53 - 1) / 32: exactly ...687.5, where the double product is 199 off.
        {0x1.fffffffffffffp47, 2814749767106559688},
        {-0x1.fffffffffffffp47, -2814749767106559688},
    };
    for (const auto &[valor, esperado] : casos)
        EXPECT_EQ(ComoDinheiro(valor), esperado) << ComoTexto(valor).toStdString();
}

TEST(Conversao, MoneyOutOfRangeOrNotANumberRaises) {
    const Valor casos[] = {
        int64_t{INT64_MAX / 1000},
        int64_t{INT64_MAX / 10000 + 1},
        int64_t{INT64_MIN / 10000 - 1},
        Decimal{INT64_MIN, 2},
        Decimal{INT64_MIN, 3},
        Decimal{INT64_MAX / 10 + 1, 3},
        std::numeric_limits<double>::quiet_NaN(),
        std::numeric_limits<double>::infinity(),
        1e300,
        922337203685477.625, // the next double: past INT64_MAX
        -922337203685477.625,
        QString("12.34"),
        QDate(2024, 1, 2),
    };
    for (const auto &valor : casos)
        EXPECT_THROW(ComoDinheiro(valor), std::range_error) << ComoTexto(valor).toStdString();
}

TEST(Conversao, TextFromEveryKindOfValue) {
    const std::pair<Valor, QString> casos[] = {
        {std::monostate{}, ""},
        {QString("ABC  "), "ABC  "},
        {QByteArray("caf\xe9"), "café"},
        {int64_t{-42}, "-42"},
        {Decimal{1234, 2}, "12.34"},
        {Decimal{-5, 3}, "-0.005"},
        {Decimal{INT64_MIN, 0}, "-9223372036854775808"},
        {2.5, "2.5"},
        {QDate(2024, 2, 29), "2024-02-29"},
        {true, "TRUE"},
    };
    for (const auto &[valor, esperado] : casos)
        EXPECT_EQ(ComoTexto(valor), esperado);
}

} // namespace
