#include "protocol.h"

#include <algorithm>

namespace lurma {
namespace {

enum Type : std::uint8_t {
    kHello = 0x01,
    kBarcode = 0x02,
    kConfigurationAnswer = 0x03,
    kConfigurationAck = 0x04,
    kKeepAlive = 0x05,
    kWelcome = 0x81,
    kPriceReply = 0x82,
    kNotFoundReply = 0x83,
    kConfigurationRequest = 0x84,
    kConfigurationUpdate = 0x85,
    kClose = 0x86,
};

bool validText(const std::string &text, std::size_t width) {
    return text.size() <= width && text.find('\0') == std::string::npos;
}

// A barcode is what a scanner reads: printable bytes only, so it never hides a NUL or a
// line break from the server's buffer or log.
bool validBarcode(const std::string &code) {
    return !code.empty() && code.size() <= kMaxBarcode &&
           std::all_of(code.begin(), code.end(), [](char c) {
               auto byte = static_cast<unsigned char>(c);
               return byte >= 0x20 && byte != 0x7F;
           });
}

static_assert(kHeaderSize == 4);

// The header's four length bytes are filled in by finish().
class Writer {
public:
    explicit Writer(Type type) : bytes_{0, 0, 0, 0, type} {}
    void u8(std::uint8_t value) { bytes_.push_back(value); }
    void u16(std::uint16_t value) {
        u8(static_cast<std::uint8_t>(value >> 8));
        u8(static_cast<std::uint8_t>(value));
    }
    void u32(std::uint32_t value) {
        u16(static_cast<std::uint16_t>(value >> 16));
        u16(static_cast<std::uint16_t>(value));
    }
    void raw(const std::string &text) { bytes_.insert(bytes_.end(), text.begin(), text.end()); }
    bool configuration(const Configuration &fields) {
        for (std::size_t i = 0; i < fields.size(); ++i) {
            if (!validText(fields[i], kFieldWidths[i]))
                return false;
            u8(static_cast<std::uint8_t>(fields[i].size()));
            raw(fields[i]);
        }
        return true;
    }
    std::optional<std::vector<std::uint8_t>> finish() {
        std::size_t body = bytes_.size() - kHeaderSize;
        if (body > kMaxBody)
            return std::nullopt;
        for (std::size_t i = 0; i < kHeaderSize; ++i)
            bytes_[i] = static_cast<std::uint8_t>(body >> (8 * (kHeaderSize - 1 - i)));
        return std::move(bytes_);
    }

private:
    std::vector<std::uint8_t> bytes_;
};

class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool ok() const { return ok_; }
    bool atEnd() const { return ok_ && position_ == bytes_.size(); }
    std::uint32_t number(std::size_t size) {
        std::uint32_t value = 0;
        if (!take(size))
            return 0;
        for (std::size_t i = 0; i < size; ++i)
            value = (value << 8) | bytes_[position_ - size + i];
        return value;
    }
    std::string text(std::size_t size) {
        if (!take(size))
            return {};
        auto first = bytes_.begin() + static_cast<std::ptrdiff_t>(position_ - size);
        return std::string(first, first + static_cast<std::ptrdiff_t>(size));
    }
    std::string rest() { return text(bytes_.size() - position_); }
    Configuration configuration() {
        Configuration fields;
        for (std::size_t i = 0; i < fields.size(); ++i) {
            fields[i] = text(number(1));
            if (!validText(fields[i], kFieldWidths[i]))
                ok_ = false;
        }
        return fields;
    }

private:
    bool take(std::size_t size) {
        if (!ok_ || bytes_.size() - position_ < size)
            ok_ = false;
        else
            position_ += size;
        return ok_;
    }

    std::span<const std::uint8_t> bytes_;
    std::size_t position_ = 0;
    bool ok_ = true;
};

std::optional<Message> decodeFromTerminal(std::uint8_t type, Reader &in) {
    switch (type) {
    case kHello:
        return Hello{static_cast<std::uint8_t>(in.number(1))};
    case kBarcode: {
        Barcode barcode;
        barcode.scan = in.number(4);
        barcode.code = in.rest();
        if (!validBarcode(barcode.code))
            return std::nullopt;
        return barcode;
    }
    case kConfigurationAnswer: {
        ConfigurationAnswer answer;
        answer.id = in.number(4);
        answer.configuration = in.configuration();
        return answer;
    }
    case kConfigurationAck:
        return ConfigurationAck{in.number(4)};
    case kKeepAlive:
        return KeepAlive{};
    default:
        return std::nullopt;
    }
}

std::optional<Message> decodeFromLibrary(std::uint8_t type, Reader &in) {
    switch (type) {
    case kWelcome: {
        Welcome welcome;
        welcome.version = static_cast<std::uint8_t>(in.number(1));
        welcome.keepAliveMs = in.number(4);
        return welcome;
    }
    case kPriceReply: {
        PriceReply reply;
        reply.scan = in.number(4);
        reply.description = in.text(in.number(2));
        reply.price = in.text(in.number(2));
        if (!validText(reply.description, kMaxBody) || !validText(reply.price, kMaxBody))
            return std::nullopt;
        return reply;
    }
    case kNotFoundReply:
        return NotFoundReply{in.number(4)};
    case kConfigurationRequest:
        return ConfigurationRequest{in.number(4)};
    case kConfigurationUpdate: {
        ConfigurationUpdate update;
        update.id = in.number(4);
        update.configuration = in.configuration();
        return update;
    }
    case kClose:
        return Close{};
    default:
        return std::nullopt;
    }
}

} // namespace

