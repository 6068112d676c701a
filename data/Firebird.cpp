#include "Firebird.h"

#include "Cp1252.h"

#include <ibase.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <clocale>
#include <cstdlib>
#include <cstring>

// Outside the anonymous namespace: Consulta::Impl, whose name the header gives, holds two
// (in a unity build GCC warns of a member whose type is local to one file).
struct LiberaSqlda {
    void operator()(XSQLDA *p) const { std::free(p); }
};
using Sqlda = std::unique_ptr<XSQLDA, LiberaSqlda>;

namespace {

// Turns a failed call's status vector into ErroBanco with the client library's text, and
// a line of advice after it when there is one.
[[noreturn]] void lancar(const ISC_STATUS *status, const QString &conselho = {}) {
    QByteArray texto;
    char linha[1024];
    const ISC_STATUS *p = status;
    while (fb_interpret(linha, sizeof linha, &p) > 0) {
        if (!texto.isEmpty())
            texto += '\n';
        texto += linha;
    }
    // File names come back as they were sent; the rest is ASCII.
    QString mensagem = QString::fromLocal8Bit(texto);
    if (!conselho.isEmpty())
        mensagem += u'\n' + conselho;
    bool transliteracao = false;
    for (const ISC_STATUS *s = status; *s != isc_arg_end; s += *s == isc_arg_cstring ? 3 : 2)
        transliteracao = transliteracao || (*s == isc_arg_gds && s[1] == isc_transliteration_failed);
    throw ErroBanco(isc_sqlcode(status), status[1], mensagem, transliteracao);
}

// A plain path names the file for the embedded engine; "host:path", "host/port:path" and
// "inet://..." go through a server. "C:\\..." is a plain Windows path, and so is a path that
// starts as one ("/dados/a:b.fdb", "./a:b.fdb"), colon or not.
bool caminhoEmbutido(const QString &nome) {
    const qsizetype doisPontos = nome.indexOf(u':');
    return !nome.contains(QStringLiteral("://")) &&
           (doisPontos < 0 || doisPontos == 1 || nome.startsWith(u'/') || nome.startsWith(u'\\') ||
            nome.startsWith(u'.'));
}

bool acessoNegado(const ISC_STATUS *status) {
    for (const ISC_STATUS *p = status; *p != isc_arg_end; p += *p == isc_arg_cstring ? 3 : 2)
        if (*p == isc_arg_unix && p[1] == EACCES)
            return true;
    return false;
}

// The embedded engine runs as the user and needs the lock folder that Debian gives to the
// group firebird; the client's own text names the folder but not the way out.
QString conselhoDeAcesso(const ISC_STATUS *status, const QString &nome) {
    if (!caminhoEmbutido(nome) || !acessoNegado(status))
        return {};
    return QStringLiteral("O motor embutido do Firebird não tem acesso para este usuário "
                          "(caminho sem servidor). Entre no grupo firebird (sudo adduser %1 "
                          "firebird, depois uma nova sessão) ou use a base pelo servidor: "
                          "Localhost:%2")
        .arg(qEnvironmentVariable("USER", qEnvironmentVariable("LOGNAME", QStringLiteral("<usuário>"))),
             nome);
}

// An error found before any call, worded by the client library like its own.
[[noreturn]] void lancarLocal(const char *mensagem) {
    const ISC_STATUS status[] = {isc_arg_gds, isc_random, isc_arg_string,
                                 reinterpret_cast<ISC_STATUS>(mensagem), isc_arg_end};
    lancar(status);
}

[[noreturn]] void lancarTruncamento(qsizetype esperado, qsizetype recebido) {
    const ISC_STATUS status[] = {isc_arg_gds,    isc_arith_except,
                                 isc_arg_gds,    isc_string_truncation,
                                 isc_arg_gds,    isc_trunc_limits,
                                 isc_arg_number, static_cast<ISC_STATUS>(esperado),
                                 isc_arg_number, static_cast<ISC_STATUS>(recebido),
                                 isc_arg_end};
    lancar(status);
}

// The client converts a database name through the C library's locale (LC_CTYPE), which it
// reads once, at its first attach: under C or a locale that is not installed that is ASCII, and
// every name outside ASCII then fails ("Cannot transliterate"), UTF8_FILENAME or not. So attaches
// run under a UTF-8 LC_CTYPE of the calling thread alone; the process keeps its own locale.
class CtypeUtf8 {
public:
    CtypeUtf8() {
#ifndef _WIN32
        static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t(0));
        if (utf8)
            FAntes = uselocale(utf8);
#endif
    }
    ~CtypeUtf8() {
#ifndef _WIN32
        if (FAntes)
            uselocale(FAntes);
#endif
    }
    CtypeUtf8(const CtypeUtf8 &) = delete;
    CtypeUtf8 &operator=(const CtypeUtf8 &) = delete;

private:
#ifndef _WIN32
    locale_t FAntes = locale_t(0);
#endif
};

