// A terminal played by the test over a plain socket: well-behaved through the protocol
// helpers, or hostile through raw bytes.
#ifndef TESTS_LURMA_PEER_H
#define TESTS_LURMA_PEER_H

#include "protocol.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace lurma::test {

class Peer {
public:
    // Binds to the local loopback address and connects to 127.0.0.1:port; -1 fd on failure.
    Peer(const char *local, std::uint16_t port, int receiveBuffer = 0);
    // The library's side of an accepted connection, played by the test: reads terminal frames.
    explicit Peer(int acceptedFd) : fd_(acceptedFd), from_(Sender::Terminal) {}
    ~Peer();
    Peer(const Peer &) = delete;
    Peer &operator=(const Peer &) = delete;

    bool connected() const { return fd_ >= 0; }
    bool sendRaw(const std::vector<std::uint8_t> &bytes);
    bool send(const Message &message);
    // Says hello and reads the welcome.
    bool hello();
    // The next whole message, skipping nothing; nothing on time-out, close or garbage.
    std::optional<Message> receive(std::chrono::milliseconds timeout = std::chrono::seconds(3));
    // True when the other side closed the connection within the time.
    bool closedWithin(std::chrono::milliseconds timeout);

private:
    // Waits until the deadline for bytes and keeps them: how many, 0 when the other side closed
    // or reset the connection, -1 when the time ran out.
    long readUntil(std::chrono::steady_clock::time_point deadline);
    bool fill(std::size_t size, std::chrono::milliseconds timeout);

    int fd_ = -1;
    Sender from_ = Sender::Library;
    std::vector<std::uint8_t> buffer_;
};

} // namespace lurma::test

#endif
