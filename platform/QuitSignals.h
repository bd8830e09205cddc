#pragma once

// Turns SIGTERM and SIGINT into an orderly quit: the signal handler only writes the signal's
// number into a pipe, and the event loop reads it and runs the handler on the UI thread.
// The application installs one at start-up so that a stopped process still saves its store.
// main() catches the signals from its first line (catchFromNow), before any event loop can
// run: what comes meanwhile is recorded and reaches the handler once the loop runs. The
// signals stay caught to the process's end: one that comes as the process is taken down, when
// no object handles them any more, is only recorded, and never ends the process by itself.
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
    // Catches the signals from now to the process's end, recording them until an object handles
    // them; nothing else may change their handling meanwhile.
    static void catchFromNow(std::initializer_list<int> signalNumbers);

    // Hands the signals to `handler` on the event loop for the life of the object, those caught
    // before it was made included (one instance at a time).
    QuitSignals(std::initializer_list<int> signalNumbers, std::function<void(int)> handler,
                QObject *parent = nullptr);
    ~QuitSignals() override;

    bool isInstalled() const { return m_notifier != nullptr; }
    // True once one of its signals came, on any thread, whether or not the event loop has run
    // the handler.
    bool caught() const;

    // Ends the process this long after the first signal, whatever the UI thread is doing; a
    // signal caught before counts from now.
    void setDeadline(unsigned seconds);

    // Everything of the program's own is written and gone: what is left of the process's end
    // (the toolkit's, which waits for host look-ups a silent name server may hold for many
    // seconds) gets this long, after which the process ends with `status` without waiting more.
    static void limitTheRest(unsigned seconds, int status);

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

    std::function<void(int)> m_handler;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

} // namespace tanvill
