#pragma once
// Where the panel listens and its key: the per-user store's group Painel (Endereco, default
// 127.0.0.1:6551, empty for no panel; Chave), each overridden by the environment
// (LURMA_PAINEL, LURMA_PAINEL_CHAVE) when set there. An address beyond loopback needs a key.
#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <optional>

class QSettings;

struct TConfiguracaoPainel {
    bool Ativo = false; // false: no panel (Erro says why when it is a fault)
    QString Erro;       // the operator's text when the configuration is refused
    QHostAddress Endereco;
    quint16 Porta = 0;
    QByteArray Chave; // empty: no key asked
    QString Texto;    // the address as configured, for messages
};

inline const QString EnderecoPainelPadrao = QStringLiteral("127.0.0.1:6551");

// Endereco: the configured text, nullopt when nothing is configured (the default then).
TConfiguracaoPainel InterpretarConfiguracao(const std::optional<QString> &Endereco,
                                            const QString &Chave);
// From Armazem's group Painel and the environment.
TConfiguracaoPainel LerConfiguracaoPainel(QSettings &Armazem);