Sqlda novoSqlda(int n) {
    auto *p = static_cast<XSQLDA *>(std::calloc(1, XSQLDA_LENGTH(n)));
    if (!p)
        throw std::bad_alloc();
    p->version = SQLDA_VERSION1;
    p->sqln = static_cast<ISC_SHORT>(n);
    return Sqlda(p);
}

int itemDpb(const QString &nome) {
    const QString n = nome.toLower();
    if (n == u"user_name")
        return isc_dpb_user_name;
    if (n == u"password")
        return isc_dpb_password;
    if (n == u"lc_ctype")
        return isc_dpb_lc_ctype;
    if (n == u"connect_timeout")
        return isc_dpb_connect_timeout;
    if (n == u"utf8_filename")
        return isc_dpb_utf8_filename;
    throw std::invalid_argument("unknown attachment parameter: " + nome.toStdString());
}

char itemTpb(const QString &nome) {
    const QString n = nome.toLower();
    if (n == u"read_committed")
        return isc_tpb_read_committed;
    if (n == u"rec_version")
        return isc_tpb_rec_version;
    if (n == u"wait")
        return isc_tpb_wait;
    throw std::invalid_argument("unknown transaction parameter: " + nome.toStdString());
}

// ISC_DATE counts days from 1858-11-17 (Julian day 2400001); ISC_TIME ten-thousandths of a
// second from midnight.
QDate paraData(ISC_DATE d) {
    return QDate::fromJulianDay(d + 2400001);
}
QTime paraHora(ISC_TIME t) {
    return QTime::fromMSecsSinceStartOfDay(int(t / 10));
}

} // namespace

// ---------------------------------------------------------------------------------- Banco

struct Banco::Impl {
    QString nome;
    QByteArray dpb;
    bool nomeUtf8 = false; // UTF8_FILENAME given: the name goes in UTF-8, not the system's form
    bool utf8 = false;     // LC_CTYPE=UTF8: texts cross the attachment in UTF-8
    isc_db_handle handle = 0;
    int dialetoBanco = 3;
};

Banco::Banco(const QString &nome, const QStringList &parametros) : d(std::make_unique<Impl>()) {
    d->nome = nome;
    d->dpb += char(isc_dpb_version1);
    for (const QString &p : parametros) {
        const qsizetype igual = p.indexOf(u'=');
        const int item = itemDpb(igual < 0 ? p : p.left(igual));
        if (item == isc_dpb_utf8_filename && igual < 0) { // a flag: no value
            d->dpb += char(item);
            d->dpb += char(0);
            d->nomeUtf8 = true;
            continue;
        }
        const QByteArray valor = ParaCp1252(p.mid(igual + 1));
        if (igual < 0 || valor.size() > 255)
            throw std::invalid_argument("bad attachment parameter: " + p.toStdString());
        if (item == isc_dpb_lc_ctype)
            d->utf8 = valor.compare("UTF8", Qt::CaseInsensitive) == 0;
        d->dpb += char(item);
        if (item == isc_dpb_connect_timeout) { // seconds: four bytes, least significant first
            const uint32_t segundos = p.mid(igual + 1).toUInt();
            d->dpb += char(4);
            for (int i = 0; i < 4; ++i)
                d->dpb += char((segundos >> (8 * i)) & 0xFF);
            continue;
        }
        d->dpb += char(valor.size());
        d->dpb += valor;
    }
}

Banco::~Banco() {
    if (d->handle) {
        ISC_STATUS_ARRAY status;
        isc_detach_database(status, &d->handle);
    }
}

