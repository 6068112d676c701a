// The wire protocol between the terminal library and the terminals (see PROTOCOL.md).
// One place for framing and validation, shared by the library, lurma-terminal and the fuzzer.
#ifndef LURMA_PROTOCOL_H
#define LURMA_PROTOCOL_H

#include "pqtLurma.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

namespace lurma {

// 2: scans and their replies carry the terminal's scan id.
constexpr std::uint8_t kProtocolVersion = 2;
constexpr std::size_t kHeaderSize = 4;
// Largest type byte plus payload; anything announcing more is refused before reading it.
constexpr std::size_t kMaxBody = 1024;
constexpr std::size_t kMaxBarcode = 64;
// Room for the description and the price together in one price reply.
constexpr std::size_t kMaxReplyText = kMaxBody - 1 - 4 - 2 - 2;

// Widths of the eight configuration fields, in the order the library's calls take them.
constexpr std::array<std::size_t, 8> kFieldWidths = {
    LURMA_IP, LURMA_IP, LURMA_IP, LURMA_LINE, LURMA_LINE, LURMA_LINE, LURMA_LINE, LURMA_DISPLAY};

// ip, server ip, netmask, line 1 to 4, display; each at most its width, single-byte text.
using Configuration = std::array<std::string, 8>;

// Terminal to library.
struct Hello {
    std::uint8_t version = kProtocolVersion;
};
// scan: chosen by the terminal, increasing per connection; the reply carries it back.
struct Barcode {
    std::uint32_t scan = 0;
    std::string code;
};
struct ConfigurationAnswer {
    std::uint32_t id = 0;
    Configuration configuration;
};
struct ConfigurationAck {
    std::uint32_t id = 0;
};
struct KeepAlive {};

// Library to terminal.
struct Welcome {
    std::uint8_t version = kProtocolVersion;
    std::uint32_t keepAliveMs = 0;
};
struct PriceReply {
    std::uint32_t scan = 0;
    std::string description;
    std::string price;
};
struct NotFoundReply {
    std::uint32_t scan = 0;
};
struct ConfigurationRequest {
    std::uint32_t id = 0;
};
struct ConfigurationUpdate {
    std::uint32_t id = 0;
    Configuration configuration;
};
struct Close {};

using Message =
    std::variant<Hello, Barcode, ConfigurationAnswer, ConfigurationAck, KeepAlive, Welcome,
                 PriceReply, NotFoundReply, ConfigurationRequest, ConfigurationUpdate, Close>;

// Who sent the bytes: each side accepts only the message types of the other side.
enum class Sender { Terminal, Library };

// The whole frame, or nothing when a field is wider than the protocol allows.
std::optional<std::vector<std::uint8_t>> encode(const Message &message);

// Splits a byte stream: a complete valid frame, a need for more bytes, or a protocol error.
struct Decoded {
    enum class Status { Frame, NeedMore, Error } status = Status::NeedMore;
    std::size_t consumed = 0;
    std::optional<Message> message;
};
Decoded decodeFrame(std::span<const std::uint8_t> bytes, Sender sender);

} // namespace lurma

#endif
