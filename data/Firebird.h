#pragma once
// A small RAII layer over the Firebird classic API: one attachment, one transaction on it and
// statements run in that transaction. Every isc_ handle and XSQLDA stays in Firebird.cpp.
// Failures raise ErroBanco.
#include "ErroBanco.h"
#include "Origem.h"

#include <QString>
#include <QStringList>
#include <memory>

class Banco {
public:
    // Parameters are "NAME=value" entries, names in any case: USER_NAME, PASSWORD, LC_CTYPE,
    // CONNECT_TIMEOUT (seconds); and the flag UTF8_FILENAME, without a value, which hands the
    // client the name in UTF-8. Nothing is contacted here.
    Banco(const QString &nome, const QStringList &parametros);
    ~Banco(); // detaches quietly when still attached
    Banco(const Banco &) = delete;
    Banco &operator=(const Banco &) = delete;

    const QString &Nome() const;
    bool Conectado() const;
    // Attaches and reads the database's dialect. An empty name raises before any contact.
    void Conectar();
    // Detaches; a failure raises. Statements and the transaction must be ended first.
    void Desconectar();
    // Whether the attachment still answers (one information request, nothing run): a database
    // shutdown or a lost server ends it. False also when not attached.
    bool Responde();
    int DialetoBanco() const; // as the database reports it (1 when it does not say)
    int Dialeto() const; // the one statements are prepared with: 3, or lower if the database is

private:
    friend class Transacao;
    friend class Consulta;
    struct Impl;
    std::unique_ptr<Impl> d;
};

class Transacao {
public:
    // Parameters by name, in order: read_committed, rec_version, wait.
    Transacao(Banco &banco, const QStringList &parametros);
    ~Transacao(); // rolls back quietly when still active
    Transacao(const Transacao &) = delete;
    Transacao &operator=(const Transacao &) = delete;

    bool Ativa() const;
    void Iniciar();
    // Commits; when the commit fails, rolls back without any report.
    void Encerrar();

private:
    friend class Consulta;
    struct Impl;
    std::unique_ptr<Impl> d;
};

// One statement. While its cursor is open it is the result set (Origem) of its last opening.
class Consulta : public Origem {
public:
    Consulta(Banco &banco, Transacao &transacao, const QString &sql);
    ~Consulta() override; // releases the statement quietly
    Consulta(const Consulta &) = delete;
    Consulta &operator=(const Consulta &) = delete;

    // Closes an open cursor, attaches and starts the transaction when needed, prepares on first
    // use, binds the parameters by position, executes and fetches the first row.
    // Binding: a text parameter gets the Windows-1252 bytes (longer than declared raises before
    // executing; empty stays empty text); any other type gets the text for the server to
    // convert, or NULL when empty.
    void Abrir(const QStringList &parametros = {});
    void Fechar();  // closes the cursor, keeps the statement prepared
    void Liberar(); // drops the statement; quiet, as it precedes closing the connection
    // Index of a column by name, without regard to letter case; raises when missing.
    int Indice(const QString &nome) const;

    bool Aberta() const override;
    int Dialeto() const override;
    const std::vector<CampoOrigem> &Campos() const override;
    void Primeiro() override;
    void Proximo() override;
    bool Fim() const override;
    Valor ValorEm(int indice) const override;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

// Whether the name is a plain path, which the embedded engine in this process opens; "host:path",
// "host/port:path" and "inet://..." go through a server.
bool CaminhoEmbutido(const QString &Nome);

// Whether Erro says that the database is being shut down or is shut down.
bool ErroDeDesligamento(const ErroBanco &Erro);

// The client library's life in the process. Its embedded engine answers SIGTERM and SIGINT by
// shutting itself down under the running program; this refuses every shutdown a signal asks
// for, so the program's own exit decides. Call before the first attach; whether it took.
bool RecusarDesligamentoPorSinal();
// Shuts the client and the embedded engine down at the program's end, waiting at most Ms;
// whether it finished in time (a client thread stuck on a dead server may keep it waiting).
bool DesligarFirebird(int Ms);
