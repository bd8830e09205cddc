#pragma once

// Answers every launch "quitting" from a thread of its own while the running instance saves and
// ends, however long the UI thread takes and however many launches connect: a launch that meets
// it then waits for the end and takes the instance's place rather than taking a silence for a
// hang. The answer goes out the moment a connection is accepted, before the launch's message is
// read, so that a launch that stays silent holds up nobody. Each connection is kept open until
// the launch has read its answer and closed, sent its whole message, or a moment has passed;
// when too many are open, the oldest (answered already) is closed first. InstanceServer starts
// one on its own copy of the listening socket, with the connections it had accepted but not
// answered yet.

#include <deque>
#include <thread>
#include <vector>

namespace tanvill {

class QuittingAnswerer
{
public:
    // Takes over `listening` and `accepted` (descriptors), closing them when it ends.
    QuittingAnswerer(int listening, const std::vector<int> &accepted, int holdMs);
    ~QuittingAnswerer();
    QuittingAnswerer(const QuittingAnswerer &) = delete;
    QuittingAnswerer &operator=(const QuittingAnswerer &) = delete;

    // Connections kept open at most; a new one closes the oldest beyond this.
    static constexpr int kMaxHeld = 64;

private:
    struct Held
    {
        int socket = -1;
        long long answeredAtMs = 0;
        int received = 0;
    };

    void run();
    void answer(int socket);
    // Reads what the launch sends; true when the connection is done with.
    bool readFrom(Held &held) const;

    int m_listening;
    int m_holdMs;
    int m_wake[2] = { -1, -1 };
    std::deque<Held> m_held;
    std::thread m_thread;
};

} // namespace tanvill
