#include "uDados.h"

#include "Conversao.h"
#include "UComum.h"

namespace {

const QString SenhaBanco = QStringLiteral("plumtower");

// Each statement is four lines with a line break after each.
const QString SqlRegistro =
    QStringLiteral("SELECT CODIGO, DESCRICAO, AVISTA PROMOCAO, VENDA PRECO FROM ITENS\n"
                   "WHERE COALESCE(INATIVO, 'N') = 'N'\n"
                   "AND (COALESCE(AVISTA, 0) > 0 OR COALESCE(VENDA, 0) > 0)\n"
                   "ORDER BY CODIGO\n");
// Firebird takes parameters by position: "?" stands for :Codigo.
const QString SqlBusca =
    QStringLiteral("SELECT CODIGO, DESCRICAO, AVISTA, VENDA PRECO FROM ITENS\n"
                   "WHERE CODIGO = ?\n"
                   "AND COALESCE(INATIVO, 'N') = 'N'\n"
                   "AND (COALESCE(AVISTA, 0) > 0 OR COALESCE(VENDA, 0) > 0)\n");

// A server that stops answering fails the attach after 10 s instead of Firebird's 180 s; the
// name in UTF-8 opens a path outside ASCII whatever the C library's locale.
QStringList parametrosConexao(const QString &conjunto) {
    return {"USER_NAME=SYSDBA", "PASSWORD=" + SenhaBanco, "LC_CTYPE=" + conjunto,
            "CONNECT_TIMEOUT=10", "UTF8_FILENAME"};
}

} // namespace

TDados::TDados(const QString &DatabaseName) : TDados(DatabaseName, QStringLiteral("WIN1252")) {}

TDados::TDados(const QString &DatabaseName, const QString &conjunto)
    : FUtf8(conjunto == u"UTF8"), FDatabase(DatabaseName, parametrosConexao(conjunto)),
      FTransaction(FDatabase, {"read_committed", "rec_version", "wait"}),
      FQuery1(FDatabase, FTransaction, SqlRegistro), FQuery2(FDatabase, FTransaction, SqlBusca) {}

TDados::~TDados() {
    try {
        Desconectar();
    } catch (const ErroBanco &) {
        // The members' destructors still release whatever the failed detach left.
    }
}

bool TDados::Conectar() {
    try {
        FDatabase.Conectar();
    } catch (...) {
        // The statement open attaches again and reports the failure to the caller.
    }
    return FDatabase.Conectado();
}

void TDados::Desconectar() {
    if (!FDatabase.Conectado())
        return;
    FQuery1.Liberar();
    FQuery2.Liberar();
    FTransaction.Encerrar();
    FDatabase.Desconectar();
}

bool TDados::repetirEmUtf8(const ErroBanco &erro) {
    if (FUtf8 || !erro.Transliteracao())
        return false;
    Desconectar();
    return true;
}

std::unique_ptr<TProduto> TDados::BuscarProduto(const QString &Codigo) {
    try {
        return buscar(Codigo);
    } catch (const ErroBanco &e) {
        if (!repetirEmUtf8(e))
            throw;
    }
    return TDados(FDatabase.Nome(), QStringLiteral("UTF8")).buscar(Codigo);
}

std::unique_ptr<TProduto> TDados::buscar(const QString &codigo) {
    Conectar();
    auto produto = std::make_unique<TProduto>();
    FQuery2.Abrir({Trim(codigo)});
    if (!FQuery2.Fim()) {
        produto->Codigo = ComoTexto(FQuery2.ValorEm(FQuery2.Indice("Codigo")));
        produto->Descricao = ComoTexto(FQuery2.ValorEm(FQuery2.Indice("Descricao")));
        produto->Preco = ComoDinheiro(FQuery2.ValorEm(FQuery2.Indice("Preco")));
        produto->Encontrado = true;
    }
    Desconectar();
    return produto;
}

std::unique_ptr<Banco> TDados::AbrirOciosa(const QString &DatabaseName) {
    auto banco = std::make_unique<Banco>(DatabaseName, parametrosConexao(QStringLiteral("WIN1252")));
    banco->Conectar();
    return banco;
}

Origem &TDados::AbrirRegistro() {
    FQuery1.Abrir();
    return FQuery1;
}
