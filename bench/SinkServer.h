#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// A printer for measurements: a plain POSIX listener on its own thread, so that whatever the
// measured side does on its thread, reading never waits for it. Counts the bytes of every
// connection, keeps them if asked, and notes when the last one arrived.
class SinkServer {
public:
    using Clock = std::chrono::steady_clock;

    struct Connection {
        std::string bytes; // kept only with keepBytes
        std::uint64_t count = 0;
        Clock::time_point last;
    };

    SinkServer(const char* ipv4, std::uint16_t port, bool keepBytes);
    // One printer on each address, all served by one thread.
    SinkServer(const std::vector<std::string>& ipv4s, std::uint16_t port, bool keepBytes);
    ~SinkServer();
    bool listening() const { return !m_listeners.empty(); }

    std::uint64_t total() const { return m_total.load(); }
    Clock::time_point lastByteAt() const;
    std::vector<Connection> connections() const;
    std::size_t connectionCount() const;

    // Called on the sink's thread whenever bytes arrive.
    void setOnData(std::function<void()> onData) { m_onData = std::move(onData); }

private:
    void run();

    std::vector<int> m_listeners;
    int m_wake[2] = {-1, -1};
    bool m_keep;
    std::atomic<std::uint64_t> m_total{0};
    mutable std::mutex m_mutex;
    std::vector<Connection> m_connections;
    std::function<void()> m_onData;
    std::thread m_thread;
};

// Connects, sends data whole, closes: the plainest client there is. False on any failure.
bool plainSend(const char* ipv4, std::uint16_t port, const char* data, std::size_t size);
