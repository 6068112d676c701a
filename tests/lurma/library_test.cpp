// The library's thirteen functions over real loopback sockets, as the server uses them.
#include "library.h"
#include "peer.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <memory>
#include <thread>

namespace lurma::test {
namespace {

using namespace std::chrono_literals;

TEST_F(LibraryTest, EventsComeInOrderWithOneNotificationEach) {
    // Each event is awaited before the next is caused: two sockets give no order between them.
    auto first = std::make_unique<Peer>("127.0.0.2", port);
    Peer second("127.0.0.3", port);
    ASSERT_TRUE(first->hello());
    ASSERT_TRUE(window.waitPosted(1));
    ASSERT_TRUE(second.hello());
    ASSERT_TRUE(window.waitPosted(2));
    ASSERT_TRUE(first->send(Barcode{1, "7891000100103"}));
    ASSERT_TRUE(window.waitPosted(3));
    ASSERT_TRUE(second.send(Barcode{1, "123456789012345"})); // fills the buffer
    ASSERT_TRUE(window.waitPosted(4));

    struct Expected {
        Received::Kind kind;
        const char *address;
        std::string barcode;
    };
    const Expected expected[] = {
        {Received::Connection, "127.0.0.2", ""},
        {Received::Connection, "127.0.0.3", ""},
        {Received::Barcode, "127.0.0.2", std::string("7891000100103\0 ", 15)},
        {Received::Barcode, "127.0.0.3", "123456789012345"}, // no NUL when full
        {Received::Disconnection, "127.0.0.2", ""},
    };
    for (const Expected &e : expected) {
        if (e.kind == Received::Disconnection)
            first.reset();
        Received r = next();
        EXPECT_EQ(r.kind, e.kind) << e.address;
        EXPECT_EQ(r.address, address(e.address));
        EXPECT_TRUE(r.canaryIntact) << e.address;
        if (e.kind == Received::Barcode) {
            EXPECT_EQ(r.barcode, e.barcode);
        }
    }
    EXPECT_TRUE(quiet(200ms));
    EXPECT_EQ(window.posted(), std::size(expected));
}

TEST_F(LibraryTest, QueriesTakeTheHeadOnlyWhenOfTheirKind) {
    Peer terminal("127.0.0.2", port);
    ASSERT_TRUE(terminal.hello());
    ASSERT_NE(window.waitMessage(), 0u);
    std::uint32_t where = 0;
    char barcode[LURMA_BARCODE];
    EXPECT_FALSE(lib.bDisconnect(&where));
    EXPECT_FALSE(lib.bReceiveBarcode(&where, barcode));
    EXPECT_TRUE(lib.bConnect(&where));
    EXPECT_EQ(where, address("127.0.0.2"));
    EXPECT_FALSE(lib.bConnect(&where)); // taken
}

// A connected terminal whose scans the test takes, as the server does, before replying.
class ScanTest : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        terminal = std::make_unique<Peer>("127.0.0.2", port);
        ASSERT_TRUE(terminal->hello());
        ASSERT_EQ(next().kind, Received::Connection);
    }
    // The terminal scans; the test takes the barcode event.
    void scan(std::uint32_t id, const std::string &code) {
        ASSERT_TRUE(terminal->send(Barcode{id, code}));
        Received r = next();
        ASSERT_EQ(r.kind, Received::Barcode) << code;
        ASSERT_EQ(r.address, where);
    }

    std::unique_ptr<Peer> terminal;
    std::uint32_t where = address("127.0.0.2");
};

