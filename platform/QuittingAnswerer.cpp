#include "platform/QuittingAnswerer.h"

#include "platform/InstanceProtocol.h"

#include <QByteArray>

#include <cerrno>
#include <chrono>

#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace tanvill {

namespace {

long long nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

QuittingAnswerer::QuittingAnswerer(int listening, const std::vector<int> &accepted, int holdMs)
    : m_listening(listening), m_holdMs(holdMs)
{
    if (m_listening >= 0)
        ::fcntl(m_listening, F_SETFL, ::fcntl(m_listening, F_GETFL) | O_NONBLOCK);
    for (const int socket : accepted)
        answer(socket);
    if (::pipe2(m_wake, O_CLOEXEC) == 0)
        m_thread = std::thread([this] { run(); });
}

QuittingAnswerer::~QuittingAnswerer()
{
    if (m_thread.joinable()) {
        [[maybe_unused]] const ssize_t woken = ::write(m_wake[1], "x", 1);
        m_thread.join();
        ::close(m_wake[0]);
        ::close(m_wake[1]);
    }
    for (const Held &held : m_held)
        ::close(held.socket);
    if (m_listening >= 0)
        ::close(m_listening);
}

void QuittingAnswerer::answer(int socket)
{
    // Twelve bytes fit in any socket's buffer: the answer is sent whole, at once.
    static const QByteArray quitting
        = instance::Answer { instance::Answer::Kind::Quitting, {} }.toFrame();
    ::fcntl(socket, F_SETFL, ::fcntl(socket, F_GETFL) | O_NONBLOCK);
    [[maybe_unused]] const ssize_t sent
        = ::send(socket, quitting.constData(), size_t(quitting.size()), MSG_NOSIGNAL);
    if (int(m_held.size()) >= kMaxHeld) {
        ::close(m_held.front().socket);
        m_held.pop_front();
    }
    m_held.push_back({ socket, nowMs(), 0 });
}

bool QuittingAnswerer::readFrom(Held &held) const
{
    char bytes[512];
    for (;;) {
        const ssize_t count = ::recv(held.socket, bytes, sizeof bytes, MSG_DONTWAIT);
        if (count > 0) {
            held.received += int(count);
            // Its whole message, or more than any: the launch has nothing more to say.
            if (held.received >= instance::kHeaderBytes + instance::kMaxMessageBytes)
                return true;
            continue;
        }
        return count == 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR);
    }
}

void QuittingAnswerer::run()
{
    std::vector<pollfd> waiting;
    for (;;) {
        waiting.clear();
        waiting.push_back({ m_wake[0], POLLIN, 0 });
        if (m_listening >= 0)
            waiting.push_back({ m_listening, POLLIN, 0 });
        for (const Held &held : m_held)
            waiting.push_back({ held.socket, POLLIN, 0 });
        int timeoutMs = -1;
        if (!m_held.empty())
            timeoutMs = int(std::max(0LL, m_held.front().answeredAtMs + m_holdMs - nowMs()));
        if (::poll(waiting.data(), nfds_t(waiting.size()), timeoutMs) < 0 && errno != EINTR)
            return;
        if (waiting[0].revents != 0)
            return;
        // The held ones first: the indices of `waiting` follow m_held until it changes.
        const size_t firstHeld = m_listening >= 0 ? 2 : 1;
        const long long now = nowMs();
        std::deque<Held> kept;
        for (size_t i = 0; i < m_held.size(); ++i) {
            Held &held = m_held[i];
            const bool done = (waiting[firstHeld + i].revents != 0 && readFrom(held))
                || now - held.answeredAtMs >= m_holdMs;
            if (done)
                ::close(held.socket);
            else
                kept.push_back(held);
        }
        m_held = std::move(kept);
        if (m_listening >= 0 && waiting[1].revents != 0) {
            for (;;) {
                const int peer = ::accept4(m_listening, nullptr, nullptr, SOCK_CLOEXEC);
                if (peer < 0)
                    break;
                answer(peer);
            }
        }
    }
}

} // namespace tanvill
