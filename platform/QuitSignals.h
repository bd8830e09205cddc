#pragma once

// Turns SIGTERM and SIGINT into an orderly quit: the signal handler only writes the signal's
// number into a pipe, and the event loop reads it and runs the handler on the UI thread.
// The application installs one at start-up so that a stopped process still saves its store.
// With a deadline, a process whose UI thread is stuck (or whose orderly quit takes too long)
// still ends: that many seconds after the first signal it exits at once, from the signal's
// own timer. The store's file is safe then too: a write cut short is rolled back. A write that
// holds the only copy of the user's data is never cut short: while a DeadlineHold exists the
// deadline waits, and once the last hold goes, a deadline that passed meanwhile counts anew.
// Code that blocks before the event loop runs (a launch waiting for the running Tanvill's
// answer) asks caught() between its waits. A hang-up that was ignored when the process
// started (nohup) stays ignored.

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace tanvill {

class QuitSignals : public QObject
{
    Q_OBJECT

public:
    // Catches the signals for the life of the object (one instance per process).
    QuitSignals(std::initializer_list<int> signalNumbers, std::function<void(int)> handler,
                QObject *parent = nullptr);
    ~QuitSignals() override;

    bool isInstalled() const { return m_notifier != nullptr; }
    // True once one of its signals came, on any thread, whether or not the event loop has run
    // the handler.
    bool caught() const;

    // Ends the process this long after the first signal, whatever the UI thread is doing.
    void setDeadline(unsigned seconds);

    // Held, on any thread, for as long as the process writes what it would otherwise lose:
    // the saves and copies of the store that quitting waits for. Holds may nest and overlap.
    class DeadlineHold
    {
    public:
        DeadlineHold();
        ~DeadlineHold();
        DeadlineHold(const DeadlineHold &) = delete;
        DeadlineHold &operator=(const DeadlineHold &) = delete;
    };

private:
    void readSignals();

    std::vector<int> m_signals;
    std::function<void(int)> m_handler;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace tanvill
