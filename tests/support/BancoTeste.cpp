#include "BancoTeste.h"

#include <QFile>
#include <ibase.h>

#include <stdexcept>

namespace {

const char Senha[] = "plumtower";

void verificar(ISC_STATUS r, const ISC_STATUS *status, const QString &oQue) {
    if (!r)
        return;
    QByteArray texto;
    char linha[512];
    const ISC_STATUS *p = status;
    while (fb_interpret(linha, sizeof linha, &p) > 0)
        texto += QByteArray(" ") + linha;
    throw std::runtime_error((oQue + ":").toStdString() + texto.toStdString());
}

isc_db_handle anexar(const QString &nome) {
    QByteArray dpb;
    dpb += char(isc_dpb_version1);
    dpb += char(isc_dpb_user_name);
    dpb += char(6);
    dpb += "SYSDBA";
    dpb += char(isc_dpb_password);
    dpb += char(sizeof Senha - 1);
    dpb += Senha;
    const QByteArray n = nome.toLocal8Bit();
    ISC_STATUS_ARRAY st;
    isc_db_handle db = 0;
    verificar(isc_attach_database(st, short(n.size()), n.constData(), &db, short(dpb.size()),
                                  dpb.constData()),
              st, "attach " + nome);
    return db;
}

void executar(isc_db_handle &db, const QByteArray &sql, int dialeto) {
    ISC_STATUS_ARRAY st;
    isc_tr_handle tr = 0;
    verificar(isc_start_transaction(st, &tr, 1, &db, 0, nullptr), st, "start");
    if (isc_dsql_execute_immediate(st, &db, &tr, 0, sql.constData(), dialeto, nullptr)) {
        ISC_STATUS_ARRAY outro;
        isc_rollback_transaction(outro, &tr);
        verificar(1, st, QString::fromLatin1(sql));
    }
    verificar(isc_commit_transaction(st, &tr), st, "commit");
}

} // namespace

QString criarItens(const TiposItens &t) {
    return QString("CREATE TABLE ITENS (CODIGO %1, DESCRICAO %2, AVISTA %3, VENDA %4, INATIVO %5)")
        .arg(t.codigo, t.descricao, t.avista, t.venda, t.inativo);
}

BancoTeste::BancoTeste(const QStringList &comandos, int dialeto, const QString &conjunto) {
    if (!FPasta.isValid())
        throw std::runtime_error("no temporary directory");
    // The server may run as another user: it must reach and write the file.
    QFile::setPermissions(FPasta.path(), QFile::Permissions(0x7777));
    FCaminho = FPasta.filePath("itens.fdb");
    const QByteArray criar = QString("CREATE DATABASE '%1' USER 'SYSDBA' PASSWORD '%2' "
                                     "PAGE_SIZE 4096 DEFAULT CHARACTER SET %3")
                                 .arg(FCaminho, Senha, conjunto)
                                 .toLocal8Bit();
    ISC_STATUS_ARRAY st;
    isc_db_handle db = 0;
    isc_tr_handle tr = 0;
    verificar(isc_dsql_execute_immediate(st, &db, &tr, 0, criar.constData(), dialeto, nullptr), st,
              "create " + FCaminho);
    try {
        // The attachment has no character set: the texts' bytes are taken as the columns'.
        for (const QString &c : comandos)
            executar(db, conjunto == "UTF8" ? c.toUtf8() : c.toLatin1(), dialeto);
    } catch (...) {
        isc_detach_database(st, &db);
        throw;
    }
    verificar(isc_detach_database(st, &db), st, "detach");
    QFile::setPermissions(FCaminho, QFile::Permissions(0x6666));
}

int contarConexoes(const QString &nomeBanco, bool SoComTransacao) {
    isc_db_handle db = anexar(nomeBanco);
    ISC_STATUS_ARRAY st;
    isc_tr_handle tr = 0;
    isc_stmt_handle stmt = 0;
    ISC_LONG contagem = -1;
    short nulo = 0;
    XSQLDA saida{};
    saida.version = SQLDA_VERSION1;
    saida.sqln = 1;
    saida.sqld = 1;
    saida.sqlvar[0].sqltype = SQL_LONG + 1;
    saida.sqlvar[0].sqllen = sizeof contagem;
    saida.sqlvar[0].sqldata = reinterpret_cast<char *>(&contagem);
    saida.sqlvar[0].sqlind = &nulo;
    const QByteArray sql =
        QByteArray("SELECT CAST(COUNT(*) AS INTEGER) FROM MON$ATTACHMENTS A "
                   "WHERE A.MON$ATTACHMENT_ID <> CURRENT_CONNECTION AND A.MON$SYSTEM_FLAG = 0") +
        (SoComTransacao ? " AND EXISTS (SELECT 1 FROM MON$TRANSACTIONS T "
                          "WHERE T.MON$ATTACHMENT_ID = A.MON$ATTACHMENT_ID)"
                        : "");
    ISC_STATUS r = isc_start_transaction(st, &tr, 1, &db, 0, nullptr);
    if (!r)
        r = isc_dsql_alloc_statement2(st, &db, &stmt);
    if (!r)
        r = isc_dsql_prepare(st, &tr, &stmt, 0, sql.constData(), 3, nullptr);
    if (!r)
        r = isc_dsql_execute(st, &tr, &stmt, 1, nullptr);
    if (!r)
        r = isc_dsql_fetch(st, &stmt, 1, &saida);
    ISC_STATUS_ARRAY outro;
    if (stmt)
        isc_dsql_free_statement(outro, &stmt, DSQL_drop);
    if (tr)
        isc_commit_transaction(outro, &tr);
    isc_detach_database(outro, &db);
    verificar(r, st, "count attachments of " + nomeBanco);
    return contagem;
}
