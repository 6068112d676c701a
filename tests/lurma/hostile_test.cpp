// Peers that break the protocol or hog resources: each is dropped, the others stay served,
// and the library's memory stays bounded.
#include "library.h"
#include "peer.h"

#include <sys/resource.h>

#include <fstream>
#include <memory>
#include <random>
#include <thread>
#include <vector>

namespace lurma::test {
namespace {

using namespace std::chrono_literals;

long residentKilobytes() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return -1;
}

class HostileTest : public LibraryTest {
protected:
    void SetUp() override {
        LibraryTest::SetUp();
        startKb = residentKilobytes();
        good = std::make_unique<Peer>("127.0.0.2", port);
        ASSERT_TRUE(good->hello());
        ASSERT_EQ(next().kind, Received::Connection);
    }

    // The well-behaved terminal still gets its barcode through and its reply back.
    void expectGoodTerminalServed() {
        ASSERT_TRUE(good->send(Barcode{++goodScan, "7891000100103"}));
        Received r = next();
        ASSERT_EQ(r.kind, Received::Barcode);
        ASSERT_EQ(r.address, address("127.0.0.2"));
        ASSERT_TRUE(lib.bSendProdNotFound(&r.address));
        auto reply = good->receive();
        ASSERT_TRUE(reply && std::holds_alternative<NotFoundReply>(*reply));
        EXPECT_EQ(std::get<NotFoundReply>(*reply).scan, goodScan);
        EXPECT_LT(residentKilobytes() - startKb, 64 * 1024) << "resident memory grew";
    }

    void expectDropped(Peer &hostile, const char *from) {
        Received r = next();
        EXPECT_EQ(r.kind, Received::Disconnection);
        EXPECT_EQ(r.address, address(from));
        EXPECT_TRUE(hostile.closedWithin(3s));
    }

    std::unique_ptr<Peer> good;
    std::uint32_t goodScan = 0;
    long startKb = 0;
};

// Random frames, type byte and payload included, so that every path of the decoder meets
// them: each peer is dropped at its first broken frame, whatever it is, and never harms another.
TEST_F(HostileTest, RandomFramesAfterHelloDropThePeer) {
    std::mt19937 random(12345);
    for (int round = 0; round < 32; ++round) {
        Peer hostile("127.0.0.3", port);
        ASSERT_TRUE(hostile.hello());
        ASSERT_EQ(next().kind, Received::Connection);
        std::vector<std::uint8_t> noise;
        for (int frame = 0; frame < 64; ++frame) {
            // Mostly short bodies, where a type's exact payload is within reach.
            std::uint32_t length = 1 + random() % (random() % 2 ? 16 : kMaxBody);
            for (int shift = 24; shift >= 0; shift -= 8)
                noise.push_back(static_cast<std::uint8_t>(length >> shift));
            for (std::uint32_t i = 0; i < length; ++i)
                noise.push_back(static_cast<std::uint8_t>(random()));
        }
        hostile.sendRaw(noise);
        // A random frame that happens to be a valid scan is an event like any other.
        Received r = next();
        for (int i = 0; i < 64 && r.kind == Received::Barcode; ++i)
            r = next();
        EXPECT_EQ(r.kind, Received::Disconnection) << "round " << round;
        EXPECT_EQ(r.address, address("127.0.0.3"));
        EXPECT_TRUE(hostile.closedWithin(3s));
    }
    expectGoodTerminalServed();
}

TEST_F(HostileTest, FrameAnnouncingTwoGigabytesIsRefusedBeforeReading) {
    Peer hostile("127.0.0.3", port);
    ASSERT_TRUE(hostile.hello());
    ASSERT_EQ(next().kind, Received::Connection);
    hostile.sendRaw({0x7F, 0xFF, 0xFF, 0xFF, 0x02, '1', '2', '3'});
    expectDropped(hostile, "127.0.0.3");
    expectGoodTerminalServed();
}

// A keep-alive short enough to see a silent peer go within the test; only here, where the good
// terminal keeps itself alive, so that a slow machine cannot drop it elsewhere.
class HostileKeepAliveTest : public HostileTest {
protected:
    HostileKeepAliveTest() { keepAliveMs = "2500"; }
};

TEST_F(HostileKeepAliveTest, TruncatedFrameIsDroppedByTheKeepAliveTimeOut) {
    Peer hostile("127.0.0.3", port);
    ASSERT_TRUE(hostile.hello());
    ASSERT_EQ(next().kind, Received::Connection);
    hostile.sendRaw({0, 0, 0, 14, 0x02, '7', '8', '9'}); // then nothing more
    // Trickled bytes of the same frame do not count as life.
    std::size_t before = window.posted();
    for (int i = 0; i < 20 && window.posted() == before; ++i) {
        std::this_thread::sleep_for(300ms);
        hostile.sendRaw({'1'});
        ASSERT_TRUE(good->send(KeepAlive{}));
    }
    Received r = next();
    EXPECT_EQ(r.kind, Received::Disconnection);
    EXPECT_EQ(r.address, address("127.0.0.3"));
    expectGoodTerminalServed();
}

TEST_F(HostileTest, ThousandConnectionsWithoutHelloAreBoundedAndTimedOut) {
    // Both ends of the thousand connections live in this process, beyond a user's usual soft
    // limit of 1024 descriptors: as many as the hard limit allows.
    rlimit files{};
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &files), 0);
    files.rlim_cur = files.rlim_max;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &files), 0);
    std::vector<std::unique_ptr<Peer>> silent;
    for (int i = 0; i < 1000; ++i) {
        silent.push_back(std::make_unique<Peer>(i % 2 ? "127.0.1.1" : "127.0.1.2", port));
        if (i % 100 == 0) {
            ASSERT_TRUE(good->send(KeepAlive{}));
        }
    }
    // A new terminal still gets in during the flood: the oldest silent ones make room.
    Peer late("127.0.0.4", port);
    ASSERT_TRUE(late.hello());
    EXPECT_EQ(next().kind, Received::Connection);
    // Every silent connection is closed, by eviction or by the hello time-out, and none of
    // them ever made an event.
    for (auto &peer : silent)
        EXPECT_TRUE(!peer->connected() || peer->closedWithin(5s));
    EXPECT_TRUE(quiet(100ms));
    expectGoodTerminalServed();
}