const QString &Banco::Nome() const {
    return d->nome;
}
bool Banco::Conectado() const {
    return d->handle != 0;
}
int Banco::DialetoBanco() const {
    return d->dialetoBanco;
}
int Banco::Dialeto() const {
    return std::min(3, d->dialetoBanco);
}

void Banco::Conectar() {
    if (d->handle)
        return;
    if (d->nome.isEmpty())
        lancarLocal("Database name is missing");
    // Without UTF8_FILENAME the client takes the name in the system's own 8-bit encoding (on
    // Windows the ANSI code page, which may lack its characters).
    const QByteArray nome = d->nomeUtf8 ? d->nome.toUtf8() : d->nome.toLocal8Bit();
    if (nome.size() > SHRT_MAX)
        lancarLocal("Database name is too long");
    ISC_STATUS_ARRAY status;
    ISC_STATUS falhou;
    {
        const CtypeUtf8 nomesUtf8;
        falhou = isc_attach_database(status, static_cast<short>(nome.size()), nome.constData(),
                                     &d->handle, static_cast<short>(d->dpb.size()),
                                     d->dpb.constData());
    }
    if (falhou)
        lancar(status, conselhoDeAcesso(status, d->nome));

    const char item = isc_info_db_sql_dialect;
    char resposta[64] = {};
    if (isc_database_info(status, &d->handle, 1, &item, sizeof resposta, resposta)) {
        ISC_STATUS_ARRAY outro;
        isc_detach_database(outro, &d->handle);
        d->handle = 0;
        lancar(status);
    }
    // An answer without the item means an old database: dialect 1.
    d->dialetoBanco = 1;
    for (const char *p = resposta; p + 3 <= resposta + sizeof resposta && *p != isc_info_end;) {
        const char it = *p;
        const int tamanho = isc_vax_integer(p + 1, 2);
        p += 3;
        if (it == isc_info_truncated || p + tamanho > resposta + sizeof resposta)
            break;
        if (it == isc_info_db_sql_dialect)
            d->dialetoBanco = isc_vax_integer(p, static_cast<short>(tamanho));
        p += tamanho;
    }
}

bool Banco::Responde() {
    if (!d->handle)
        return false;
    const char item = isc_info_db_sql_dialect;
    char resposta[16];
    ISC_STATUS_ARRAY status;
    return isc_database_info(status, &d->handle, 1, &item, sizeof resposta, resposta) == 0;
}

void Banco::Desconectar() {
    if (!d->handle)
        return;
    ISC_STATUS_ARRAY status;
    if (isc_detach_database(status, &d->handle))
        lancar(status);
    d->handle = 0;
}

// ------------------------------------------------------------------------------ Transacao

struct Transacao::Impl {
    Banco &banco;
    QByteArray tpb;
    isc_tr_handle handle = 0;
};

Transacao::Transacao(Banco &banco, const QStringList &parametros)
    : d(std::make_unique<Impl>(Impl{banco, {}})) {
    d->tpb += char(isc_tpb_version3);
    for (const QString &p : parametros)
        d->tpb += itemTpb(p);
}

Transacao::~Transacao() {
    if (d->handle) {
        ISC_STATUS_ARRAY status;
        isc_rollback_transaction(status, &d->handle);
    }
}

bool Transacao::Ativa() const {
    return d->handle != 0;
}

void Transacao::Iniciar() {
    if (d->handle)
        return;
    // The transaction existence block of isc_start_multiple, one per attachment.
    struct Teb {
        isc_db_handle *banco;
        int tamanho;
        const char *tpb;
    } teb{&d->banco.d->handle, int(d->tpb.size()), d->tpb.constData()};
    ISC_STATUS_ARRAY status;
    if (isc_start_multiple(status, &d->handle, 1, &teb))
        lancar(status);
}

void Transacao::Encerrar() {
    if (!d->handle)
        return;
    ISC_STATUS_ARRAY status;
    if (isc_commit_transaction(status, &d->handle))
        isc_rollback_transaction(status, &d->handle);
    // A connection that can neither commit nor roll back is gone; detaching reports it.
    d->handle = 0;
}

// ------------------------------------------------------------------------------- Consulta

