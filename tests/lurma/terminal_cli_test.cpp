// lurma-terminal's command-line contract, against the real library.
#include "library.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

extern char **environ;

namespace lurma::test {
namespace {

using namespace std::chrono_literals;

// lurma-terminal run beside the test, its standard output collected.
class Child {
public:
    explicit Child(std::vector<std::string> args) {
        auto program =
            std::filesystem::read_symlink("/proc/self/exe").parent_path() / "lurma-terminal";
        args.insert(args.begin(), program.string());
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
    // Everything it printed; call once it has finished.
    std::string output() {
        if (reader_.joinable())
            reader_.join();
        return output_;
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
    Child child(with({"scan", "111", "222", "333"}));
    // Play the server: a price for 111, not found for 222, silence for 333.
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
    }
    EXPECT_EQ(child.wait(0ms), 0);
    EXPECT_EQ(child.output(), "PRICE|   CAF\u00C9 | 500G    |     R$ 12,50     |\n"
                              "NOTFOUND|\n"
                              "NOREPLY|\n");
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

TEST_F(TerminalCliTest, IdleAnswersCapturesAndPrintsWhatItIsSentAndItsClosing) {
    Child child(with({"idle", "--line1", "Ol\u00E1", "--display", "07"}));
    Received r = next();
    ASSERT_EQ(r.kind, Received::Connection);

    char ip[16], server[16], mask[16], l1[20], l2[20], l3[20], l4[20], display[2];
    ASSERT_TRUE(lib.GetConfigurationNew("127.0.0.5", ip, server, mask, l1, l2, l3, l4, display, 0,
                                        0, 0, 0, 0));
    EXPECT_EQ(std::string(ip, 16), "127.0.0.5       ");
    EXPECT_EQ(std::string(l1, 20), "Ol\xE1                 "); // Windows-1252 on the wire
    EXPECT_EQ(std::string(display, 2), "07");

    ASSERT_TRUE(lib.SendConfiguration("127.0.0.5", "192.168.0.50", nullptr, "255.255.255.0",
                                      "      Pre\xE7o        ", "", nullptr, "x", "10"));
    // The terminal keeps what it was sent.
    ASSERT_TRUE(lib.GetConfigurationNew("127.0.0.5", ip, server, mask, l1, l2, l3, l4, display, 0,
                                        0, 0, 0, 0));
    EXPECT_EQ(std::string(ip, 16), "192.168.0.50    ");
    EXPECT_EQ(std::string(server, 16), std::string(16, ' '));

    ASSERT_TRUE(lib.CloseTerminal(&r.address));
    EXPECT_EQ(child.wait(5s), 0);
    EXPECT_EQ(child.output(), "CONFIG|192.168.0.50||255.255.255.0|      Pre\u00E7o        "
                              "|||x|10|\nCLOSED|\n");
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
