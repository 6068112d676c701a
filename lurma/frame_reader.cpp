#include "frame_reader.h"

#include <array>

namespace lurma {

asio::awaitable<std::optional<Message>> FrameReader::next(asio::ip::tcp::socket &socket) {
    for (;;) {
        std::span<const std::uint8_t> waiting(buffer_.data() + start_, buffer_.size() - start_);
        Decoded decoded = decodeFrame(waiting, from_);
        if (decoded.status == Decoded::Status::Frame) {
            start_ += decoded.consumed;
            co_return std::move(decoded.message);
        }
        if (decoded.status == Decoded::Status::Error)
            co_return std::nullopt;
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(start_));
        start_ = 0;
        std::array<std::uint8_t, 4096> chunk;
        std::size_t got =
            co_await socket.async_read_some(asio::buffer(chunk), asio::use_awaitable);
        buffer_.insert(buffer_.end(), chunk.begin(), chunk.begin() + got);
    }
}

} // namespace lurma