struct Consulta::Impl {
    Impl(Banco &b, Transacao &t, QByteArray texto)
        : banco(b), transacao(t), sql(std::move(texto)) {}
    Banco &banco;
    Transacao &transacao;
    QByteArray sql;
    isc_stmt_handle handle = 0;
    Sqlda saida, entrada;
    std::vector<CampoOrigem> campos;
    std::vector<std::vector<char>> dados; // one buffer per output column
    std::vector<int> larguras;            // each column's sqllen: the bytes of a CHAR
    std::vector<short> nulos;
    std::vector<std::pair<int, int>> tiposParametro; // described type and length
    std::vector<QByteArray> bytesParametro;
    std::vector<short> nulosParametro;
    QStringList parametros;
    bool cursor = false;
    bool temLinha = false;
    long linhas = 0; // rows fetched since the last execution
    // A move back to the first row asked for: the statement runs again only when a row is
    // looked at, so a final move that nobody follows (the end of a copy) costs nothing.
    bool voltar = false;

    // Texts as the attachment carries them. Over UTF8 what Windows-1252 lacks becomes '?', so
    // that the program sees the texts that a WIN1252 attachment would give, had it taken them.
    QString texto(const char *p, qsizetype n) const {
        return banco.d->utf8 ? DeCp1252(ParaCp1252(QString::fromUtf8(p, n))) : DeCp1252(p, n);
    }
    QByteArray bytes(const QString &t) const {
        return banco.d->utf8 ? t.toUtf8() : ParaCp1252(t);
    }
    void preparar();
    void vincular();
    void executar();
    void buscar();
    void retomar();
    QByteArray lerBlob(const ISC_QUAD &id) const;
};

void Consulta::Impl::preparar() {
    ISC_STATUS_ARRAY status;
    if (isc_dsql_alloc_statement2(status, &banco.d->handle, &handle))
        lancar(status);
    try {
        saida = novoSqlda(16);
        if (isc_dsql_prepare(status, &transacao.d->handle, &handle, 0, sql.constData(),
                             static_cast<unsigned short>(banco.Dialeto()), saida.get()))
            lancar(status);
        if (saida->sqld > saida->sqln) {
            saida = novoSqlda(saida->sqld);
            if (isc_dsql_describe(status, &handle, SQLDA_VERSION1, saida.get()))
                lancar(status);
        }
        entrada = novoSqlda(4);
        if (isc_dsql_describe_bind(status, &handle, SQLDA_VERSION1, entrada.get()))
            lancar(status);
        if (entrada->sqld > entrada->sqln) {
            entrada = novoSqlda(entrada->sqld);
            if (isc_dsql_describe_bind(status, &handle, SQLDA_VERSION1, entrada.get()))
                lancar(status);
        }
    } catch (...) {
        ISC_STATUS_ARRAY outro;
        isc_dsql_free_statement(outro, &handle, DSQL_drop);
        handle = 0;
        throw;
    }

    const int n = saida->sqld;
    campos.assign(n, {});
    dados.assign(n, {});
    larguras.assign(n, 0);
    nulos.assign(n, 0);
    for (int i = 0; i < n; ++i) {
        XSQLVAR &v = saida->sqlvar[i];
        CampoOrigem &c = campos[i];
        c.nome = texto(v.aliasname, v.aliasname_length);
        c.tipoSql = v.sqltype & ~1;
        c.subtipo = v.sqlsubtype;
        larguras[i] = v.sqllen;
        // The declared length: over UTF8 a text column's buffer holds four bytes a character.
        const bool coluna = c.tipoSql == SQL_TEXT || c.tipoSql == SQL_VARYING;
        c.tamanho = banco.d->utf8 && coluna ? v.sqllen / 4 : v.sqllen;
        c.escala = v.sqlscale;
        c.anulavel = v.sqltype & 1;
        // A CHAR(0) column still needs a buffer: the client refuses a null data pointer.
        dados[i].resize(std::max(1, v.sqllen + (c.tipoSql == SQL_VARYING ? 2 : 0)));
        v.sqldata = dados[i].data();
        v.sqlind = &nulos[i];
    }
    tiposParametro.clear();
    for (int i = 0; i < entrada->sqld; ++i)
        tiposParametro.emplace_back(entrada->sqlvar[i].sqltype & ~1, entrada->sqlvar[i].sqllen);
    bytesParametro.assign(entrada->sqld, {});
    nulosParametro.assign(entrada->sqld, 0);
}

