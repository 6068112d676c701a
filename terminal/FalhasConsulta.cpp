#include "FalhasConsulta.h"

bool TFalhasConsulta::Falhou(const QString &Causa) {
    ++FSemResposta;
    if (FCausas.contains(Causa) || FCausas.size() >= MaxCausas)
        return false;
    FCausas << Causa;
    return true;
}

QString TFalhasConsulta::Respondeu() {
    if (FSemResposta == 0)
        return {};
    const int n = FSemResposta;
    FSemResposta = 0;
    FCausas.clear();
    return n == 1 ? QStringLiteral("O banco de dados voltou a responder; 1 leitura ficou sem "
                                   "resposta enquanto falhava.")
                  : QStringLiteral("O banco de dados voltou a responder; %1 leituras ficaram sem "
                                   "resposta enquanto falhava.")
                        .arg(n);
}
