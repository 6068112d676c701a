// One product lookup through TDados::BuscarProduto against the same lookup done with bare
// classic-API calls (attach, start, prepare, execute, fetch, commit, detach), interleaved in one
// run, on the embedded engine and through the local server. Prints medians, p99s and ratios.
// Usage: bench_lookup [lookups per path, default 200]
#include "BancoTeste.h"
#include "uDados.h"

#include <ibase.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <vector>

namespace {

const char Sql[] = "SELECT CODIGO, DESCRICAO, AVISTA, VENDA PRECO FROM ITENS\n"
                   "WHERE CODIGO = ?\n"
                   "AND COALESCE(INATIVO, 'N') = 'N'\n"
                   "AND (COALESCE(AVISTA, 0) > 0 OR COALESCE(VENDA, 0) > 0)\n";

void ok(ISC_STATUS r, const ISC_STATUS *st) {
    if (r) {
        char linha[512];
        const ISC_STATUS *p = st;
        fb_interpret(linha, sizeof linha, &p);
        throw std::runtime_error(linha);
    }
}

// The reference: the fewest calls that do the lookup, with a fixed output layout.
int64_t buscaCrua(const QByteArray &nome, const char *codigo) {
    static const char dpb[] = {isc_dpb_version1,
                               isc_dpb_user_name,
                               6,
                               'S',
                               'Y',
                               'S',
                               'D',
                               'B',
                               'A',
                               isc_dpb_password,
                               9,
                               'p',
                               'l',
                               'u',
                               'm',
                               't',
                               'o',
                               'w',
                               'e',
                               'r',
                               isc_dpb_lc_ctype,
                               7,
                               'W',
                               'I',
                               'N',
                               '1',
                               '2',
                               '5',
                               '2'};
    static const char tpb[] = {isc_tpb_version3, isc_tpb_read_committed, isc_tpb_rec_version,
                               isc_tpb_wait};
    ISC_STATUS_ARRAY st;
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    isc_stmt_handle stmt = 0;
    ok(isc_attach_database(st, short(nome.size()), nome.constData(), &db, sizeof dpb, dpb), st);
    ok(isc_start_transaction(st, &tr, 1, &db, short(sizeof tpb), tpb), st);
    ok(isc_dsql_alloc_statement2(st, &db, &stmt), st);
    XSQLDA *saida = static_cast<XSQLDA *>(std::calloc(1, XSQLDA_LENGTH(4)));
    saida->version = SQLDA_VERSION1;
    saida->sqln = 4;
    ok(isc_dsql_prepare(st, &tr, &stmt, 0, Sql, 3, saida), st);
    char dados[4][64];
    short nulos[4];
    for (int i = 0; i < 4; ++i) {
        saida->sqlvar[i].sqldata = dados[i];
        saida->sqlvar[i].sqlind = &nulos[i];
    }
    XSQLDA entrada{};
    entrada.version = SQLDA_VERSION1;
    entrada.sqln = entrada.sqld = 1;
    short nuloEntrada = 0;
    entrada.sqlvar[0].sqltype = SQL_TEXT + 1;
    entrada.sqlvar[0].sqllen = short(std::strlen(codigo));
    entrada.sqlvar[0].sqldata = const_cast<char *>(codigo);
    entrada.sqlvar[0].sqlind = &nuloEntrada;
    ok(isc_dsql_execute(st, &tr, &stmt, 1, &entrada), st);
    int64_t preco = 0;
    if (isc_dsql_fetch(st, &stmt, 1, saida) == 0 && nulos[3] == 0)
        std::memcpy(&preco, dados[3], sizeof preco);
    std::free(saida);
    ok(isc_dsql_free_statement(st, &stmt, DSQL_drop), st);
    ok(isc_commit_transaction(st, &tr), st);
    ok(isc_detach_database(st, &db), st);
    return preco;
}

double segundos(const std::function<void()> &f) {
    const auto t0 = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

double quantil(std::vector<double> v, double q) {
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(q * double(v.size())))];
}

void medir(const char *rotulo, const QString &nome, int n) {
    const QByteArray nomeBytes = nome.toLocal8Bit();
    std::vector<double> dados, cru;
    int achados = 0;
    auto porTDados = [&] {
        TDados d(nome);
        achados += d.BuscarProduto("7890000004999")->Encontrado;
    };
    auto semCamada = [&] { buscaCrua(nomeBytes, "7890000004999"); };
    porTDados(); // warm-up: load the engine and fill the page cache
    semCamada();
    for (int i = 0; i < n; ++i) {
        // Alternate which goes first so that neither always finds the warmer state.
        if (i % 2) {
            dados.push_back(segundos(porTDados));
            cru.push_back(segundos(semCamada));
        } else {
            cru.push_back(segundos(semCamada));
            dados.push_back(segundos(porTDados));
        }
    }
    const double md = quantil(dados, 0.5), mc = quantil(cru, 0.5);
    const double pd = quantil(dados, 0.99), pc = quantil(cru, 0.99);
    std::printf("%-10s n=%d  TDados median %.2f ms p99 %.2f ms | bare median %.2f ms p99 %.2f ms"
                " | ratio median %.3f p99 %.3f (target <= 1.10)%s\n",
                rotulo, n, md * 1e3, pd * 1e3, mc * 1e3, pc * 1e3, md / mc, pd / pc,
                achados == n + 1 ? "" : "  LOOKUP FAILED");
}

} // namespace

int main(int argc, char **argv) {
    const int n = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;
    try {
        BancoTeste bd({criarItens({.codigo = "VARCHAR(13)"}),
                       "CREATE INDEX IX_ITENS_CODIGO ON ITENS (CODIGO)",
                       "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < 10000) DO BEGIN "
                       "INSERT INTO ITENS VALUES (7890000000000 + :I, "
                       "'PRODUTO ' || :I, 0, :I / 100.0, NULL); I = I + 1; END END"});
        medir("embedded", bd.caminho(), n);
        medir("Localhost:", bd.viaServidor(), n);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "bench_lookup: %s\n", e.what());
        return 1;
    }
    return 0;
}
