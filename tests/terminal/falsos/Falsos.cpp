#include "Falsos.h"

#include <arpa/inet.h>
#include <cstring>
#include <stdexcept>

namespace {

LurmaFalsa *atual = nullptr;

LurmaFalsa &f() {
    if (!atual)
        throw std::logic_error("no LurmaFalsa alive");
    return *atual;
}

std::string pontuado(uint32_t endereco) {
    in_addr a{endereco};
    return inet_ntoa(a);
}

std::optional<std::string> texto(const char *p) {
    return p ? std::optional<std::string>(p) : std::nullopt;
}

// Takes the head event when it is of the kind asked for.
bool tirar(LurmaFalsa::Tipo tipo, uint32_t *endereco, LurmaFalsa::Evento *evento = nullptr) {
    auto &e = f().eventos;
    if (e.empty() || e.front().tipo != tipo)
        return false;
    *endereco = inet_addr(e.front().endereco.c_str());
    if (evento)
        *evento = e.front();
    e.pop_front();
    return true;
}

void escrever(char *buffer, const std::string &valor, size_t largura) {
    std::memcpy(buffer, valor.data(), std::min(valor.size(), largura));
    if (valor.size() < largura)
        buffer[valor.size()] = '\0';
}

} // namespace

LurmaFalsa::LurmaFalsa() {
    atual = this;
}
LurmaFalsa::~LurmaFalsa() {
    atual = nullptr;
}

TIntQS62K LurmaFalsa::Tabela() const {
    TIntQS62K t;
    t.bInitialize = [](LurmaWindowPort *janela) -> LurmaBool {
        f().chamadas.push_back("bInitialize");
        f().porta = janela;
        return f().iniciar;
    };
    t.vGetMsgWinReceiveDataTC = [](uint32_t *m) {
        f().chamadas.push_back("vGetMsgWinReceiveDataTC");
        *m = f().numero;
    };
    t.bTerminate = []() -> LurmaBool {
        f().chamadas.push_back("bTerminate");
        return 1;
    };
    t.bConnect = [](uint32_t *a) -> LurmaBool {
        f().chamadas.push_back("bConnect");
        return tirar(Tipo::Conexao, a);
    };
    t.bDisconnect = [](uint32_t *a) -> LurmaBool {
        f().chamadas.push_back("bDisconnect");
        return tirar(Tipo::Desconexao, a);
    };
    t.bReceiveBarcode = [](uint32_t *a, char *codigo) -> LurmaBool {
        f().chamadas.push_back("bReceiveBarcode");
        Evento e;
        if (!tirar(Tipo::Codigo, a, &e))
            return 0;
        escrever(codigo, e.codigo, LURMA_BARCODE);
        return 1;
    };
    t.Inet_NtoA = [](uint32_t a, char *texto) -> LurmaBool {
        escrever(texto, pontuado(a), LURMA_ADDRESS_TEXT);
        return 1;
    };
    t.Inet_Addr = [](const char *texto) -> uint32_t {
        f().inetAddr.push_back(texto);
        return inet_addr(texto);
    };
    t.CloseTerminal = [](uint32_t *a) -> LurmaBool {
        f().fechados.push_back(pontuado(*a));
        return f().fechar;
    };
    t.bSendProdPriceQV62K = [](uint32_t *a, const char *descricao, const char *preco) -> LurmaBool {
        f().respostas.push_back({pontuado(*a), texto(descricao), texto(preco)});
        return f().responder;
    };
    t.bSendProdNotFound = [](uint32_t *a) -> LurmaBool {
        f().respostas.push_back({pontuado(*a), std::nullopt, std::nullopt});
        return f().responder;
    };
    t.GetConfigurationNew = [](const char *terminal, char *ip, char *servidor, char *mascara,
                               char *l1, char *l2, char *l3, char *l4, char *exibicao, int32_t r1,
                               int32_t r2, int32_t r3, int32_t r4, int32_t r5) -> LurmaBool {
        f().terminalCapturado = terminal;
        if (r1 || r2 || r3 || r4 || r5)
            throw std::logic_error("reserved arguments must be 0");
        // Every buffer must arrive full of spaces, of its own width.
        const std::pair<char *, size_t> buffers[] = {
            {ip, LURMA_IP},   {servidor, LURMA_IP}, {mascara, LURMA_IP}, {l1, LURMA_LINE},
            {l2, LURMA_LINE}, {l3, LURMA_LINE},     {l4, LURMA_LINE},    {exibicao, LURMA_DISPLAY}};
        for (const auto &[b, largura] : buffers)
            if (std::string(b, largura) != std::string(largura, ' '))
                throw std::logic_error("buffer not filled with spaces");
        if (!f().capturar)
            return 0;
        for (size_t i = 0; i < 8; ++i)
            escrever(buffers[i].first, f().configuracao[i], buffers[i].second);
        return 1;
    };
    t.SendConfiguration = [](const char *terminal, const char *ip, const char *servidor,
                             const char *mascara, const char *l1, const char *l2, const char *l3,
                             const char *l4, const char *exibicao) -> LurmaBool {
        f().envio = {texto(terminal), texto(ip), texto(servidor), texto(mascara), texto(l1),
                     texto(l2),       texto(l3), texto(l4),       texto(exibicao)};
        return f().enviar;
    };
    return t;
}
