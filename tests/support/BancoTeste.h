#pragma once
// A fresh Firebird database for one test, in its own temporary directory, reachable through the
// embedded engine (plain path) and through the local server ("Localhost:<path>"). The server and
// the embedded engine cannot hold one file open at the same time: use one form per test phase.
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// Column types of ITENS; the defaults are the common shop layout.
struct TiposItens {
    QString codigo = "VARCHAR(20)";
    QString descricao = "VARCHAR(60)";
    QString avista = "NUMERIC(15,2)";
    QString venda = "NUMERIC(15,2)";
    QString inativo = "CHAR(1)";
};
QString criarItens(const TiposItens &tipos = {});

class BancoTeste {
public:
    // Creates the database (by default of character set WIN1252) and runs each command in its
    // own committed transaction, so that DDL comes before the rows that use it; the commands'
    // texts go in that character set. Failures throw.
    explicit BancoTeste(const QStringList &comandos, int dialeto = 3,
                        const QString &conjunto = "WIN1252");
    QString caminho() const { return FCaminho; }
    QString viaServidor() const { return "Localhost:" + FCaminho; }

private:
    QTemporaryDir FPasta;
    QString FCaminho;
};

// Attachments to the database other than the counting one, opened through the same name, so
// that an embedded path counts the embedded engine of this process and "Localhost:" the server.
// SoComTransacao: only those with a transaction (a lookup's or a listing's, never the idle one
// that holds the database open).
int contarConexoes(const QString &nomeBanco, bool SoComTransacao = false);