TEST_F(ScanTest, ReplyBytesReachTheTerminalExactlyWithTheScanId) {
    scan(7, "111");
    // Thirty bytes are sent whole; Windows-1252 bytes pass untouched.
    const std::string description = "CAF\xC9 TORRADO E MO\xCD"
                                    "DO 500G EXTRA F";
    const std::string price = "      R$ 12,50      ";
    ASSERT_TRUE(lib.bSendProdPriceQV62K(&where, description.c_str(), price.c_str()));
    auto reply = terminal->receive();
    ASSERT_TRUE(reply && std::holds_alternative<PriceReply>(*reply));
    EXPECT_EQ(std::get<PriceReply>(*reply).scan, 7u);
    EXPECT_EQ(std::get<PriceReply>(*reply).description, description);
    EXPECT_EQ(std::get<PriceReply>(*reply).price, price);

    scan(0xFFFFFFF0, "222");
    ASSERT_TRUE(lib.bSendProdNotFound(&where));
    reply = terminal->receive();
    ASSERT_TRUE(reply && std::holds_alternative<NotFoundReply>(*reply));
    EXPECT_EQ(std::get<NotFoundReply>(*reply).scan, 0xFFFFFFF0u);

    std::uint32_t nobody = address("127.0.0.7");
    EXPECT_FALSE(lib.bSendProdNotFound(&nobody));
    EXPECT_FALSE(lib.bSendProdPriceQV62K(&nobody, "X", "1"));
}

// Every way a reply can come too late or twice: nothing reaches the terminal.
TEST_F(ScanTest, ReplyIsDroppedUnlessItAnswersTheTerminalsLatestScanOnce) {
    // Nothing handed out yet.
    EXPECT_FALSE(lib.bSendProdNotFound(&where));
    // Answered already.
    scan(1, "111");
    ASSERT_TRUE(lib.bSendProdNotFound(&where));
    EXPECT_FALSE(lib.bSendProdPriceQV62K(&where, "SEGUNDA", "1,00"));
    EXPECT_FALSE(lib.bSendProdNotFound(&where));
    auto reply = terminal->receive();
    ASSERT_TRUE(reply && std::holds_alternative<NotFoundReply>(*reply));
    EXPECT_EQ(std::get<NotFoundReply>(*reply).scan, 1u);
    // Superseded: the terminal gave up and scanned again while the lookup ran.
    scan(2, "222");
    std::size_t before = window.posted();
    ASSERT_TRUE(terminal->send(Barcode{3, "333"}));
    ASSERT_TRUE(window.waitPosted(before + 1));
    EXPECT_FALSE(lib.bSendProdPriceQV62K(&where, "PRODUTO 222", "2,00"));
    Received r = next();
    ASSERT_EQ(r.kind, Received::Barcode);
    EXPECT_EQ(r.barcode.substr(0, 4), std::string("333\0", 4));
    ASSERT_TRUE(lib.bSendProdPriceQV62K(&where, "PRODUTO 333", "3,00"));
    reply = terminal->receive();
    ASSERT_TRUE(reply && std::holds_alternative<PriceReply>(*reply));
    EXPECT_EQ(std::get<PriceReply>(*reply).scan, 3u);
    EXPECT_EQ(std::get<PriceReply>(*reply).description, "PRODUTO 333");
    EXPECT_FALSE(terminal->receive(200ms)); // nothing for 222, ever
}

