// One lookup in a process of its own, for tests that need what the C library's locale
// (LC_ALL, LANG) makes of a fresh process: the Firebird client reads it once per process.
// Prints "ENCONTRADO|<description>", "NAOENCONTRADO|" or "ERRO|<message>", one line.
#include "uDados.h"

#include <clocale>
#include <cstdio>

int main(int argc, char **argv) {
    std::setlocale(LC_ALL, ""); // as every Qt program does at its start
    if (argc != 3)
        return 2;
    try {
        TDados dados(QString::fromUtf8(argv[1]));
        const std::unique_ptr<TProduto> produto = dados.BuscarProduto(QString::fromUtf8(argv[2]));
        std::printf("%s|%s\n", produto->Encontrado ? "ENCONTRADO" : "NAOENCONTRADO",
                    produto->Descricao.toUtf8().constData());
        return 0;
    } catch (const std::exception &e) {
        std::printf("ERRO|%s\n", e.what());
        return 1;
    }
}
