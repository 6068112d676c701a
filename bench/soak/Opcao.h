#pragma once
// A numeric command-line option of the soak benchmarks: "--nome N", at least 1.
#include <algorithm>
#include <cstdlib>
#include <cstring>

inline long opcao(int argc, char **argv, const char *nome, long padrao) {
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], nome) == 0)
            return std::max(1L, std::atol(argv[i + 1]));
    return padrao;
}
