// The product register with many products: the listing as the window runs it (TListagem's
// worker into a new table, swapped in) beside a bare classic-API fetch of the same rows; saving and loading Cadastro.xml beside
// `xmllint --noout` on the same file; peak memory. All in one run; prints medians and ratios.
// Usage: bench_register [products, default 100000] [repetitions, default 5]
#include "ArquivoCadastro.h"
#include "BancoTeste.h"
#include "BuscaCrua.h"
#include "Listagem.h"
#include "Mediana.h"
#include "uDados.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <stdexcept>
#include <vector>

namespace {

double segundos(const std::function<void()> &f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

long picoKb() {
    rusage uso{};
    getrusage(RUSAGE_SELF, &uso);
    return uso.ru_maxrss;
}

} // namespace

int main(int argc, char **argv) {
    const int produtos = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100000;
    const int n = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    try {
        BancoTeste bd({criarItens(),
                       QString("EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < %1) DO "
                               "BEGIN INSERT INTO ITENS VALUES (7890000000000 + :I, "
                               "'PRODUTO AÇÚCAR & CAFÉ ' || :I, IIF(MOD(:I, 3) = 0, NULL, "
                               ":I / 100.0), :I / 10.0 + 0.05, NULL); I = I + 1; END END")
                           .arg(produtos)});
        const QByteArray nome = bd.caminho().toLocal8Bit();
        const long picoAntes = picoKb();

        TTabela tabela;
        std::vector<double> listagem, crua;
        int linhasCruas = 0;
        for (int i = 0; i <= n; ++i) { // the first round warms up and is not counted
            // As the window lists: the shown table emptied, the listing's worker into a new
            // table, that table swapped in.
            const double l = segundos([&] {
                TListagem::Esvaziar(tabela);
                TListagem::Resultado r = TListagem::Executar(bd.caminho(), QString());
                TListagem::Aplicar(r, tabela);
                if (r.Erro)
                    std::rethrow_exception(r.Erro);
            });
            const double c = segundos([&] { linhasCruas = listagemCrua(nome); });
            if (i > 0)
                listagem.push_back(l), crua.push_back(c);
        }
        if (tabela.ContarLinhas() != produtos || linhasCruas != produtos)
            throw std::runtime_error("wrong number of rows");
        const long picoListagem = picoKb();

        // The save from the listed table; then that table goes and the loads run alone, as at
        // start-up: the program never holds two registers (a listing empties the shown table
        // before its worker fills the new one), nor the whole packet in memory (the save
        // streams it).
        QTemporaryDir pasta;
        const QString arquivo = pasta.filePath("Cadastro.xml");
        const QByteArray comando = "xmllint --noout '" + arquivo.toLocal8Bit() + "'";
        std::vector<double> gravar, carregar, xmllint;
        for (int i = 0; i <= n; ++i) {
            const double g = segundos([&] { SalvarCadastro(tabela, arquivo); });
            if (i > 0)
                gravar.push_back(g);
        }
        const long picoGravacao = picoKb();
        tabela.Fechar();
        for (int i = 0; i <= n; ++i) {
            const double c = segundos([&] {
                TTabela lida;
                CarregarCadastro(lida, arquivo);
                if (lida.ContarLinhas() != produtos)
                    throw std::runtime_error("wrong number of rows read");
            });
            int estado = 0;
            const double x = segundos([&] { estado = std::system(comando.constData()); });
            if (estado != 0)
                throw std::runtime_error("xmllint failed on the file");
            if (i > 0)
                carregar.push_back(c), xmllint.push_back(x);
        }

        const double ml = mediana(listagem), mc = mediana(crua);
        const double mg = mediana(gravar), mcar = mediana(carregar), mx = mediana(xmllint);
        std::printf("products %d, repetitions %d (medians)\n", produtos, n);
        std::printf("listing  TListagem %.1f ms | bare fetch %.1f ms | ratio %.2f (target "
                    "<= 1.2)\n",
                    ml * 1e3, mc * 1e3, ml / mc);
        std::printf("file     %.1f MB | save %.1f ms | load %.1f ms | xmllint --noout %.1f ms\n",
                    double(QFileInfo(arquivo).size()) / 1e6, mg * 1e3, mcar * 1e3, mx * 1e3);
        std::printf("ratios   load/xmllint %.2f (target <= 1) | save/load %.2f (target < 1)\n",
                    mcar / mx, mg / mcar);
        std::printf("memory   peak RSS %.1f MB (target < 100) | %.1f MB before the listing, %.1f "
                    "MB after it, %.1f MB after the saves\n",
                    double(picoKb()) / 1024, double(picoAntes) / 1024, double(picoListagem) / 1024,
                    double(picoGravacao) / 1024);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_register: %s\n", e.what());
        return 1;
    }
    return 0;
}
