// The thirteen functions of the terminal library. They run on the caller's thread; the
// network work happens on the library's own thread (server.cpp).
#include "pqtLurma.h"

#include "server.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string_view>

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

// What Inet_Addr gives for a text that is not an address, as inet_addr does.
constexpr std::uint32_t kNoAddress = 0xFFFFFFFF;

// Exactly four decimal numbers 0 to 255 joined by dots, blanks (every byte up to the space)
// allowed around the whole; the network-order value, or kNoAddress. Shorthands such as
// "127.1", octal "010" or trailing words would name a terminal other than the one typed.
std::uint32_t parseAddress(const char *text) {
    if (!text)
        return kNoAddress;
    std::string_view rest(text);
    auto blank = [](char c) { return static_cast<unsigned char>(c) <= ' '; };
    while (!rest.empty() && blank(rest.front()))
        rest.remove_prefix(1);
    while (!rest.empty() && blank(rest.back()))
        rest.remove_suffix(1);
    std::array<unsigned char, 4> octets{};
    for (std::size_t i = 0; i < octets.size(); ++i) {
        if (i > 0) {
            if (rest.empty() || rest.front() != '.')
                return kNoAddress;
            rest.remove_prefix(1);
        }
        std::size_t digits = 0;
        unsigned value = 0;
        while (digits < rest.size() && rest[digits] >= '0' && rest[digits] <= '9' && digits < 4)
            value = value * 10 + static_cast<unsigned>(rest[digits++] - '0');
        if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && rest.front() == '0'))
            return kNoAddress;
        octets[i] = static_cast<unsigned char>(value);
        rest.remove_prefix(digits);
    }
    if (!rest.empty())
        return kNoAddress;
    std::uint32_t address = 0; // network order: the first number in the first byte
    std::memcpy(&address, octets.data(), sizeof address);
    return address;
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
    std::array<unsigned char, 4> octets{};
    std::memcpy(octets.data(), &address, sizeof address);
    // At most "255.255.255.255" and its NUL: the 16 bytes of the buffer.
    std::snprintf(text, LURMA_ADDRESS_TEXT, "%u.%u.%u.%u", octets[0], octets[1], octets[2],
                  octets[3]);
    return 1;
}

uint32_t Inet_Addr(const char *text) {
    try {
        return parseAddress(text);
    } catch (...) {
        return kNoAddress;
    }
}

LurmaBool CloseTerminal(uint32_t *address) {
    return guarded([&] { return g_server && address && g_server->close(*address); });
}

LurmaBool bSendProdPriceQV62K(uint32_t *address, const char *description, const char *price) {
    return guarded([&] {
        if (!g_server || !address)
            return false;
        // Text too long for one frame is shortened, the description first: every byte is
        // one character, so a cut never splits one.
        lurma::PriceReply reply{0, textOrEmpty(description), textOrEmpty(price)};
        if (reply.price.size() > lurma::kMaxReplyText)
            reply.price.resize(lurma::kMaxReplyText);
        if (reply.description.size() + reply.price.size() > lurma::kMaxReplyText)
            reply.description.resize(lurma::kMaxReplyText - reply.price.size());
        return g_server->reply(*address, std::move(reply));
    });
}

LurmaBool bSendProdNotFound(uint32_t *address) {
    return guarded(
        [&] { return g_server && address && g_server->reply(*address, lurma::NotFoundReply{}); });
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
        // A shorter field ends with a NUL, a full one fills its buffer: either way the
        // buffer's text is exactly the terminal's, so an unchanged send gives it back.
        for (std::size_t i = 0; i < buffers.size(); ++i) {
            const std::string &field = configuration->configuration[i];
            std::memcpy(buffers[i], field.data(), field.size());
            if (field.size() < lurma::kFieldWidths[i])
                buffers[i][field.size()] = '\0';
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
