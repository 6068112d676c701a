// The library's running state: the listener, the terminals and the network thread.
#ifndef LURMA_SERVER_H
#define LURMA_SERVER_H

#include "events.h"
#include "pqtLurma.h"
#include "protocol.h"
#include "session.h"

#include <asio.hpp>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <list>
#include <memory>
#include <optional>
#include <thread>
#include <unordered_map>

namespace lurma {

struct Settings {
    asio::ip::address_v4 bind = asio::ip::address_v4::any();
    std::uint16_t port = 6550;
    std::chrono::milliseconds keepAlive{15000};
    std::chrono::milliseconds helloTimeout{5000};
    std::chrono::milliseconds replyTimeout{3000};

    // LURMA_BIND, LURMA_PORT, LURMA_KEEPALIVE_MS, LURMA_HELLO_TIMEOUT_MS,
    // LURMA_REPLY_TIMEOUT_MS; nothing when one is set but invalid.
    static std::optional<Settings> fromEnvironment();
};

class Server {
public:
    static constexpr std::size_t kMaxTerminals = 256;
    // Connections that have not said hello yet; as many as terminals, so that all of them
    // can reconnect at once after a restart. Beyond it the oldest waiting one is dropped.
    static constexpr std::size_t kMaxAwaitingHello = 256;

    // Listening and running, or nothing when the address cannot be bound.
    static std::unique_ptr<Server> start(const Settings &settings, const LurmaWindowPort &port);
    ~Server(); // closes every connection and joins the network thread

    std::uint32_t message() const { return message_; }
    // UI thread. A barcode taken becomes the scan that the next reply to its address answers.
    std::optional<Event> take(Event::Kind kind);

    // UI thread: each waits for the network thread, at most the reply time-out.
    // Answers the scan last taken for the address, at most once; false (nothing sent) when its
    // connection is gone, it was answered, or the terminal has scanned again since.
    bool reply(std::uint32_t address, Message reply);
    bool close(std::uint32_t address);
    template <class Request> std::optional<Message> ask(std::uint32_t address, Request request) {
        request.id = nextId_++;
        return ask(address, Message(request), request.id);
    }

    // Network thread, called by the sessions.
    bool admit(const std::shared_ptr<Session> &session);
    // A scan that the caller will see; returns its serial, unique for the library's run.
    std::uint64_t barcode(std::uint32_t address, std::string code);
    // A scan the library answers itself: any scan still waiting from the address is superseded.
    std::uint64_t supersede(std::uint32_t address);
    void lost(const Session &session, bool wasTerminal);
    std::chrono::milliseconds keepAlive() const { return settings_.keepAlive; }

private:
    Server(const Settings &settings, const LurmaWindowPort &port);
    asio::awaitable<void> acceptLoop();
    void push(Event event);
    void disconnected(std::uint32_t address);
    std::shared_ptr<Session> find(std::uint32_t address) const;
    template <class Result, class Task> std::optional<Result> onNetwork(Task task);
    std::optional<Message> ask(std::uint32_t address, const Message &request, std::uint32_t id);

    Settings settings_;
    LurmaWindowPort port_;
    std::uint32_t message_ = 0;
    EventQueue events_;
    std::uint32_t nextId_ = 1; // UI thread only
    std::unordered_map<std::uint32_t, std::uint64_t> handedOut_; // UI thread: address -> scan
    std::uint64_t nextScan_ = 1;                                 // network thread
    asio::io_context io_;
    asio::ip::tcp::acceptor acceptor_;
    std::unordered_map<std::uint32_t, std::shared_ptr<Session>> terminals_;
    std::list<std::shared_ptr<Session>> awaitingHello_;
    std::thread thread_;
};

} // namespace lurma

#endif
