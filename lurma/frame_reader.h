// Reads frames from a socket with the one decoder (decodeFrame) that the fuzzer runs; used
// by the library, the simulated terminal and the benchmark's reference server.
#ifndef LURMA_FRAME_READER_H
#define LURMA_FRAME_READER_H

#include "protocol.h"

#include <asio.hpp>

#include <cstdint>
#include <optional>
#include <vector>

namespace lurma {

class FrameReader {
public:
    explicit FrameReader(Sender from) : from_(from) {}

    // The next valid message, or nothing once the stream breaks the protocol (a header over
    // the cap is refused before its body is read). Throws std::system_error when the socket
    // ends. Holds at most one frame and one read's worth of bytes.
    asio::awaitable<std::optional<Message>> next(asio::ip::tcp::socket &socket);

private:
    Sender from_;
    std::vector<std::uint8_t> buffer_;
    std::size_t start_ = 0; // bytes of buffer_ already decoded
};

} // namespace lurma

#endif
