#pragma once

// Named usage events with optional properties. They are kept on this machine only: in
// memory for the running session and appended to analytics.jsonl in the data folder.
//
// The file is written by a thread of its own, so that a disk that stalls (a frozen or hung
// file system) delays only the file, never the UI thread that records the events. The events
// wait for it in a queue of bounded length, and are appended in the order they were recorded.

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariantMap>

#include <cstddef>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

namespace tanvill {

struct AnalyticsEvent
{
    QString name;
    QVariantMap properties;
    QDateTime time;
};

class Analytics
{
public:
    // Appends bytes to the file at path; false when they could not be written. Runs on the
    // writer thread.
    using Append = std::function<bool(const QString &path, const QByteArray &bytes)>;

    // Events waiting for the disk at most. Events recorded while that many wait are kept in
    // memory only: the file misses them.
    static constexpr std::size_t kMaxQueuedEvents = 1000;
    // How long the end of the process waits for the waiting events to be written. A disk that
    // takes longer keeps them.
    static constexpr int kFinishWritingMs = 200;

    // Appends with appendToRegularFile unless told otherwise (tests).
    explicit Analytics(Append append = {});
    ~Analytics();
    Analytics(const Analytics &) = delete;
    Analytics &operator=(const Analytics &) = delete;

    // The application's record (see SharedInstance.h).
    static Analytics &shared();

    void track(const QString &name, const QVariantMap &properties = {});

    const std::vector<AnalyticsEvent> &events() const { return m_events; }
    // Names of the recorded events, oldest first (tests).
    QStringList eventNames() const;
    void clear() { m_events.clear(); }

private:
    struct Writer;

    // Hands one line to the writer thread, starting it on the first.
    void queue(const QString &path, const QByteArray &line);

    std::vector<AnalyticsEvent> m_events;
    // Shared with the writer thread, which may outlive this object when the disk stalls.
    std::shared_ptr<Writer> m_writer;
    std::thread m_thread;
    bool m_dropLogged = false;
};

} // namespace tanvill
