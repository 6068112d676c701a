#pragma once
// TDados: the gateway to the product database, one object per operation. It attaches, runs one
// fixed statement against ITENS and detaches. TProduto: what one lookup hands back.
#include "Firebird.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <exception>
#include <memory>

class TProduto {
public:
    QString Codigo;
    QString Descricao;
    int64_t Preco = 0; // money: ten-thousandths of the currency unit
    bool Encontrado = false;
};

class TTabela; // the register table (Tabela.h)

// A listing told to stop (TDados::ListarProdutos with Parar).
struct ListagemInterrompida : std::exception {
    const char *what() const noexcept override { return "listing abandoned"; }
};

class TDados {
public:
    explicit TDados(const QString &DatabaseName); // stores only; contacts nothing
    // Calls Desconectar; a failure to detach is swallowed here, as a destructor must not throw.
    ~TDados();
    TDados(const TDados &) = delete;
    TDados &operator=(const TDados &) = delete;

    // Attaches when not attached. Swallows every failure; returns whether attached afterwards.
    bool Conectar();
    // Releases both statements, commits (rolling back quietly when the commit fails) and
    // detaches; a failed detach raises ErroBanco. Nothing when not attached.
    void Desconectar();
    // Looks the trimmed code up; the connection is closed again afterwards. Raises ErroBanco
    // (a code too long or not convertible for CODIGO included); then the connection stays until
    // destruction. A row whose text Windows-1252 cannot carry makes the server refuse it: the
    // lookup is then repeated once over a UTF8 attachment, whose texts have '?' for what
    // Windows-1252 lacks.
    std::unique_ptr<TProduto> BuscarProduto(const QString &Codigo);
    // Fills the register table from the register statement (ListarProdutos.cpp); repeated once
    // over UTF8 as a lookup is. With Parar, a listing whose Parar turns true raises
    // ListagemInterrompida at its next row.
    void ListarProdutos(TTabela &Produtos, const std::atomic<bool> *Parar = nullptr);

    // An attachment to DatabaseName as a lookup makes it, that runs nothing (no transaction, no
    // statement): held open, it keeps a server from closing the database between lookups.
    // Raises ErroBanco.
    static std::unique_ptr<Banco> AbrirOciosa(const QString &DatabaseName);

    // For ListarProdutos: closes the register statement (FQuery1) if open, opens it (attaching
    // and starting the transaction when needed; failures raise ErroBanco) and returns it on its
    // first row. Columns CODIGO, DESCRICAO, PROMOCAO, PRECO, sorted by CODIGO. Valid until
    // Desconectar or destruction.
    Origem &AbrirRegistro();

private:
    TDados(const QString &DatabaseName, const QString &conjunto); // LC_CTYPE
    std::unique_ptr<TProduto> buscar(const QString &codigo);
    void listar(TTabela &produtos, const std::atomic<bool> *parar);
    // Whether a failed operation is to be repeated over UTF8 (this one is then closed).
    bool repetirEmUtf8(const ErroBanco &erro);

    bool FUtf8;
    Banco FDatabase;
    Transacao FTransaction;
    Consulta FQuery1; // register statement
    Consulta FQuery2; // lookup statement, one parameter: Codigo
};
