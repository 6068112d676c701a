// lurma-terminal's command-line contract, against the real library.
#include "library.h"
#include "peer.h"
#include "protocol.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <vector>

extern char **environ;

namespace lurma::test {
namespace {

using namespace std::chrono_literals;

// lurma-terminal run beside the test, its standard output collected. LURMA_TERMINAL_COMMAND,
// when set, is run instead (blank-separated words: the Windows build under wine, say).
class Child {
public:
    static const std::vector<std::string> &command() {
        static const std::vector<std::string> words = [] {
            std::vector<std::string> result;
            if (const char *text = std::getenv("LURMA_TERMINAL_COMMAND")) {
                std::istringstream in(text);
                for (std::string word; in >> word;)
                    result.push_back(word);
            }
            if (result.empty())
                result.push_back(
                    (std::filesystem::read_symlink("/proc/self/exe").parent_path() /
                     "lurma-terminal")
                        .string());
            return result;
        }();
        return words;
    }

    explicit Child(std::vector<std::string> args) {
        args.insert(args.begin(), command().begin(), command().end());
        std::vector<char *> argv;
        for (auto &arg : args)
            argv.push_back(arg.data());
        argv.push_back(nullptr);
        int out[2];
        pipe(out);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        reader_ = std::thread([this, fd = out[0]] {
            char chunk[1024];
            for (ssize_t n; (n = read(fd, chunk, sizeof chunk)) > 0;)
                output_.append(chunk, static_cast<std::size_t>(n));
            close(fd);
        });
    }
    ~Child() {
        if (pid_ > 0 && !finished()) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
        if (reader_.joinable())
            reader_.join();
    }
    void terminate() { kill(pid_, SIGTERM); }
    bool finished() {
        if (status_ < 0) {
            int status = 0;
            if (waitpid(pid_, &status, WNOHANG) == pid_)
                status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128;
        }
        return status_ >= 0;
    }
    // Exit status, after waiting at most the time; -1 when still running.
    int wait(std::chrono::milliseconds timeout) {
        auto deadline = std::chrono::steady_clock::now() + timeout;
        while (!finished() && std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(10ms);
        return status_;
    }
    // Everything it printed, lines ended by LF (a Windows build writes CR LF); call once it
    // has finished.
    std::string output() {
        if (reader_.joinable())
            reader_.join();
        std::string lines;
        for (std::size_t i = 0; i < output_.size(); ++i)
            if (!(output_[i] == '\r' && i + 1 < output_.size() && output_[i + 1] == '\n'))
                lines += output_[i];
        return lines;
    }

private:
    pid_t pid_ = -1;
    int status_ = -1;
    std::thread reader_;
    std::string output_;
};

class TerminalCliTest : public LibraryTest {
protected:
    std::vector<std::string> common() {
        return {"--server",  "127.0.0.1:" + std::to_string(port),
                "--address", "127.0.0.5",
                "--timeout", "2500"};
    }
    std::vector<std::string> with(std::vector<std::string> more) {
        auto args = common();
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
};

TEST_F(TerminalCliTest, ScanPrintsOneLinePerCode) {
    Child child(with({"scan", "111", "222", "444", "333"}));
    // Play the server: a price for 111, not found for 222, control bytes for 444, silence for
    // 333.
    while (!child.finished()) {
        if (window.waitMessage(50ms) == 0)
            continue;
        std::uint32_t where = 0;
        char code[LURMA_BARCODE];
        if (lib.bConnect(&where) || lib.bDisconnect(&where))
            continue;
        ASSERT_TRUE(lib.bReceiveBarcode(&where, code));
        EXPECT_EQ(where, address("127.0.0.5"));
        if (std::string(code, 3) == "111")
            lib.bSendProdPriceQV62K(&where, "   CAF\xC9 | 500G    ", "     R$ 12,50     ");
        else if (std::string(code, 3) == "222")
            lib.bSendProdNotFound(&where);
        else if (std::string(code, 3) == "444")
            lib.bSendProdPriceQV62K(&where, "A\r\nB\x1B[2J\\\x81\x80", "\t1,00\x7F");
    }
    EXPECT_EQ(child.wait(0ms), 0);
    // Control bytes escaped, and the backslash so that the escapes stay unambiguous.
    EXPECT_EQ(child.output(), "PRICE|   CAF\u00C9 | 500G    |     R$ 12,50     |\n"
                              "NOTFOUND|\n"
                              "PRICE|A\\x0D\\x0AB\\x1B[2J\\\\\\x81\u20AC|\\x091,00\\x7F|\n"
                              "NOREPLY|\n");
}

// A reply that comes after the terminal gave up belongs to the old scan, never to the next.
// The test plays a library that answers late, so only the terminal's own check is at work.
TEST(TerminalCli, ScanTakesOnlyTheReplyToItsCurrentScan) {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof at;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr *>(&at), size), 0);
    ASSERT_EQ(listen(listener, 1), 0);
    getsockname(listener, reinterpret_cast<sockaddr *>(&at), &size);
    Child child({"--server", "127.0.0.1:" + std::to_string(ntohs(at.sin_port)), "--address",
                 "127.0.0.5", "--timeout", "1000", "scan", "111", "222", "333"});
    pollfd incoming{listener, POLLIN, 0};
    ASSERT_EQ(poll(&incoming, 1, 10000), 1);
    Peer terminal(accept(listener, nullptr, nullptr));
    close(listener);
    auto hello = terminal.receive();
    ASSERT_TRUE(hello && std::holds_alternative<Hello>(*hello));
    ASSERT_TRUE(terminal.send(Welcome{kProtocolVersion, 15000}));
    std::vector<Barcode> scans;
    for (const char *code : {"111", "222", "333"}) {
        // Silent until the terminal gives up and scans the next code; then the late reply.
        auto scan = terminal.receive(10s);
        ASSERT_TRUE(scan && std::holds_alternative<Barcode>(*scan));
        EXPECT_EQ(std::get<Barcode>(*scan).code, code);
        scans.push_back(std::get<Barcode>(*scan));
        if (scans.size() == 2) {
            ASSERT_TRUE(terminal.send(NotFoundReply{scans[0].scan}));
        }
        if (scans.size() == 3) {
            ASSERT_TRUE(terminal.send(PriceReply{scans[1].scan, "PRODUTO 222", "2,00"}));
        }
    }
    ASSERT_TRUE(terminal.send(PriceReply{scans[2].scan, "PRODUTO 333", "3,00"}));
    EXPECT_EQ(child.wait(10s), 0);
    EXPECT_EQ(child.output(), "NOREPLY|\nNOREPLY|\nPRICE|PRODUTO 333|3,00|\n");
}

TEST_F(TerminalCliTest, LoadCountsEveryReplyOfEveryTerminal) {
    auto codes = std::filesystem::temp_directory_path() /
                 ("lurma-codes-" + std::to_string(getpid()) + ".txt");
    std::ofstream(codes) << "7891000100103\n\n123\r\n";
    Child child(with({"load", "--terminals", "3", "--scans", "4", "--codes", codes.string()}));
    while (!child.finished()) {
        if (window.waitMessage(50ms) == 0)
            continue;
        std::uint32_t where = 0;
        char code[LURMA_BARCODE];
        if (lib.bReceiveBarcode(&where, code))
            lib.bSendProdNotFound(&where);
        else if (!lib.bConnect(&where))
            lib.bDisconnect(&where);
    }
    std::filesystem::remove(codes);
    EXPECT_EQ(child.wait(0ms), 0);
    std::string output = child.output();
    for (const char *line :
         {"terminals=3\n", "connected=3\n", "scans=12\n", "price=0\n", "notfound=12\n",
          "noreply=0\n", "latency_us_median=", "latency_us_p99=", "latency_us_max="})
        EXPECT_NE(output.find(line), std::string::npos) << line << " in\n" << output;
}

TEST_F(TerminalCliTest, ScanExitsWithTwoWhenItCannotConnect) {
    lib.bTerminate();
    Child child(with({"scan", "111"}));
    EXPECT_EQ(child.wait(10s), 2);
    EXPECT_EQ(child.output(), "");
}

// The eight capture buffers as the server prepares them, each followed by a canary.
struct Capture {
    std::array<std::string, 8> buffers;
    Capture() {
        for (std::size_t i = 0; i < buffers.size(); ++i)
            buffers[i] = std::string(kFieldWidths[i], ' ') + kCanary;
    }
    bool from(const Library &lib, const char *terminal) {
        auto &b = buffers;
        return lib.GetConfigurationNew(terminal, b[0].data(), b[1].data(), b[2].data(),
                                       b[3].data(), b[4].data(), b[5].data(), b[6].data(),
                                       b[7].data(), 0, 0, 0, 0, 0);
    }
    // A buffer's text: what stands before the first NUL, or the whole buffer.
    std::string text(std::size_t i) const {
        std::string whole = buffers[i].substr(0, kFieldWidths[i]);
        return whole.substr(0, whole.find('\0'));
    }
    bool canariesIntact() const {
        for (const std::string &buffer : buffers)
            if (buffer.back() != kCanary)
                return false;
        return true;
    }
};

TEST_F(TerminalCliTest, IdleAnswersCapturesAndPrintsWhatItIsSentAndItsClosing) {
    Child child(with({"idle", "--line1", "Ol\u00E1", "--display", "07"}));
    Received r = next();
    ASSERT_EQ(r.kind, Received::Connection);

    Capture capture;
    ASSERT_TRUE(capture.from(lib, "127.0.0.5"));
    EXPECT_EQ(capture.text(0), "127.0.0.5");
    EXPECT_EQ(capture.text(3), "Ol\xE1"); // Windows-1252 on the wire
    EXPECT_EQ(capture.text(7), "07");
    EXPECT_TRUE(capture.canariesIntact());

    ASSERT_TRUE(lib.SendConfiguration("127.0.0.5", "192.168.0.50", nullptr, "255.255.255.0",
                                      "      Pre\xE7o        ", "", nullptr, "x", "10"));
    // The terminal keeps what it was sent.
    Capture again;
    ASSERT_TRUE(again.from(lib, "127.0.0.5"));
    EXPECT_EQ(again.text(0), "192.168.0.50");
    EXPECT_EQ(again.text(1), "");

    ASSERT_TRUE(lib.CloseTerminal(&r.address));
    EXPECT_EQ(child.wait(5s), 0);
    EXPECT_EQ(child.output(), "CONFIG|192.168.0.50||255.255.255.0|      Pre\u00E7o        "
                              "|||x|10|\nCLOSED|\n");
}

// What the operator's unchanged capture-and-send does: the terminal gets back exactly what
// it had, short fields and full ones alike.
TEST_F(TerminalCliTest, UnchangedCaptureAndSendGivesTheTerminalExactlyWhatItHad) {
    Child child(with({"idle", "--ip", "10.0.0.7", "--server-ip", "192.168.100.200",
                      "--netmask", "255.255.255.0", "--line1", "   Consulte aqui    ",
                      "--line2", "o pre\u00E7o", "--line3", "12345678901234567890", "--line4",
                      "", "--display", "5"}));
    Received r = next();
    ASSERT_EQ(r.kind, Received::Connection);
    Capture capture;
    ASSERT_TRUE(capture.from(lib, "127.0.0.5"));
    EXPECT_TRUE(capture.canariesIntact());
    const std::array<std::string, 8> texts = {capture.text(0), capture.text(1), capture.text(2),
                                              capture.text(3), capture.text(4), capture.text(5),
                                              capture.text(6), capture.text(7)};
    // An empty field goes as a null pointer, as the server sends it.
    auto field = [&](std::size_t i) { return texts[i].empty() ? nullptr : texts[i].c_str(); };
    ASSERT_TRUE(lib.SendConfiguration("127.0.0.5", field(0), field(1), field(2), field(3),
                                      field(4), field(5), field(6), field(7)));
    ASSERT_TRUE(lib.CloseTerminal(&r.address));
    EXPECT_EQ(child.wait(5s), 0);
    EXPECT_EQ(child.output(), "CONFIG|10.0.0.7|192.168.100.200|255.255.255.0|   Consulte aqui    "
                              "|o pre\u00E7o|12345678901234567890||5|\nCLOSED|\n");
}

TEST_F(TerminalCliTest, IdleEndsOnSigterm) {
    Child child(with({"idle"}));
    ASSERT_EQ(next().kind, Received::Connection);
    child.terminate();
    EXPECT_EQ(child.wait(5s), 0);
    EXPECT_EQ(next().kind, Received::Disconnection);
}

} // namespace
} // namespace lurma::test