std::optional<std::vector<std::uint8_t>> encode(const Message &message) {
    struct Visitor {
        std::optional<std::vector<std::uint8_t>> operator()(const Hello &m) {
            Writer out(kHello);
            out.u8(m.version);
            return out.finish();
        }
        std::optional<std::vector<std::uint8_t>> operator()(const Barcode &m) {
            if (!validBarcode(m.code))
                return std::nullopt;
            Writer out(kBarcode);
            out.u32(m.scan);
            out.raw(m.code);
            return out.finish();
        }
        std::optional<std::vector<std::uint8_t>> operator()(const ConfigurationAnswer &m) {
            Writer out(kConfigurationAnswer);
            out.u32(m.id);
            if (!out.configuration(m.configuration))
                return std::nullopt;
            return out.finish();
        }
        std::optional<std::vector<std::uint8_t>> operator()(const ConfigurationAck &m) {
            Writer out(kConfigurationAck);
            out.u32(m.id);
            return out.finish();
        }
        std::optional<std::vector<std::uint8_t>> operator()(const KeepAlive &) {
            return Writer(kKeepAlive).finish();
        }
        std::optional<std::vector<std::uint8_t>> operator()(const Welcome &m) {
            Writer out(kWelcome);
            out.u8(m.version);
            out.u32(m.keepAliveMs);
            return out.finish();
        }
        std::optional<std::vector<std::uint8_t>> operator()(const PriceReply &m) {
            if (!validText(m.description, kMaxBody) || !validText(m.price, kMaxBody))
                return std::nullopt;
            Writer out(kPriceReply);
            out.u32(m.scan);
            out.u16(static_cast<std::uint16_t>(m.description.size()));
            out.raw(m.description);
            out.u16(static_cast<std::uint16_t>(m.price.size()));
            out.raw(m.price);
            return out.finish();
        }
        std::optional<std::vector<std::uint8_t>> operator()(const NotFoundReply &m) {
            Writer out(kNotFoundReply);
            out.u32(m.scan);
            return out.finish();
        }
        std::optional<std::vector<std::uint8_t>> operator()(const ConfigurationRequest &m) {
            Writer out(kConfigurationRequest);
            out.u32(m.id);
            return out.finish();
        }
        std::optional<std::vector<std::uint8_t>> operator()(const ConfigurationUpdate &m) {
            Writer out(kConfigurationUpdate);
            out.u32(m.id);
            if (!out.configuration(m.configuration))
                return std::nullopt;
            return out.finish();
        }
        std::optional<std::vector<std::uint8_t>> operator()(const Close &) {
            return Writer(kClose).finish();
        }
    };
    return std::visit(Visitor{}, message);
}

namespace {

// The body length announced by a header, or nothing when it is 0 or above kMaxBody.
std::optional<std::size_t> bodyLength(std::span<const std::uint8_t, kHeaderSize> header) {
    std::uint32_t length = 0;
    for (std::uint8_t byte : header)
        length = (length << 8) | byte;
    if (length == 0 || length > kMaxBody)
        return std::nullopt;
    return length;
}

// The message of one body (type byte and payload), or nothing when it breaks the protocol.
std::optional<Message> decodeBody(std::span<const std::uint8_t> body, Sender sender) {
    if (body.empty() || body.size() > kMaxBody)
        return std::nullopt;
    Reader in(body.subspan(1));
    std::optional<Message> message = sender == Sender::Terminal ? decodeFromTerminal(body[0], in)
                                                                : decodeFromLibrary(body[0], in);
    // Trailing bytes are as much a fault as missing ones: the frame is not what it claims.
    if (!in.atEnd())
        return std::nullopt;
    return message;
}

} // namespace

Decoded decodeFrame(std::span<const std::uint8_t> bytes, Sender sender) {
    if (bytes.size() < kHeaderSize)
        return {};
    std::optional<std::size_t> length = bodyLength(bytes.first<kHeaderSize>());
    if (!length)
        return {Decoded::Status::Error, 0, std::nullopt};
    if (bytes.size() < kHeaderSize + *length)
        return {};
    std::optional<Message> message = decodeBody(bytes.subspan(kHeaderSize, *length), sender);
    if (!message)
        return {Decoded::Status::Error, 0, std::nullopt};
    return {Decoded::Status::Frame, kHeaderSize + *length, std::move(message)};
}

} // namespace lurma
