// One TCP connection from a terminal, owned by the network thread.
#ifndef LURMA_SESSION_H
#define LURMA_SESSION_H

#include "protocol.h"

#include <asio.hpp>

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace lurma {

class Server;

class Session : public std::enable_shared_from_this<Session> {
public:
    using Answer = std::function<void(std::optional<Message>)>;
    // Output waiting for a peer that does not read is bounded: beyond this the peer is dropped.
    static constexpr std::size_t kMaxQueuedBytes = 64 * 1024;
    // How long a closed terminal gets to receive its close frame.
    static constexpr std::chrono::milliseconds kLinger{1000};

    Session(Server &server, asio::ip::tcp::socket socket, std::uint32_t address);

    // Starts reading; the peer must say hello before helloTimeout.
    void start(std::chrono::milliseconds helloTimeout);
    std::uint32_t address() const { return address_; }

    // Queues one frame to a terminal; false when it is not a terminal, the message does not
    // fit the protocol, or the peer was dropped for not reading.
    bool send(const Message &message);
    // Sends a reply to the scan of that serial when it is still this terminal's latest, with
    // the terminal's own id for it. The caller hands each serial out once.
    bool answerScan(std::uint64_t scan, Message reply);
    // Sends a request whose answer (or nothing, on failure) goes to answer, exactly once.
    void request(std::uint32_t id, const Message &message, Answer answer);
    void forget(std::uint32_t id);

    // Sends the close frame, then closes the socket; no further event.
    void closeGracefully();
    // Closes at once; no further event.
    void abort();

private:
    enum class State { AwaitingHello, Terminal, Closing, Closed };

    asio::awaitable<void> readLoop();
    asio::awaitable<void> watchdog();
    bool handle(Message &message);
    void answer(std::uint32_t id, std::optional<Message> message);
    void fail();
    void failAnswers();
    void write();
    void closeSocket();
    void extendDeadline(std::chrono::milliseconds delay);

    Server &server_;
    asio::ip::tcp::socket socket_;
    asio::steady_timer timer_;
    std::chrono::steady_clock::time_point deadline_;
    std::uint32_t address_;
    State state_ = State::AwaitingHello;
    std::deque<std::vector<std::uint8_t>> queue_;
    std::size_t queuedBytes_ = 0;
    bool writing_ = false;
    std::map<std::uint32_t, Answer> answers_;
    std::uint64_t latestScan_ = 0; // serial of the newest scan
    std::uint32_t latestScanId_ = 0;
};

} // namespace lurma

#endif
