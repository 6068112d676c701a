// The library's event FIFO: filled by the network thread, read by the caller's UI thread.
#ifndef LURMA_EVENTS_H
#define LURMA_EVENTS_H

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>

namespace lurma {

struct Event {
    enum class Kind { Connection, Disconnection, Barcode } kind = Kind::Connection;
    std::uint32_t address = 0; // network byte order
    std::string code;          // barcode only
    std::uint64_t scan = 0;    // barcode only: the library's serial of this scan
};

// Bounded per terminal: at most one scan per address waits, a newer one taking its place
// (and its turn, so every terminal is served once per round however fast it scans), and at
// most kMaxWaitingConnections connections per address wait. Disconnections are never refused:
// each closes a connection the queue or the caller already holds.
class EventQueue {
public:
    static constexpr std::size_t kMaxWaitingConnections = 8;

    // True when the event is new in the queue and deserves a notification.
    bool push(Event event) {
        std::lock_guard lock(mutex_);
        if (event.kind == Event::Kind::Barcode) {
            auto waiting = findScan(event.address);
            if (waiting != events_.end()) {
                *waiting = std::move(event);
                return false;
            }
        }
        if (event.kind == Event::Kind::Connection)
            ++connections_[event.address];
        events_.push_back(std::move(event));
        return true;
    }

    // Whether one more connection from the address may be queued.
    bool roomForConnection(std::uint32_t address) {
        std::lock_guard lock(mutex_);
        auto found = connections_.find(address);
        return found == connections_.end() || found->second < kMaxWaitingConnections;
    }

    // Removes the scan waiting for the address: its connection is gone or it was superseded.
    void dropScan(std::uint32_t address) {
        std::lock_guard lock(mutex_);
        auto waiting = findScan(address);
        if (waiting != events_.end())
            events_.erase(waiting);
    }

    // The head event when it is of the given kind.
    std::optional<Event> take(Event::Kind kind) {
        std::lock_guard lock(mutex_);
        if (events_.empty() || events_.front().kind != kind)
            return std::nullopt;
        Event event = std::move(events_.front());
        events_.pop_front();
        if (kind == Event::Kind::Connection && --connections_[event.address] == 0)
            connections_.erase(event.address);
        return event;
    }

private:
    std::deque<Event>::iterator findScan(std::uint32_t address) {
        return std::find_if(events_.begin(), events_.end(), [address](const Event &e) {
            return e.kind == Event::Kind::Barcode && e.address == address;
        });
    }

    std::mutex mutex_;
    std::deque<Event> events_;
    std::unordered_map<std::uint32_t, std::size_t> connections_;
};

} // namespace lurma

#endif
