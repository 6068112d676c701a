// Fuzzes the frame decoder both ways. The first byte picks the sender; the rest is a byte
// stream cut into frames. Every frame the decoder accepts must encode back to exactly the
// bytes it came from, so a decoder that accepts what it cannot represent is caught too.
#include "protocol.h"

#include <cstdlib>
#include <cstring>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size == 0)
        return 0;
    auto sender = data[0] & 1 ? lurma::Sender::Library : lurma::Sender::Terminal;
    std::span<const std::uint8_t> stream(data + 1, size - 1);
    for (;;) {
        lurma::Decoded decoded = lurma::decodeFrame(stream, sender);
        if (decoded.status != lurma::Decoded::Status::Frame)
            return 0;
        auto again = lurma::encode(*decoded.message);
        if (!again || again->size() != decoded.consumed ||
            std::memcmp(again->data(), stream.data(), decoded.consumed) != 0)
            std::abort();
        stream = stream.subspan(decoded.consumed);
    }
}
