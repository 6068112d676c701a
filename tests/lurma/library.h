// The terminal library loaded by name from beside the executable, as the server loads it,
// plus a test window port and a fixture that runs the library on a free loopback port.
#ifndef TESTS_LURMA_LIBRARY_H
#define TESTS_LURMA_LIBRARY_H

#include "pqtLurma.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

namespace lurma::test {

struct Library : LurmaFunctions {
    // Loads bin/libpqtLurma.so once; fails the test (throws) when a symbol is missing.
    static const Library &get();
};

// Records posted message numbers; the test thread plays the UI thread and waits for them.
class TestWindow {
public:
    TestWindow();
    LurmaWindowPort *port() { return &port_; }
    // Waits for the next posted message; 0 when none came in time.
    std::uint32_t waitMessage(std::chrono::milliseconds timeout = std::chrono::seconds(5));
    std::size_t posted();
    // Waits until this many notifications were posted in all; false when they did not come.
    bool waitPosted(std::size_t count, std::chrono::milliseconds timeout = std::chrono::seconds(5));

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::map<std::string, std::uint32_t> names_;
    std::size_t posted_ = 0, taken_ = 0;
    std::uint32_t last_ = 0;
    LurmaWindowPort port_;
};

struct Received {
    enum Kind { None, Connection, Disconnection, Barcode } kind = None;
    std::uint32_t address = 0;
    std::string barcode; // the 15-byte buffer as the library left it
    bool canaryIntact = true; // the byte after the buffer
};

// A byte placed right after a buffer the library writes; it must be there after the call.
constexpr char kCanary = '#';

std::uint32_t address(const char *dotted); // network byte order

// Runs the library on 127.0.0.1 and a free port with short time-outs.
class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    // Waits for one notification and asks in the server's order: connect, disconnect, barcode.
    Received next();
    // True when no notification arrives within the time.
    bool quiet(std::chrono::milliseconds time);

    const char *keepAliveMs = "10000"; // a subclass may shorten it before SetUp
    const Library &lib = Library::get();
    TestWindow window;
    std::uint16_t port = 0;
};

} // namespace lurma::test

#endif
