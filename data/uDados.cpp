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

} // namespace

TDados::TDados(const QString &DatabaseName)
    // A server that stops answering fails the attach after 10 s instead of Firebird's 180 s.
    : FDatabase(DatabaseName, {"USER_NAME=SYSDBA", "PASSWORD=" + SenhaBanco, "LC_CTYPE=WIN1252",
                               "CONNECT_TIMEOUT=10"}),
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
        FDatabase.conectar();
    } catch (...) {
        // The statement open attaches again and reports the failure to the caller.
    }
    return FDatabase.conectado();
}

void TDados::Desconectar() {
    if (!FDatabase.conectado())
        return;
    FQuery1.liberar();
    FQuery2.liberar();
    FTransaction.encerrar();
    FDatabase.desconectar();
}

std::unique_ptr<TProduto> TDados::BuscarProduto(const QString &Codigo) {
    Conectar();
    auto produto = std::make_unique<TProduto>();
    FQuery2.abrir({Trim(Codigo)});
    if (!FQuery2.fim()) {
        produto->Codigo = comoTexto(FQuery2.valor(FQuery2.indice("Codigo")));
        produto->Descricao = comoTexto(FQuery2.valor(FQuery2.indice("Descricao")));
        produto->Preco = comoDinheiro(FQuery2.valor(FQuery2.indice("Preco")));
        produto->Encontrado = true;
    }
    Desconectar();
    return produto;
}

Origem &TDados::AbrirRegistro() {
    FQuery1.abrir();
    return FQuery1;
}
