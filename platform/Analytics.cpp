#include "platform/Analytics.h"

#include "platform/Identity.h"
#include "platform/RegularFile.h"
#include "platform/SharedInstance.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <utility>

namespace tanvill {

namespace {
constexpr size_t kMaxEventsInMemory = 1000;
}

// The queue between the UI thread and the writer thread, and what the writer needs.
struct Analytics::Writer
{
    struct Line
    {
        QString path;
        QByteArray bytes;
    };

    explicit Writer(Append appendLine) : append(std::move(appendLine)) { }

    // Appends the queued lines in order until told to stop and nothing is left, or until
    // abandoned.
    void run()
    {
        bool failureLogged = false;
        std::unique_lock lock(mutex);
        for (;;) {
            changed.wait(lock, [this] { return stopping || abandoned || !lines.empty(); });
            if (abandoned || lines.empty())
                break;
            const Line line = std::move(lines.front());
            lines.pop_front();
            writing = true;
            lock.unlock();
            const bool written
                = QDir().mkpath(QFileInfo(line.path).path()) && append(line.path, line.bytes);
            // Something other than a file in the log's place, or a full disk: the events
            // stay in memory only.
            if (!written && !std::exchange(failureLogged, true))
                qWarning("Usage events cannot be written to %s", qPrintable(line.path));
            lock.lock();
            writing = false;
        }
        finished = true;
        lock.unlock();
        changed.notify_all();
    }

    const Append append;
    std::mutex mutex;
    // New lines, the end asked for, or the writer finished.
    std::condition_variable changed;
    std::deque<Line> lines;
    bool writing = false;
    bool stopping = false;
    // The process ends without waiting any longer: the lines left are not written.
    bool abandoned = false;
    bool finished = false;
};

Analytics::Analytics(Append append)
    : m_writer(std::make_shared<Writer>(append ? std::move(append) : Append(&appendToRegularFile)))
{ }

Analytics::~Analytics()
{
    if (!m_thread.joinable())
        return;
    std::unique_lock lock(m_writer->mutex);
    m_writer->stopping = true;
    m_writer->changed.notify_all();
    if (m_writer->changed.wait_for(lock, std::chrono::milliseconds(kFinishWritingMs),
                                   [this] { return m_writer->finished; })) {
        lock.unlock();
        m_thread.join();
        return;
    }
    // The disk does not take the lines: the writer thread is left to end by itself once the
    // write under way returns, and the process does not wait for it.
    m_writer->abandoned = true;
    const size_t unwritten = m_writer->lines.size() + (m_writer->writing ? 1 : 0);
    lock.unlock();
    m_thread.detach();
    qWarning("Usage events not written as the program ended: %zu (the disk did not take them)",
             unwritten);
}

Analytics &Analytics::shared()
{
    return SharedInstance<Analytics>::get("Analytics::shared");
}

void Analytics::track(const QString &name, const QVariantMap &properties)
{
    AnalyticsEvent event { name, properties, QDateTime::currentDateTimeUtc() };
    if (m_events.size() >= kMaxEventsInMemory)
        m_events.erase(m_events.begin());
    m_events.push_back(event);

    const QJsonObject line { { QStringLiteral("event"), name },
                             { QStringLiteral("time"), event.time.toString(Qt::ISODate) },
                             { QStringLiteral("properties"),
                               QJsonObject::fromVariantMap(properties) } };
    // The path is taken here, on the UI thread, which alone changes the environment it is
    // read from.
    queue(applicationFolder(QStandardPaths::GenericDataLocation)
              + QStringLiteral("/analytics.jsonl"),
          QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
}

void Analytics::queue(const QString &path, const QByteArray &line)
{
    bool dropped = false;
    {
        std::lock_guard lock(m_writer->mutex);
        if (m_writer->lines.size() >= kMaxQueuedEvents)
            dropped = true;
        else
            m_writer->lines.push_back({ path, line });
    }
    if (dropped) {
        if (!std::exchange(m_dropLogged, true))
            qWarning("The disk does not take usage events: those recorded while %zu wait are "
                     "kept in memory only, not in %s",
                     kMaxQueuedEvents, qPrintable(path));
        return;
    }
    if (!m_thread.joinable()) {
        try {
            m_thread = std::thread([writer = m_writer] { writer->run(); });
        } catch (const std::system_error &failure) {
            std::lock_guard lock(m_writer->mutex);
            m_writer->lines.clear();
            if (!std::exchange(m_dropLogged, true))
                qWarning("Usage events are kept in memory only: %s", failure.what());
            return;
        }
    }
    m_writer->changed.notify_all();
}

QStringList Analytics::eventNames() const
{
    QStringList names;
    for (const AnalyticsEvent &event : m_events)
        names.append(event.name);
    return names;
}

} // namespace tanvill