TEST_F(ScanTest, ReplyForAConnectionThatIsGoneNeverReachesTheNewOne) {
    scan(1, "111");
    // The terminal drops its connection and comes back from the same address; its scan ids
    // start again at 1, so only the connection tells the two scans apart.
    terminal = std::make_unique<Peer>("127.0.0.2", port);
    ASSERT_TRUE(terminal->hello());
    ASSERT_EQ(next().kind, Received::Disconnection);
    ASSERT_EQ(next().kind, Received::Connection);
    ASSERT_TRUE(terminal->send(Barcode{1, "222"}));
    ASSERT_TRUE(window.waitPosted(5));
    EXPECT_FALSE(lib.bSendProdPriceQV62K(&where, "PRODUTO 111", "1,00"));
    EXPECT_FALSE(terminal->receive(200ms));
    Received r = next();
    ASSERT_EQ(r.kind, Received::Barcode);
    EXPECT_EQ(r.barcode.substr(0, 4), std::string("222\0", 4));
    ASSERT_TRUE(lib.bSendProdNotFound(&where));
    auto reply = terminal->receive();
    ASSERT_TRUE(reply && std::holds_alternative<NotFoundReply>(*reply));
    EXPECT_EQ(std::get<NotFoundReply>(*reply).scan, 1u);

    // Closed for good: a scan still waiting goes with it, the one taken has nowhere to go.
    scan(2, "333");
    ASSERT_TRUE(terminal->send(Barcode{3, "444"}));
    ASSERT_TRUE(window.waitPosted(7));
    terminal.reset();
    ASSERT_TRUE(window.waitPosted(8));
    EXPECT_EQ(next().kind, Received::Disconnection);
    EXPECT_EQ(next().kind, Received::None); // the notification of 444 finds nothing
    EXPECT_FALSE(lib.bSendProdNotFound(&where));
}

TEST_F(ScanTest, CodeLongerThanTheBufferIsAnsweredNotFoundByTheLibrary) {
    struct Case {
        std::size_t length;
        bool reachesTheCaller;
    };
    const Case cases[] = {{15, true}, {16, false}, {17, false}, {64, false}};
    std::uint32_t id = 10;
    for (const Case &c : cases) {
        // Distinct digits, so a cut code could not pass for the first 15 of another.
        std::string code;
        for (std::size_t i = 0; i < c.length; ++i)
            code += static_cast<char>('0' + (i + c.length) % 10);
        ASSERT_TRUE(terminal->send(Barcode{++id, code}));
        if (c.reachesTheCaller) {
            Received r = next();
            ASSERT_EQ(r.kind, Received::Barcode) << c.length;
            EXPECT_EQ(r.barcode, code);
            EXPECT_TRUE(r.canaryIntact);
            ASSERT_TRUE(lib.bSendProdNotFound(&where));
        }
        auto reply = terminal->receive();
        ASSERT_TRUE(reply && std::holds_alternative<NotFoundReply>(*reply)) << c.length;
        EXPECT_EQ(std::get<NotFoundReply>(*reply).scan, id) << c.length;
    }
    EXPECT_TRUE(quiet(200ms)); // no event for the long ones

    // A long code also supersedes a shorter scan still waiting from the same terminal.
    ASSERT_TRUE(terminal->send(Barcode{30, "111"}));
    ASSERT_TRUE(terminal->send(Barcode{31, std::string(16, '2')}));
    auto reply = terminal->receive();
    ASSERT_TRUE(reply && std::holds_alternative<NotFoundReply>(*reply));
    EXPECT_EQ(std::get<NotFoundReply>(*reply).scan, 31u);
    EXPECT_EQ(next().kind, Received::None); // its notification finds nothing
    EXPECT_TRUE(quiet(200ms));

    // And one the caller has already taken: the long code is the terminal's newest scan, so
    // the reply to the taken one is refused.
    scan(40, "111");
    ASSERT_TRUE(terminal->send(Barcode{41, std::string(16, '3')}));
    reply = terminal->receive();
    ASSERT_TRUE(reply && std::holds_alternative<NotFoundReply>(*reply));
    EXPECT_EQ(std::get<NotFoundReply>(*reply).scan, 41u);
    EXPECT_FALSE(lib.bSendProdPriceQV62K(&where, "PRODUTO 111", "1,00"));
    EXPECT_FALSE(terminal->receive(200ms));
}