void Consulta::Impl::vincular() {
    if (parametros.size() != entrada->sqld)
        throw std::invalid_argument("statement expects " + std::to_string(entrada->sqld) +
                                    " parameters");
    for (int i = 0; i < entrada->sqld; ++i) {
        XSQLVAR &v = entrada->sqlvar[i];
        const auto [tipo, tamanho] = tiposParametro[i];
        const bool texto = tipo == SQL_TEXT || tipo == SQL_VARYING;
        QByteArray &bytes = bytesParametro[i] = this->bytes(parametros[i]);
        if (texto && bytes.size() > tamanho)
            lancarTruncamento(tamanho, bytes.size());
        if (bytes.size() > SHRT_MAX)
            lancarTruncamento(SHRT_MAX, bytes.size());
        // Other types travel as text and the server converts them; empty means NULL there.
        nulosParametro[i] = (!texto && bytes.isEmpty()) ? -1 : 0;
        v.sqltype = SQL_TEXT | 1;
        if (!texto) {
            v.sqlsubtype = 0;
            v.sqlscale = 0;
        }
        v.sqllen = static_cast<ISC_SHORT>(bytes.size());
        v.sqldata = bytes.data();
        v.sqlind = &nulosParametro[i];
    }
}

void Consulta::Impl::executar() {
    vincular();
    ISC_STATUS_ARRAY status;
    if (isc_dsql_execute(status, &transacao.d->handle, &handle, SQLDA_VERSION1,
                         entrada->sqld ? entrada.get() : nullptr))
        lancar(status);
    cursor = saida->sqld > 0;
    temLinha = false;
    linhas = 0;
    if (cursor)
        buscar();
}

void Consulta::Impl::buscar() {
    ISC_STATUS_ARRAY status;
    const ISC_STATUS r = isc_dsql_fetch(status, &handle, SQLDA_VERSION1, saida.get());
    if (r != 0 && r != 100)
        lancar(status);
    temLinha = r == 0;
    if (temLinha)
        ++linhas;
}

void Consulta::Impl::retomar() {
    if (!voltar)
        return;
    voltar = false;
    ISC_STATUS_ARRAY status;
    if (isc_dsql_free_statement(status, &handle, DSQL_close))
        lancar(status);
    executar();
}

QByteArray Consulta::Impl::lerBlob(const ISC_QUAD &id) const {
    ISC_STATUS_ARRAY status;
    isc_blob_handle blob = 0;
    ISC_QUAD copia = id;
    if (isc_open_blob2(status, &banco.d->handle, &transacao.d->handle, &blob, &copia, 0, nullptr))
        lancar(status);
    QByteArray bytes;
    char pedaco[8192];
    for (;;) {
        unsigned short lidos = 0;
        const ISC_STATUS r = isc_get_segment(status, &blob, &lidos, sizeof pedaco, pedaco);
        if (r != 0 && r != isc_segment) {
            if (r == isc_segstr_eof)
                break;
            ISC_STATUS_ARRAY outro;
            isc_close_blob(outro, &blob);
            lancar(status);
        }
        bytes.append(pedaco, lidos);
    }
    if (isc_close_blob(status, &blob))
        lancar(status);
    return bytes;
}

Consulta::Consulta(Banco &banco, Transacao &transacao, const QString &sql)
    : d(std::make_unique<Impl>(banco, transacao, ParaCp1252(sql))) {}

Consulta::~Consulta() {
    Liberar();
}

void Consulta::Abrir(const QStringList &parametros) {
    Fechar();
    if (!d->banco.Conectado())
        d->banco.Conectar();
    if (!d->transacao.Ativa())
        d->transacao.Iniciar();
    if (!d->handle)
        d->preparar();
    d->parametros = parametros;
    d->executar();
}

void Consulta::Fechar() {
    d->voltar = false;
    if (!d->cursor)
        return;
    d->cursor = false;
    d->temLinha = false;
    ISC_STATUS_ARRAY status;
    if (isc_dsql_free_statement(status, &d->handle, DSQL_close))
        lancar(status);
}

void Consulta::Liberar() {
    d->voltar = false;
    d->cursor = false;
    d->temLinha = false;
    if (d->handle) {
        ISC_STATUS_ARRAY status;
        isc_dsql_free_statement(status, &d->handle, DSQL_drop);
        d->handle = 0;
    }
}

