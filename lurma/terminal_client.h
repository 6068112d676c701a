// One simulated terminal's connection: hello, scans and their replies, configuration
// requests answered from its settings, keep-alive. Runs on an io_context thread.
#ifndef LURMA_TERMINAL_CLIENT_H
#define LURMA_TERMINAL_CLIENT_H

#include "protocol.h"

#include <asio.hpp>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace lurma {

using Reply = std::variant<PriceReply, NotFoundReply>;

// Always held by a shared_ptr: its reader and keep-alive outlive the caller's scope.
class TerminalClient : public std::enable_shared_from_this<TerminalClient> {
public:
    TerminalClient(asio::io_context &io, asio::ip::address_v4 local, Configuration settings);

    // Binds to the local address, connects, says hello and waits for the welcome.
    asio::awaitable<bool> connect(asio::ip::tcp::endpoint server,
                                  std::chrono::milliseconds timeout);
    // Sends a code under a new scan id and waits for the reply to that id; nothing when none
    // came in time. Any other reply (one given up on, one for an older scan) is dropped.
    asio::awaitable<std::optional<Reply>> scan(std::string code, std::chrono::milliseconds timeout);
    void close();
    bool connected() const { return connected_; }
    const Configuration &settings() const { return settings_; }

    std::function<void(const Configuration &)> onConfiguration;
    std::function<void()> onClosed; // the server sent its close frame
    std::function<void()> onLost;   // the connection ended without one

private:
    asio::awaitable<void> readLoop();
    asio::awaitable<void> keepAlive(std::chrono::milliseconds interval);
    asio::awaitable<void> waitForWakeup(std::chrono::milliseconds timeout);
    void send(const Message &message);
    void handle(Message &message);
    void end(bool byServer);

    asio::ip::tcp::socket socket_;
    asio::steady_timer wakeup_;
    asio::steady_timer keepAliveTimer_;
    asio::ip::address_v4 local_;
    Configuration settings_;
    bool connected_ = false;
    bool welcomed_ = false;
    bool waitingReply_ = false;
    std::uint32_t scanId_ = 0; // of the current scan, increasing per connection
    std::optional<Reply> reply_;
};

} // namespace lurma

#endif