// Blanks around a code do not count against the buffer: without them it reaches the caller.
TEST_F(ScanTest, BlanksAroundALongCodeAreDroppedBeforeTheBufferRule) {
    const std::pair<std::string, std::string> cases[] = {
        {"7891000100103   ", std::string("7891000100103\0", 14)},
        {"  7891000100103  ", std::string("7891000100103\0", 14)},
        {" 123456789012345 ", "123456789012345"},
    };
    std::uint32_t id = 0;
    for (const auto &[code, received] : cases) {
        ASSERT_TRUE(terminal->send(Barcode{++id, code}));
        Received r = next();
        ASSERT_EQ(r.kind, Received::Barcode) << code;
        EXPECT_EQ(r.barcode.substr(0, received.size()), received);
        ASSERT_TRUE(lib.bSendProdNotFound(&where));
        auto reply = terminal->receive();
        ASSERT_TRUE(reply && std::holds_alternative<NotFoundReply>(*reply)) << code;
        EXPECT_EQ(std::get<NotFoundReply>(*reply).scan, id);
    }
}

TEST_F(ScanTest, DescriptionTooLongForOneFrameIsShortenedNotDropped) {
    const std::string price = "      R$ 24,90      ";
    const std::size_t room = kMaxReplyText - price.size();
    struct Case {
        std::size_t length;
        std::size_t sent;
    };
    const Case cases[] = {{room, room}, {room + 1, room}, {5000, room}};
    std::uint32_t id = 0;
    for (const Case &c : cases) {
        std::string description;
        for (std::size_t i = 0; i < c.length; ++i)
            description += static_cast<char>('A' + i % 26);
        scan(++id, "111");
        ASSERT_TRUE(lib.bSendProdPriceQV62K(&where, description.c_str(), price.c_str()))
            << c.length;
        auto reply = terminal->receive();
        ASSERT_TRUE(reply && std::holds_alternative<PriceReply>(*reply)) << c.length;
        EXPECT_EQ(std::get<PriceReply>(*reply).description, description.substr(0, c.sent));
        EXPECT_EQ(std::get<PriceReply>(*reply).price, price);
        EXPECT_EQ(std::get<PriceReply>(*reply).scan, id);
    }
}

// The terminal side of one configuration exchange, run beside the blocking library call.
class AnsweringTerminal {
public:
    AnsweringTerminal(std::uint16_t port, Configuration settings)
        : peer_("127.0.0.2", port), settings_(std::move(settings)) {}
    Peer &peer() { return peer_; }
    // Answers one request in the background; what the terminal received is in received().
    void answerOne() {
        thread_ = std::thread([this] {
            auto request = peer_.receive();
            if (!request)
                return;
            if (auto *get = std::get_if<ConfigurationRequest>(&*request))
                peer_.send(ConfigurationAnswer{get->id, settings_});
            if (auto *update = std::get_if<ConfigurationUpdate>(&*request)) {
                received_ = update->configuration;
                peer_.send(ConfigurationAck{update->id});
            }
        });
    }
    Configuration received() {
        thread_.join();
        return received_;
    }
    ~AnsweringTerminal() {
        if (thread_.joinable())
            thread_.join();
    }

private:
    Peer peer_;
    Configuration settings_;
    Configuration received_;
    std::thread thread_;
};

TEST_F(LibraryTest, ConfigurationIsCapturedNulEndedAtEveryWidth) {
    const Configuration full = {"192.168.100.200 ",
                                "10.0.0.1",
                                "255.255.255.0",
                                "12345678901234567890",
                                "",
                                "MENSAGEM 2",
                                "\xC7"
                                "A\xC7"
                                "AROLA",
                                "5"};
    AnsweringTerminal terminal(port, full);
    ASSERT_TRUE(terminal.peer().hello());
    ASSERT_EQ(next().kind, Received::Connection);
    terminal.answerOne();

    // Each buffer as the server prepares it, filled with spaces, with a canary after it.
    std::array<std::string, 8> buffers;
    for (std::size_t i = 0; i < buffers.size(); ++i)
        buffers[i] = std::string(kFieldWidths[i], ' ') + kCanary;
    // The terminal text may carry the blanks an operator typed around it.
    ASSERT_TRUE(lib.GetConfigurationNew(
        " 127.0.0.2 ", buffers[0].data(), buffers[1].data(), buffers[2].data(), buffers[3].data(),
        buffers[4].data(), buffers[5].data(), buffers[6].data(), buffers[7].data(), 0, 0, 0, 0, 0));
    for (std::size_t i = 0; i < buffers.size(); ++i) {
        // The buffer's text: what stands before the first NUL, or the whole buffer.
        std::string text = buffers[i].substr(0, kFieldWidths[i]);
        text = text.substr(0, text.find('\0'));
        EXPECT_EQ(text, full[i]) << "field " << i;
        EXPECT_EQ(buffers[i].back(), kCanary) << "field " << i;
    }
}

