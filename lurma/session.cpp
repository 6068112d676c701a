#include "session.h"

#include "frame_reader.h"
#include "server.h"

namespace lurma {

namespace {

void trimBlanks(std::string &code) {
    const std::size_t first = code.find_first_not_of(' ');
    if (first == std::string::npos) {
        code.clear();
        return;
    }
    code.erase(code.find_last_not_of(' ') + 1);
    code.erase(0, first);
}

} // namespace

Session::Session(Server &server, asio::ip::tcp::socket socket, std::uint32_t address)
    : server_(server), socket_(std::move(socket)), timer_(socket_.get_executor()),
      address_(address) {}

void Session::start(std::chrono::milliseconds helloTimeout) {
    extendDeadline(helloTimeout);
    asio::co_spawn(socket_.get_executor(), readLoop(), asio::detached);
    asio::co_spawn(socket_.get_executor(), watchdog(), asio::detached);
}

void Session::extendDeadline(std::chrono::milliseconds delay) {
    deadline_ = std::chrono::steady_clock::now() + delay;
}

asio::awaitable<void> Session::readLoop() {
    auto self = shared_from_this();
    FrameReader reader(Sender::Terminal);
    try {
        for (;;) {
            std::optional<Message> message = co_await reader.next(socket_);
            if (!message || !handle(*message))
                break;
        }
    } catch (const std::system_error &) {
        // Closed by the peer, by a time-out or by the library: fail() sorts out which.
    }
    fail();
}

// A peer is silent when no complete frame arrives in time; a trickle of bytes does not count.
asio::awaitable<void> Session::watchdog() {
    auto self = shared_from_this();
    while (state_ != State::Closed) {
        timer_.expires_at(deadline_);
        asio::error_code ignored;
        co_await timer_.async_wait(asio::redirect_error(asio::use_awaitable, ignored));
        if (state_ == State::Closed || std::chrono::steady_clock::now() < deadline_)
            continue;
        if (state_ == State::Closing)
            closeSocket();
        else
            fail();
    }
}

bool Session::handle(Message &message) {
    if (state_ == State::Closing)
        return true;
    if (state_ == State::AwaitingHello) {
        auto *hello = std::get_if<Hello>(&message);
        if (!hello || hello->version != kProtocolVersion)
            return false;
        state_ = State::Terminal;
        extendDeadline(server_.keepAlive());
        if (!server_.admit(shared_from_this()))
            return true; // refused: admit closed the socket, the read loop ends by itself
        send(Welcome{kProtocolVersion, static_cast<std::uint32_t>(server_.keepAlive().count())});
        return true;
    }
    extendDeadline(server_.keepAlive());
    if (auto *barcode = std::get_if<Barcode>(&message)) {
        latestScanId_ = barcode->scan;
        // Blanks around a code are no part of it (the caller trims them): they must not push
        // a code that fits past the buffer.
        if (barcode->code.size() > LURMA_BARCODE)
            trimBlanks(barcode->code);
        if (barcode->code.size() <= LURMA_BARCODE) {
            latestScan_ = server_.barcode(address_, std::move(barcode->code));
        } else {
            // It would reach the caller cut, as another code: no product has it.
            latestScan_ = server_.supersede(address_);
            answerScan(latestScan_, NotFoundReply{});
        }
    } else if (auto *reply = std::get_if<ConfigurationAnswer>(&message)) {
        std::uint32_t id = reply->id;
        answer(id, std::move(message));
    } else if (auto *ack = std::get_if<ConfigurationAck>(&message)) {
        std::uint32_t id = ack->id;
        answer(id, std::move(message));
    } else if (!std::holds_alternative<KeepAlive>(message)) {
        return false; // a second hello
    }
    return true;
}

// An answer to a request that already timed out is no fault: it is simply late.
void Session::answer(std::uint32_t id, std::optional<Message> message) {
    auto found = answers_.find(id);
    if (found == answers_.end())
        return;
    Answer callback = std::move(found->second);
    answers_.erase(found);
    callback(std::move(message));
}

bool Session::send(const Message &message) {
    if (state_ != State::Terminal &&
        !(state_ == State::Closing && std::holds_alternative<Close>(message)))
        return false;
    std::optional<std::vector<std::uint8_t>> frame = encode(message);
    if (!frame)
        return false;
    if (queuedBytes_ + frame->size() > kMaxQueuedBytes) {
        fail();
        return false;
    }
    queuedBytes_ += frame->size();
    queue_.push_back(std::move(*frame));
    if (!writing_)
        write();
    return true;
}

bool Session::answerScan(std::uint64_t scan, Message reply) {
    if (scan != latestScan_)
        return false;
    if (auto *price = std::get_if<PriceReply>(&reply))
        price->scan = latestScanId_;
    else if (auto *notFound = std::get_if<NotFoundReply>(&reply))
        notFound->scan = latestScanId_;
    else
        return false;
    return send(reply);
}

void Session::write() {
    writing_ = true;
    asio::async_write(socket_, asio::buffer(queue_.front()),
                      [self = shared_from_this()](const asio::error_code &error, std::size_t) {
                          self->writing_ = false;
                          if (error) {
                              self->fail();
                              return;
                          }
                          self->queuedBytes_ -= self->queue_.front().size();
                          self->queue_.pop_front();
                          if (!self->queue_.empty())
                              self->write();
                          else if (self->state_ == State::Closing)
                              self->closeSocket();
                      });
}

void Session::request(std::uint32_t id, const Message &message, Answer answer) {
    if (!send(message)) {
        answer(std::nullopt);
        return;
    }
    answers_.emplace(id, std::move(answer));
}

void Session::forget(std::uint32_t id) {
    answers_.erase(id);
}

void Session::closeGracefully() {
    if (state_ != State::Terminal)
        return;
    state_ = State::Closing;
    failAnswers();
    extendDeadline(kLinger);
    timer_.cancel();
    send(Close{});
}

void Session::abort() {
    failAnswers();
    closeSocket();
}

void Session::fail() {
    if (state_ == State::Closed)
        return;
    bool wasTerminal = state_ == State::Terminal;
    failAnswers();
    closeSocket();
    server_.lost(*this, wasTerminal);
}

void Session::failAnswers() {
    auto answers = std::move(answers_);
    answers_.clear();
    for (auto &[id, callback] : answers)
        callback(std::nullopt);
}

void Session::closeSocket() {
    state_ = State::Closed;
    asio::error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    timer_.cancel();
}

} // namespace lurma