int Consulta::Indice(const QString &nome) const {
    for (size_t i = 0; i < d->campos.size(); ++i)
        if (d->campos[i].nome.compare(nome, Qt::CaseInsensitive) == 0)
            return int(i);
    lancarLocal(("Column unknown: " + nome.toStdString()).c_str());
}

bool Consulta::Aberta() const {
    return d->cursor;
}
int Consulta::Dialeto() const {
    return d->banco.DialetoBanco();
}
const std::vector<CampoOrigem> &Consulta::Campos() const {
    return d->campos;
}
bool Consulta::Fim() const {
    d->retomar();
    return !d->temLinha;
}

void Consulta::Primeiro() {
    // The cursor only goes forward: past the first row, the statement runs again.
    if (!d->cursor || (d->linhas <= 1 && d->temLinha) || d->linhas == 0)
        return;
    d->voltar = true;
}

void Consulta::Proximo() {
    d->retomar();
    if (d->temLinha)
        d->buscar();
}

Valor Consulta::ValorEm(int indice) const {
    d->retomar();
    if (!d->temLinha || indice < 0 || indice >= int(d->campos.size()))
        throw std::out_of_range("no such value in the current row");
    if (d->nulos[indice] < 0)
        return std::monostate{};
    const CampoOrigem &c = d->campos[indice];
    const char *p = d->dados[indice].data();
    auto ler = [p](auto exemplo) {
        decltype(exemplo) x;
        std::memcpy(&x, p, sizeof x);
        return x;
    };
    auto inteiro = [&](int64_t n) -> Valor {
        if (c.escala == 0)
            return n;
        return Decimal{n, -c.escala};
    };
    switch (c.tipoSql) {
    case SQL_TEXT: {
        // Over UTF8 a CHAR(n) comes padded to its 4n bytes: its first n characters are its value.
        const QString t = d->texto(p, d->larguras[indice]);
        return d->banco.d->utf8 ? t.left(c.tamanho) : t;
    }
    case SQL_VARYING:
        return d->texto(p + 2, ler(short{}));
    case SQL_SHORT:
        return inteiro(ler(ISC_SHORT{}));
    case SQL_LONG:
        return inteiro(ler(ISC_LONG{}));
    case SQL_INT64:
        return inteiro(ler(ISC_INT64{}));
    case SQL_FLOAT:
        return double(ler(float{}));
    case SQL_DOUBLE:
    case SQL_D_FLOAT:
        return ler(double{});
    case SQL_TYPE_DATE:
        return paraData(ler(ISC_DATE{}));
    case SQL_TYPE_TIME:
        return paraHora(ler(ISC_TIME{}));
    case SQL_TIMESTAMP: {
        const auto t = ler(ISC_TIMESTAMP{});
        // The value has no zone; UTC carries it unchanged (no local-time gap can move it).
        return QDateTime(paraData(t.timestamp_date), paraHora(t.timestamp_time), Qt::UTC);
    }
    case SQL_BOOLEAN:
        return ler(char{}) != 0;
    case SQL_BLOB: {
        const QByteArray bytes = d->lerBlob(ler(ISC_QUAD{}));
        // A text BLOB stays single-byte text, as over WIN1252.
        return d->banco.d->utf8 && c.subtipo == 1 ? ParaCp1252(QString::fromUtf8(bytes)) : bytes;
    }
    default:
        throw std::runtime_error("column " + c.nome.toStdString() + " has an unsupported type " +
                                 std::to_string(c.tipoSql));
    }
}

// ----------------------------------------------------------------------- the client library

namespace {

int RecusarSinal(const int Razao, const int, void *) {
    return Razao == fb_shutrsn_signal ? 1 : 0; // non-zero refuses
}

} // namespace

bool CaminhoEmbutido(const QString &Nome) {
    return caminhoEmbutido(Nome);
}

bool ErroDeDesligamento(const ErroBanco &Erro) {
    return Erro.Codigo() == isc_shutinprog || Erro.Codigo() == isc_shutdown;
}

bool RecusarDesligamentoPorSinal() {
    ISC_STATUS_ARRAY status;
    return fb_shutdown_callback(status, RecusarSinal, fb_shut_confirmation, nullptr) == 0;
}

bool DesligarFirebird(int Ms) {
    return fb_shutdown(unsigned(std::max(0, Ms)), fb_shutrsn_exit_called) == 0;
}
