#include "peer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace lurma::test {

Peer::Peer(const char *local, std::uint16_t port, int receiveBuffer) {
    fd_ = socket(AF_INET, SOCK_STREAM, 0);
    if (receiveBuffer > 0)
        setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    int one = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = inet_addr(local);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    if (bind(fd_, reinterpret_cast<sockaddr *>(&from), sizeof from) != 0 ||
        connect(fd_, reinterpret_cast<sockaddr *>(&to), sizeof to) != 0) {
        close(fd_);
        fd_ = -1;
    }
}

Peer::~Peer() {
    if (fd_ >= 0)
        close(fd_);
}

bool Peer::sendRaw(const std::vector<std::uint8_t> &bytes) {
    std::size_t sent = 0;
    while (fd_ >= 0 && sent < bytes.size()) {
        ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return fd_ >= 0;
}

bool Peer::send(const Message &message) {
    auto frame = encode(message);
    return frame && sendRaw(*frame);
}

bool Peer::hello() {
    if (!send(Hello{}))
        return false;
    auto welcome = receive();
    return welcome && std::holds_alternative<Welcome>(*welcome);
}

long Peer::readUntil(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd wait{fd_, POLLIN, 0};
    if (left.count() <= 0 || poll(&wait, 1, static_cast<int>(left.count())) <= 0)
        return -1;
    std::uint8_t chunk[4096];
    ssize_t n = recv(fd_, chunk, sizeof chunk, 0);
    if (n <= 0)
        return 0; // end of stream or reset
    buffer_.insert(buffer_.end(), chunk, chunk + n);
    return n;
}

bool Peer::fill(std::size_t size, std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (fd_ >= 0 && buffer_.size() < size)
        if (readUntil(deadline) <= 0)
            return false;
    return fd_ >= 0;
}

std::optional<Message> Peer::receive(std::chrono::milliseconds timeout) {
    for (;;) {
        Decoded decoded = decodeFrame(buffer_, from_);
        if (decoded.status == Decoded::Status::Frame) {
            buffer_.erase(buffer_.begin(),
                          buffer_.begin() + static_cast<std::ptrdiff_t>(decoded.consumed));
            return decoded.message;
        }
        if (decoded.status == Decoded::Status::Error || !fill(buffer_.size() + 1, timeout))
            return std::nullopt;
    }
}

bool Peer::closedWithin(std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        long n = readUntil(deadline);
        if (n <= 0)
            return n == 0;
    }
}

} // namespace lurma::test
