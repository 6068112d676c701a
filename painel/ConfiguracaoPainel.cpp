#include "ConfiguracaoPainel.h"

#include <QSettings>

namespace {

std::optional<QString> Configurado(QSettings &Armazem, const char *Chave, const char *Variavel) {
    if (qEnvironmentVariableIsSet(Variavel))
        return qEnvironmentVariable(Variavel);
    const QVariant valor = Armazem.value(QStringLiteral("Painel/") + QLatin1String(Chave));
    return valor.isValid() ? std::optional<QString>(valor.toString()) : std::nullopt;
}

} // namespace

TConfiguracaoPainel InterpretarConfiguracao(const std::optional<QString> &Endereco,
                                            const QString &Chave) {
    TConfiguracaoPainel c;
    c.Texto = Endereco.value_or(EnderecoPainelPadrao).trimmed();
    c.Chave = Chave.toUtf8();
    if (c.Texto.isEmpty())
        return c; // asked for no panel
    const auto recusar = [&](const QString &Motivo) {
        c.Erro = QStringLiteral("O painel não foi iniciado: %1").arg(Motivo);
        return c;
    };
    // host:port, the host an IPv4 address, [an IPv6 address] or localhost.
    const qsizetype doisPontos = c.Texto.lastIndexOf(u':');
    bool numero = false;
    const uint porta = doisPontos < 0 ? 0 : c.Texto.mid(doisPontos + 1).toUInt(&numero);
    QString host = doisPontos < 0 ? QString() : c.Texto.left(doisPontos);
    if (host.startsWith(u'[') && host.endsWith(u']'))
        host = host.mid(1, host.size() - 2);
    else if (host.contains(u':'))
        host.clear(); // an IPv6 address needs its brackets
    if (host.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
        host = QStringLiteral("127.0.0.1");
    if (!numero || porta == 0 || porta > 65535 || !c.Endereco.setAddress(host))
        return recusar(QStringLiteral("o endereço \"%1\" não é da forma IP:porta (por exemplo "
                                      "127.0.0.1:6551).")
                           .arg(c.Texto));
    c.Porta = quint16(porta);
    if (!c.Endereco.isLoopback() && c.Chave.isEmpty())
        return recusar(QStringLiteral("o endereço %1 fica fora desta máquina e não há Chave. "
                                      "Defina a Chave do grupo Painel (ou LURMA_PAINEL_CHAVE) "
                                      "ou use 127.0.0.1.")
                           .arg(c.Texto));
    c.Ativo = true;
    return c;
}

TConfiguracaoPainel LerConfiguracaoPainel(QSettings &Armazem) {
    return InterpretarConfiguracao(
        Configurado(Armazem, "Endereco", "LURMA_PAINEL"),
        Configurado(Armazem, "Chave", "LURMA_PAINEL_CHAVE").value_or(QString()));
}
