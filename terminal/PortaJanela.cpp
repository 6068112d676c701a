#include "PortaJanela.h"

#include <QCoreApplication>
#include <map>
#include <mutex>
#include <string>

QEvent::Type TEventoMensagem::Tipo() {
    static const auto tipo = static_cast<QEvent::Type>(QEvent::registerEventType());
    return tipo;
}

uint32_t RegistrarMensagem(const char *Nome) {
    static std::mutex trava;
    static std::map<std::string, uint32_t> numeros;
    std::lock_guard bloqueio(trava);
    const auto [posicao, nova] =
        numeros.try_emplace(Nome ? Nome : "", 0xC000u + static_cast<uint32_t>(numeros.size()));
    return posicao->second;
}

TPortaJanela::TPortaJanela(QObject *Janela) : FJanela(Janela) {
    FPorta.context = this;
    FPorta.registerMessage = [](void *, const char *nome) { return RegistrarMensagem(nome); };
    // postEvent is thread-safe; the event is handled on the window's (the UI) thread.
    FPorta.postMessage = [](void *contexto, uint32_t numero) {
        QCoreApplication::postEvent(static_cast<TPortaJanela *>(contexto)->FJanela,
                                    new TEventoMensagem(numero));
    };
}