TEST_F(HostileTest, PeerThatNeverReadsIsDroppedWhenItsOutputPilesUp) {
    Peer hostile("127.0.0.3", port, 4096); // small receive buffer, never read after hello
    ASSERT_TRUE(hostile.hello());
    ASSERT_EQ(next().kind, Received::Connection);
    const std::string description(900, 'D');
    // Each scan answered with a long reply, until the library gives up on the peer.
    int answered = 0;
    for (std::uint32_t id = 1; id <= 20000; ++id) {
        ASSERT_TRUE(hostile.send(Barcode{id, "111"}));
        Received r = next();
        if (r.kind == Received::Disconnection) {
            EXPECT_EQ(r.address, address("127.0.0.3"));
            break;
        }
        ASSERT_EQ(r.kind, Received::Barcode);
        if (!lib.bSendProdPriceQV62K(&r.address, description.c_str(), "1,00")) {
            Received last = next();
            EXPECT_EQ(last.kind, Received::Disconnection);
            EXPECT_EQ(last.address, address("127.0.0.3"));
            break;
        }
        ++answered;
    }
    EXPECT_LT(answered, 20000) << "the library kept queueing for a peer that does not read";
    expectGoodTerminalServed();
}

// A terminal that floods scans while the caller is busy keeps one waiting scan, its newest,
// in its turn: the next terminal is reached after one lookup, not after the flood.
TEST_F(HostileTest, FloodingTerminalDelaysOthersByOneLookupAtMost) {
    Peer flooder("127.0.0.3", port);
    ASSERT_TRUE(flooder.hello());
    ASSERT_EQ(next().kind, Received::Connection);
    std::vector<std::uint8_t> flood;
    for (std::uint32_t id = 1; id <= 5000; ++id) {
        auto frame = encode(Barcode{id, "F" + std::to_string(id)});
        flood.insert(flood.end(), frame->begin(), frame->end());
    }
    ASSERT_TRUE(flooder.sendRaw(flood));
    // A configuration round trip behind the flood on the same connection: once it is back,
    // the library has read every scan of the flood.
    std::thread answer([&flooder] {
        auto request = flooder.receive();
        if (request && std::holds_alternative<ConfigurationRequest>(*request))
            flooder.send(ConfigurationAnswer{std::get<ConfigurationRequest>(*request).id, {}});
    });
    char ip[16], server[16], mask[16], l1[20], l2[20], l3[20], l4[20], display[2];
    bool captured = lib.GetConfigurationNew("127.0.0.3", ip, server, mask, l1, l2, l3, l4,
                                            display, 0, 0, 0, 0, 0);
    answer.join();
    ASSERT_TRUE(captured);
    EXPECT_EQ(window.posted(), 3u) << "one notification for the whole flood";
    ASSERT_TRUE(good->send(Barcode{++goodScan, "7891000100103"}));
    ASSERT_TRUE(window.waitPosted(4));

    Received first = next();
    ASSERT_EQ(first.kind, Received::Barcode);
    EXPECT_EQ(first.address, address("127.0.0.3"));
    EXPECT_EQ(first.barcode.substr(0, 6), std::string("F5000\0", 6)); // the newest
    Received second = next();
    ASSERT_EQ(second.kind, Received::Barcode);
    EXPECT_EQ(second.address, address("127.0.0.2"));
    ASSERT_TRUE(lib.bSendProdNotFound(&second.address));
    auto reply = good->receive();
    ASSERT_TRUE(reply && std::holds_alternative<NotFoundReply>(*reply));
    EXPECT_TRUE(quiet(100ms));
    expectGoodTerminalServed();
}

