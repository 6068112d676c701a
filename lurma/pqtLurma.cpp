// The thirteen functions of the terminal library. They run on the caller's thread; the
// network work happens on the library's own thread (server.cpp).
#include "pqtLurma.h"

#include "server.h"

#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

std::mutex g_mutex; // one caller at a time, even if the one-thread rule is broken
std::unique_ptr<lurma::Server> g_server;
std::uint32_t g_message = 0;

// No exception may cross the C boundary: any failure is a false result.
template <class Call> LurmaBool guarded(Call call) {
    try {
        std::lock_guard lock(g_mutex);
        return call() ? 1 : 0;
    } catch (...) {
        return 0;
    }
}

// Dotted text to an address in network byte order; blanks around it are forgiven because
// the operator types it. INADDR_NONE when it is not an address.
std::uint32_t parseAddress(const char *text) {
    if (!text)
        return INADDR_NONE;
    std::string trimmed(text);
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    trimmed.erase(trimmed.begin(), std::find_if_not(trimmed.begin(), trimmed.end(), blank));
    trimmed.erase(std::find_if_not(trimmed.rbegin(), trimmed.rend(), blank).base(), trimmed.end());
    return inet_addr(trimmed.c_str());
}

bool takeEvent(lurma::Event::Kind kind, std::uint32_t *address, char *barcode = nullptr) {
    if (!g_server || !address)
        return false;
    std::optional<lurma::Event> event = g_server->take(kind);
    if (!event)
        return false;
    *address = event->address;
    if (barcode) {
        std::size_t size = std::min<std::size_t>(event->code.size(), LURMA_BARCODE);
        std::memcpy(barcode, event->code.data(), size);
        if (size < LURMA_BARCODE)
            barcode[size] = '\0';
    }
    return true;
}

std::string textOrEmpty(const char *text) {
    return text ? text : "";
}

} // namespace

extern "C" {

LurmaBool bInitialize(LurmaWindowPort *window) {
    return guarded([&] {
        if (g_server || !window || !window->registerMessage || !window->postMessage)
            return false;
        std::optional<lurma::Settings> settings = lurma::Settings::fromEnvironment();
        if (!settings)
            return false;
        g_server = lurma::Server::start(*settings, *window);
        if (g_server)
            g_message = g_server->message();
        return g_server != nullptr;
    });
}

void vGetMsgWinReceiveDataTC(uint32_t *message) {
    std::lock_guard lock(g_mutex);
    if (message)
        *message = g_message;
}

LurmaBool bTerminate(void) {
    return guarded([] {
        g_server.reset();
        return true;
    });
}

LurmaBool bConnect(uint32_t *address) {
    return guarded([&] { return takeEvent(lurma::Event::Kind::Connection, address); });
}

LurmaBool bDisconnect(uint32_t *address) {
    return guarded([&] { return takeEvent(lurma::Event::Kind::Disconnection, address); });
}

LurmaBool bReceiveBarcode(uint32_t *address, char *barcode) {
    return guarded(
        [&] { return barcode && takeEvent(lurma::Event::Kind::Barcode, address, barcode); });
}

LurmaBool Inet_NtoA(uint32_t address, char *text) {
    if (!text)
        return 0;
    in_addr value{};
    value.s_addr = address;
    return inet_ntop(AF_INET, &value, text, LURMA_ADDRESS_TEXT) ? 1 : 0;
}

uint32_t Inet_Addr(const char *text) {
    try {
        return parseAddress(text);
    } catch (...) {
        return INADDR_NONE;
    }
}

LurmaBool CloseTerminal(uint32_t *address) {
    return guarded([&] { return g_server && address && g_server->close(*address); });
}

LurmaBool bSendProdPriceQV62K(uint32_t *address, const char *description, const char *price) {
    return guarded([&] {
        return g_server && address &&
               g_server->send(*address,
                              lurma::PriceReply{textOrEmpty(description), textOrEmpty(price)});
    });
}

LurmaBool bSendProdNotFound(uint32_t *address) {
    return guarded(
        [&] { return g_server && address && g_server->send(*address, lurma::NotFoundReply{}); });
}

LurmaBool GetConfigurationNew(const char *terminal, char *ip, char *serverIp, char *netmask,
                              char *line1, char *line2, char *line3, char *line4, char *display,
                              int32_t, int32_t, int32_t, int32_t, int32_t) {
    return guarded([&] {
        std::array<char *, 8> buffers = {ip,    serverIp, netmask, line1,
                                         line2, line3,    line4,   display};
        if (!g_server || std::find(buffers.begin(), buffers.end(), nullptr) != buffers.end())
            return false;
        std::optional<lurma::Message> answer =
            g_server->ask(parseAddress(terminal), lurma::ConfigurationRequest{});
        auto *configuration = answer ? std::get_if<lurma::ConfigurationAnswer>(&*answer) : nullptr;
        if (!configuration)
            return false;
        // Space-padded to the full width, so a full field carries no NUL, as the caller's
        // buffers were prepared.
        for (std::size_t i = 0; i < buffers.size(); ++i) {
            const std::string &field = configuration->configuration[i];
            std::memset(buffers[i], ' ', lurma::kFieldWidths[i]);
            std::memcpy(buffers[i], field.data(), field.size());
        }
        return true;
    });
}

LurmaBool SendConfiguration(const char *terminal, const char *ip, const char *serverIp,
                            const char *netmask, const char *line1, const char *line2,
                            const char *line3, const char *line4, const char *display) {
    return guarded([&] {
        if (!g_server)
            return false;
        lurma::ConfigurationUpdate update;
        update.configuration = {textOrEmpty(ip),    textOrEmpty(serverIp), textOrEmpty(netmask),
                                textOrEmpty(line1), textOrEmpty(line2),    textOrEmpty(line3),
                                textOrEmpty(line4), textOrEmpty(display)};
        // A field wider than the terminal keeps is refused rather than cut behind the
        // operator's back; ask() fails when the update does not encode.
        std::optional<lurma::Message> answer = g_server->ask(parseAddress(terminal), update);
        return answer && std::holds_alternative<lurma::ConfigurationAck>(*answer);
    });
}

} // extern "C"