TEST_F(LibraryTest, ConfigurationIsSentWithNullPointersAsEmptyFields) {
    AnsweringTerminal terminal(port, {});
    ASSERT_TRUE(terminal.peer().hello());
    ASSERT_EQ(next().kind, Received::Connection);
    terminal.answerOne();
    ASSERT_TRUE(lib.SendConfiguration("127.0.0.2", nullptr, "10.0.0.1", nullptr,
                                      "    Linha de 20     ", "", nullptr, "12345678901234567890",
                                      "99"));
    const Configuration expected = {
        "", "10.0.0.1", "", "    Linha de 20     ", "", "", "12345678901234567890", "99"};
    EXPECT_EQ(terminal.received(), expected);
}

TEST_F(LibraryTest, EachConfigurationValueArrivesInItsOwnPlace) {
    AnsweringTerminal terminal(port, {});
    ASSERT_TRUE(terminal.peer().hello());
    ASSERT_EQ(next().kind, Received::Connection);
    terminal.answerOne();
    const Configuration sent = {"10.1.1.1",          "10.2.2.2",          "255.255.0.0",
                                "    PRIMEIRA      ", "     SEGUNDA      ", "    TERCEIRA      ",
                                "     QUARTA       ", "07"};
    ASSERT_TRUE(lib.SendConfiguration("127.0.0.2", sent[0].c_str(), sent[1].c_str(),
                                      sent[2].c_str(), sent[3].c_str(), sent[4].c_str(),
                                      sent[5].c_str(), sent[6].c_str(), sent[7].c_str()));
    EXPECT_EQ(terminal.received(), sent);
}

TEST_F(LibraryTest, ConfigurationFieldWiderThanTheTerminalIsRefused) {
    Peer terminal("127.0.0.2", port);
    ASSERT_TRUE(terminal.hello());
    const std::string line21(21, 'L');
    EXPECT_FALSE(
        lib.SendConfiguration("127.0.0.2", "1.2.3.4", "", "", line21.c_str(), "", "", "", ""));
    EXPECT_FALSE(lib.SendConfiguration("127.0.0.2", "1.2.3.4", "", "", "", "", "", "", "123"));
    EXPECT_FALSE(terminal.receive(200ms)); // nothing half-sent
}

TEST_F(LibraryTest, RequestsFailWhenTheTerminalIsAbsentOrSilent) {
    char ip[16], server[16], mask[16], l1[20], l2[20], l3[20], l4[20], display[2];
    auto capture = [&](const char *terminal) {
        return lib.GetConfigurationNew(terminal, ip, server, mask, l1, l2, l3, l4, display, 0, 0, 0,
                                       0, 0);
    };
    EXPECT_FALSE(capture("127.0.0.2")); // not connected
    EXPECT_FALSE(capture("not an ip"));
    EXPECT_FALSE(capture(nullptr));

    Peer silent("127.0.0.2", port); // connected, but never answers requests
    ASSERT_TRUE(silent.hello());
    EXPECT_FALSE(capture("127.0.0.2"));
    EXPECT_FALSE(lib.SendConfiguration("127.0.0.2", "", "", "", "", "", "", "", ""));
    // A late answer to the timed-out request is harmless, and the terminal stays served.
    auto request = silent.receive();
    ASSERT_TRUE(request && std::holds_alternative<ConfigurationRequest>(*request));
    ASSERT_TRUE(silent.send(ConfigurationAnswer{std::get<ConfigurationRequest>(*request).id, {}}));
    ASSERT_TRUE(silent.send(Barcode{1, "1"}));
    ASSERT_EQ(next().kind, Received::Connection);
    Received r = next();
    ASSERT_EQ(r.kind, Received::Barcode);
    EXPECT_TRUE(lib.bSendProdNotFound(&r.address));
}

