#include "BuscaCrua.h"

#include <ibase.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

const char SqlBusca[] = "SELECT CODIGO, DESCRICAO, AVISTA, VENDA PRECO FROM ITENS\n"
                        "WHERE CODIGO = ?\n"
                        "AND COALESCE(INATIVO, 'N') = 'N'\n"
                        "AND (COALESCE(AVISTA, 0) > 0 OR COALESCE(VENDA, 0) > 0)\n";

const char SqlRegistro[] = "SELECT CODIGO, DESCRICAO, AVISTA PROMOCAO, VENDA PRECO FROM ITENS\n"
                           "WHERE COALESCE(INATIVO, 'N') = 'N'\n"
                           "AND (COALESCE(AVISTA, 0) > 0 OR COALESCE(VENDA, 0) > 0)\n"
                           "ORDER BY CODIGO\n";

void ok(ISC_STATUS r, const ISC_STATUS *st) {
    if (r) {
        char linha[512];
        const ISC_STATUS *p = st;
        fb_interpret(linha, sizeof linha, &p);
        throw std::runtime_error(linha);
    }
}

const char Dpb[] = {isc_dpb_version1, isc_dpb_user_name, 6, 'S', 'Y', 'S', 'D', 'B', 'A',
                    isc_dpb_password, 9, 'p', 'l', 'u', 'm', 't', 'o', 'w', 'e', 'r',
                    isc_dpb_lc_ctype, 7, 'W', 'I', 'N', '1', '2', '5', '2'};

// Runs a four-column statement with an optional text parameter and hands every fetched row's
// buffers (data and NULL flags) to porLinha, which returns false to stop.
void consultaCrua(const QByteArray &nome, const char *sql, const char *parametro,
                  const std::function<bool(const std::vector<char> *, const short *)> &porLinha) {
    static const char tpb[] = {isc_tpb_version3, isc_tpb_read_committed, isc_tpb_rec_version,
                               isc_tpb_wait};
    ISC_STATUS_ARRAY st;
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    isc_stmt_handle stmt = 0;
    ok(isc_attach_database(st, short(nome.size()), nome.constData(), &db, sizeof Dpb, Dpb), st);
    ok(isc_start_transaction(st, &tr, 1, &db, short(sizeof tpb), tpb), st);
    ok(isc_dsql_alloc_statement2(st, &db, &stmt), st);
    std::unique_ptr<XSQLDA, decltype(&std::free)> saida(
        static_cast<XSQLDA *>(std::calloc(1, XSQLDA_LENGTH(4))), &std::free);
    saida->version = SQLDA_VERSION1;
    saida->sqln = 4;
    ok(isc_dsql_prepare(st, &tr, &stmt, 0, sql, 3, saida.get()), st);
    std::vector<char> dados[4];
    short nulos[4];
    for (int i = 0; i < 4; ++i) {
        dados[i].resize(size_t(saida->sqlvar[i].sqllen) + 2);
        saida->sqlvar[i].sqldata = dados[i].data();
        saida->sqlvar[i].sqlind = &nulos[i];
    }
    XSQLDA entrada{};
    short nuloEntrada = 0;
    if (parametro) {
        entrada.version = SQLDA_VERSION1;
        entrada.sqln = entrada.sqld = 1;
        entrada.sqlvar[0].sqltype = SQL_TEXT + 1;
        entrada.sqlvar[0].sqllen = short(std::strlen(parametro));
        entrada.sqlvar[0].sqldata = const_cast<char *>(parametro);
        entrada.sqlvar[0].sqlind = &nuloEntrada;
    }
    ok(isc_dsql_execute(st, &tr, &stmt, 1, parametro ? &entrada : nullptr), st);
    ISC_STATUS r;
    while ((r = isc_dsql_fetch(st, &stmt, 1, saida.get())) == 0)
        if (!porLinha(dados, nulos))
            break;
    if (r != 0 && r != 100)
        ok(r, st);
    ok(isc_dsql_free_statement(st, &stmt, DSQL_drop), st);
    ok(isc_commit_transaction(st, &tr), st);
    ok(isc_detach_database(st, &db), st);
}

} // namespace

int64_t buscaCrua(const QByteArray &nome, const char *codigo) {
    int64_t preco = 0;
    consultaCrua(nome, SqlBusca, codigo, [&](const std::vector<char> *dados, const short *nulos) {
        if (nulos[3] == 0)
            std::memcpy(&preco, dados[3].data(), sizeof preco);
        return false; // only the first row, as the lookup reads it
    });
    return preco;
}

int listagemCrua(const QByteArray &nome) {
    int linhas = 0;
    consultaCrua(nome, SqlRegistro, nullptr, [&](const std::vector<char> *, const short *) {
        ++linhas;
        return true;
    });
    return linhas;
}

static_assert(sizeof(isc_db_handle) == sizeof(unsigned));

AnexoOciosoCru::AnexoOciosoCru(const QByteArray &nome) {
    ISC_STATUS_ARRAY st;
    isc_db_handle db = 0;
    ok(isc_attach_database(st, short(nome.size()), nome.constData(), &db, sizeof Dpb, Dpb), st);
    FHandle = db;
}

AnexoOciosoCru::~AnexoOciosoCru() {
    ISC_STATUS_ARRAY st;
    isc_db_handle db = FHandle;
    isc_detach_database(st, &db);
}