// The caller is busy while one address reconnects again and again: its waiting connections
// are capped, the surplus hellos are refused, and every queued event is a true one.
TEST_F(HostileTest, ReconnectStormFromOneAddressIsBounded) {
    int admitted = 0;
    std::unique_ptr<Peer> current;
    for (int i = 0; i < 20; ++i) {
        auto peer = std::make_unique<Peer>("127.0.0.3", port);
        if (peer->hello()) {
            ++admitted;
            current = std::move(peer);
        } else {
            EXPECT_TRUE(peer->closedWithin(2s));
        }
    }
    EXPECT_EQ(admitted, 8);
    for (int i = 0; i < admitted; ++i) {
        if (i > 0) {
            EXPECT_EQ(next().kind, Received::Disconnection) << i;
        }
        EXPECT_EQ(next().kind, Received::Connection) << i;
    }
    EXPECT_TRUE(quiet(100ms));
    // Caught up: the address may connect again, and the last connection was kept.
    Peer again("127.0.0.3", port);
    EXPECT_TRUE(again.hello());
    EXPECT_TRUE(current->closedWithin(2s));
    EXPECT_EQ(next().kind, Received::Disconnection);
    EXPECT_EQ(next().kind, Received::Connection);
    expectGoodTerminalServed();
}

TEST_F(HostileTest, TerminalBeyondTheCapOf256IsRefused) {
    std::vector<std::unique_ptr<Peer>> terminals;
    for (int i = 1; i < 256; ++i) { // the fixture's terminal is the first
        std::string from = "127.0.2." + std::to_string(i);
        terminals.push_back(std::make_unique<Peer>(from.c_str(), port));
        ASSERT_TRUE(terminals.back()->hello()) << from;
        ASSERT_EQ(next().kind, Received::Connection);
    }
    Peer extra("127.0.3.1", port);
    EXPECT_FALSE(extra.hello());
    EXPECT_TRUE(extra.closedWithin(2s));
    EXPECT_TRUE(quiet(100ms));
    // A terminal that comes back is replaced, not refused: the count stays at the cap.
    Peer again("127.0.2.1", port);
    EXPECT_TRUE(again.hello());
    EXPECT_EQ(next().kind, Received::Disconnection);
    EXPECT_EQ(next().kind, Received::Connection);
    expectGoodTerminalServed();
}

TEST_F(HostileTest, BarcodeBeforeHelloIsDroppedWithoutAnyEvent) {
    Peer hostile("127.0.0.3", port);
    ASSERT_TRUE(hostile.send(Barcode{1, "123"}));
    EXPECT_TRUE(hostile.closedWithin(3s));
    EXPECT_TRUE(quiet(100ms));
    expectGoodTerminalServed();
}

} // namespace
} // namespace lurma::test