TEST_F(LibraryTest, CloseTerminalClosesOnlyAConnectedTerminal) {
    Peer terminal("127.0.0.2", port);
    ASSERT_TRUE(terminal.hello());
    ASSERT_EQ(next().kind, Received::Connection);
    std::uint32_t where = address("127.0.0.2");
    ASSERT_TRUE(lib.CloseTerminal(&where));
    auto frame = terminal.receive();
    EXPECT_TRUE(frame && std::holds_alternative<Close>(*frame));
    EXPECT_TRUE(terminal.closedWithin(2s));
    Received r = next();
    EXPECT_EQ(r.kind, Received::Disconnection);
    EXPECT_EQ(r.address, where);
    EXPECT_FALSE(lib.CloseTerminal(&where)); // no longer connected
    EXPECT_TRUE(quiet(300ms));               // and no second disconnection
}

TEST_F(LibraryTest, SecondConnectionFromTheSameAddressReplacesTheFirst) {
    Peer first("127.0.0.2", port);
    ASSERT_TRUE(first.hello());
    ASSERT_EQ(next().kind, Received::Connection);
    Peer second("127.0.0.2", port);
    ASSERT_TRUE(second.hello());
    EXPECT_EQ(next().kind, Received::Disconnection);
    EXPECT_EQ(next().kind, Received::Connection);
    EXPECT_TRUE(first.closedWithin(2s));
    ASSERT_TRUE(second.send(Barcode{1, "1"}));
    Received r = next();
    ASSERT_EQ(r.kind, Received::Barcode);
    ASSERT_TRUE(lib.bSendProdNotFound(&r.address));
    auto reply = second.receive();
    EXPECT_TRUE(reply && std::holds_alternative<NotFoundReply>(*reply));
}

class KeepAliveTest : public LibraryTest {
protected:
    KeepAliveTest() { keepAliveMs = "1500"; }
};

TEST_F(KeepAliveTest, SilentTerminalIsDroppedAndKeepAliveKeepsOneConnected) {
    Peer silent("127.0.0.2", port);
    ASSERT_TRUE(silent.hello());
    Peer alive("127.0.0.3", port);
    ASSERT_TRUE(alive.hello());
    next();
    next();
    // Keep one alive until the other is dropped; the first event must be that drop.
    for (int i = 0; i < 50 && window.posted() == 2; ++i) {
        std::this_thread::sleep_for(200ms);
        ASSERT_TRUE(alive.send(KeepAlive{}));
    }
    Received r = next();
    EXPECT_EQ(r.kind, Received::Disconnection);
    EXPECT_EQ(r.address, address("127.0.0.2"));
    EXPECT_TRUE(silent.closedWithin(1s));
    ASSERT_TRUE(alive.send(Barcode{1, "1"}));
    r = next();
    ASSERT_EQ(r.kind, Received::Barcode);
    EXPECT_EQ(r.address, address("127.0.0.3"));
    EXPECT_TRUE(lib.bSendProdNotFound(&r.address));
}

