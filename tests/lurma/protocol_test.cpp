// The frame codec shared by the library, the simulated terminal and the fuzzer.
#include "utf8.h"
#include "protocol.h"

#include <gtest/gtest.h>

namespace lurma {
namespace {

std::vector<std::uint8_t> bytes(std::initializer_list<int> values) {
    std::vector<std::uint8_t> out;
    for (int v : values)
        out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

const Configuration kConfiguration = {"192.168.100.200",
                                      "10.0.0.1",
                                      "255.255.255.0",
                                      std::string(20, 'A'),
                                      "",
                                      "\xC7\xC3O",
                                      "x",
                                      "05"};

TEST(Protocol, EveryMessageSurvivesEncodeAndDecode) {
    struct Case {
        Sender sender;
        Message message;
    };
    const Case cases[] = {
        {Sender::Terminal, Hello{}},
        {Sender::Terminal, Barcode{0xFFFFFFFE, std::string(kMaxBarcode, '7')}},
        {Sender::Terminal, ConfigurationAnswer{0xFFFFFFFF, kConfiguration}},
        {Sender::Terminal, ConfigurationAck{42}},
        {Sender::Terminal, KeepAlive{}},
        {Sender::Library, Welcome{kProtocolVersion, 15000}},
        {Sender::Library, PriceReply{1, std::string(600, '\xC9'), "R$ 1.234,50"}},
        {Sender::Library, PriceReply{0x01020304, "", ""}},
        {Sender::Library, PriceReply{5, std::string(kMaxReplyText - 20, 'x'), std::string(20, 'y')}},
        {Sender::Library, NotFoundReply{0x80000000}},
        {Sender::Library, ConfigurationRequest{7}},
        {Sender::Library, ConfigurationUpdate{8, kConfiguration}},
        {Sender::Library, Close{}},
    };
    for (const Case &c : cases) {
        auto frame = encode(c.message);
        ASSERT_TRUE(frame) << c.message.index();
        frame->push_back(0x00); // the start of the next frame is left alone
        Decoded decoded = decodeFrame(*frame, c.sender);
        ASSERT_EQ(decoded.status, Decoded::Status::Frame) << c.message.index();
        EXPECT_EQ(decoded.consumed, frame->size() - 1);
        EXPECT_EQ(encode(*decoded.message), encode(c.message));
    }
}

TEST(Protocol, BrokenFramesAreErrorsAndShortOnesWaitForMore) {
    struct Case {
        const char *name;
        Sender sender;
        std::vector<std::uint8_t> bytes;
        Decoded::Status status;
    };
    const Case cases[] = {
        {"empty", Sender::Terminal, {}, Decoded::Status::NeedMore},
        {"half a header", Sender::Terminal, bytes({0, 0}), Decoded::Status::NeedMore},
        {"truncated body", Sender::Terminal, bytes({0, 0, 0, 5, 0x02, '1'}),
         Decoded::Status::NeedMore},
        {"zero length", Sender::Terminal, bytes({0, 0, 0, 0}), Decoded::Status::Error},
        {"2 GB announced", Sender::Terminal, bytes({0x80, 0, 0, 0, 0x02}), Decoded::Status::Error},
        {"one over the cap", Sender::Terminal, bytes({0, 0, 0x04, 0x01}), Decoded::Status::Error},
        {"unknown type", Sender::Terminal, bytes({0, 0, 0, 1, 0x42}), Decoded::Status::Error},
        {"library type from a terminal", Sender::Terminal, bytes({0, 0, 0, 1, 0x83}),
         Decoded::Status::Error},
        {"terminal type from the library", Sender::Library, bytes({0, 0, 0, 1, 0x05}),
         Decoded::Status::Error},
        {"hello without version", Sender::Terminal, bytes({0, 0, 0, 1, 0x01}),
         Decoded::Status::Error},
        {"keep-alive with trailing byte", Sender::Terminal, bytes({0, 0, 0, 2, 0x05, 0}),
         Decoded::Status::Error},
        {"empty barcode", Sender::Terminal, bytes({0, 0, 0, 5, 0x02, 0, 0, 0, 1}),
         Decoded::Status::Error},
        {"barcode without its scan id", Sender::Terminal, bytes({0, 0, 0, 3, 0x02, '1', '2'}),
         Decoded::Status::Error},
        {"barcode with a line break", Sender::Terminal,
         bytes({0, 0, 0, 7, 0x02, 0, 0, 0, 1, '1', '\n'}), Decoded::Status::Error},
        {"not-found without its scan id", Sender::Library, bytes({0, 0, 0, 1, 0x83}),
         Decoded::Status::Error},
        {"price length past the end", Sender::Library,
         bytes({0, 0, 0, 8, 0x82, 0, 0, 0, 1, 0, 9, 'x'}), Decoded::Status::Error},
        {"field wider than 2", Sender::Terminal,
         bytes({0, 0, 0, 16, 0x03, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 3, 'a', 'b', 'c'}),
         Decoded::Status::Error},
        {"NUL inside a field", Sender::Terminal,
         bytes({0, 0, 0, 14, 0x03, 0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}), Decoded::Status::Error},
    };
    for (const Case &c : cases)
        EXPECT_EQ(decodeFrame(c.bytes, c.sender).status, c.status) << c.name;
}

TEST(Protocol, EncodeRefusesWhatTheOtherSideWouldRefuse) {
    Configuration wide = kConfiguration;
    wide[3] = std::string(21, 'L');
    EXPECT_FALSE(encode(ConfigurationUpdate{1, wide}));
    EXPECT_FALSE(encode(Barcode{1, ""}));
    EXPECT_FALSE(encode(Barcode{1, std::string(kMaxBarcode + 1, '1')}));
    EXPECT_FALSE(encode(PriceReply{1, std::string(kMaxReplyText, 'x'), "1"})); // over the cap
}

TEST(Cp1252, EveryByteRoundTripsThroughUtf8) {
    std::string all;
    for (int b = 0; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(utf8ToCp1252(cp1252ToUtf8(all)), all);
    EXPECT_EQ(cp1252ToUtf8("\x80\xC7\xE3\x81"), "\u20AC\u00C7\u00E3\u0081");
    EXPECT_EQ(utf8ToCp1252("Pre\u00E7o \u2014 \u4E2D"), "Pre\xE7o \x97 ?");
    EXPECT_EQ(utf8ToCp1252("\xC3"), "?"); // cut in the middle of a character
}

TEST(Cp1252, MalformedUtf8IsRefusedNeverReadAsAnotherCharacter) {
    const std::pair<const char *, const char *> cases[] = {
        {"\xC1\x81", "??"},             // overlong 'A'
        {"\xC0\xAF", "??"},             // overlong '/'
        {"\xE0\x80\x80", "???"},        // overlong NUL
        {"\xE0\x82\xAC", "???"},        // overlong U+00AC
        {"\xF0\x82\x82\xAC", "????"},   // overlong U+20AC
        {"\xED\xA0\x80", "???"},        // surrogate U+D800
        {"\xED\xBF\xBF", "???"},        // surrogate U+DFFF
        {"\xF4\x90\x80\x80", "????"},   // above U+10FFFF
        {"\xF8\x88\x80\x80\x80", "?????"},
        {"\xC2\x80", "?"},               // U+0080: byte 0x80 is the euro sign
        {"\xE2\x82\xAC", "\x80"},        // U+20AC, the euro sign
        {"\xC3\x87", "\xC7"},
        {"\xED\x9F\xBF", "?"},          // U+D7FF: valid, but no byte for it
    };
    for (const auto &[utf8, expected] : cases)
        EXPECT_EQ(utf8ToCp1252(utf8), expected) << utf8;
}

} // namespace
} // namespace lurma