TEST_F(LibraryTest, TerminateClosesConnectedTerminalsAndIsHarmlessTwice) {
    Peer terminal("127.0.0.2", port);
    ASSERT_TRUE(terminal.hello());
    ASSERT_TRUE(terminal.send(Barcode{1, "1"}));
    ASSERT_TRUE(window.waitPosted(2));
    EXPECT_TRUE(lib.bTerminate());
    EXPECT_TRUE(terminal.closedWithin(2s));
    EXPECT_TRUE(lib.bTerminate());
    std::uint32_t where = 0;
    EXPECT_FALSE(lib.bConnect(&where)); // the queue went with the library
    EXPECT_FALSE(Peer("127.0.0.3", port).connected());
    // And it starts again on the same port.
    EXPECT_TRUE(lib.bInitialize(window.port()));
}

TEST_F(LibraryTest, InitializeRefusesASecondStartABusyPortAndNoWindow) {
    EXPECT_FALSE(lib.bInitialize(window.port())); // already running
    lib.bTerminate();
    EXPECT_FALSE(lib.bInitialize(nullptr));
    TestWindow other;
    std::uint32_t before = 0;
    lib.vGetMsgWinReceiveDataTC(&before);
    EXPECT_GE(before, 0xC000u);
    // The port is held by another listener.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    at.sin_port = htons(port);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr *>(&at), sizeof at), 0);
    ASSERT_EQ(listen(fd, 1), 0);
    EXPECT_FALSE(lib.bInitialize(other.port()));
    close(fd);
    setenv("LURMA_PORT", "not-a-port", 1);
    EXPECT_FALSE(lib.bInitialize(other.port()));
}

TEST(InetConversion, OnlyFourDecimalOctetsAreAnAddressInNetworkByteOrder) {
    const Library &lib = Library::get();
    const std::uint32_t none = 0xFFFFFFFF; // INADDR_NONE, as inet_addr fails
    struct Case {
        const char *text;
        std::uint32_t value;
    };
    const Case cases[] = {
        {"127.0.0.2", htonl(0x7F000002)},
        {"192.168.1.200", htonl(0xC0A801C8)},
        {"255.255.255.254", htonl(0xFFFFFFFE)},
        {"0.0.0.0", 0},
        {" 127.0.0.2 ", htonl(0x7F000002)},
        {"\t10.0.0.1\r\n", htonl(0x0A000001)},
        // Each of these names no terminal, or another one than the text shows.
        {"127.0.0.010", none}, // octal 8 to inet_addr
        {"127.0.0.08", none},
        {"127.1", none}, // 127.0.0.1 to inet_addr
        {"127.0.1", none},
        {"2130706434", none},
        {"0x7f.0.0.2", none},
        {"127.0.0.2 x", none},
        {"127.0.0 .2", none},
        {"256.0.0.1", none},
        {"1.2.3.1000", none},
        {"1.2.3.4.", none},
        {".1.2.3.4", none},
        {"1..2.3", none},
        {"+1.2.3.4", none},
        {"1.2.3.-4", none},
        {"", none},
        {"   ", none},
        {"abc", none},
    };
    for (const Case &c : cases)
        EXPECT_EQ(lib.Inet_Addr(c.text), c.value) << '"' << c.text << '"';
    EXPECT_EQ(lib.Inet_Addr(nullptr), none);

    char text[LURMA_ADDRESS_TEXT + 1];
    text[LURMA_ADDRESS_TEXT] = kCanary;
    ASSERT_TRUE(lib.Inet_NtoA(htonl(0xFFFFFFFE), text));
    EXPECT_STREQ(text, "255.255.255.254"); // the longest text fits with its NUL
    ASSERT_TRUE(lib.Inet_NtoA(htonl(0xFFFFFFFF), text));
    EXPECT_STREQ(text, "255.255.255.255");
    EXPECT_EQ(text[LURMA_ADDRESS_TEXT], kCanary);
    ASSERT_TRUE(lib.Inet_NtoA(htonl(0x7F000002), text));
    EXPECT_EQ(lib.Inet_Addr(text), htonl(0x7F000002));
}

} // namespace
} // namespace lurma::test
