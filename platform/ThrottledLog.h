#pragma once

// Warnings that may come in floods (a process that keeps connecting to the running instance,
// thousands of unreadable records): the first of each kind is logged at once, the ones that
// follow within a while are counted, and their number is logged once that while is over. So
// a flood writes two lines, not thousands. Used on one thread.

#include <QHash>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

namespace tanvill {

class ThrottledLog : public QObject
{
    Q_OBJECT

public:
    static constexpr int kQuietMs = 10000;

    // Where the lines go: warnings unless said otherwise.
    using Writer = std::function<void(const QString &line)>;

    explicit ThrottledLog(int quietMs = kQuietMs, QObject *parent = nullptr);
    explicit ThrottledLog(Writer writer, int quietMs = kQuietMs, QObject *parent = nullptr);
    ~ThrottledLog() override;

    // Logs the message, or counts it when one of its kind was logged within the while.
    void warn(const QString &kind, const QString &message);

private:
    void flush();

    Writer m_write;
    QTimer m_timer;
    QHash<QString, qint64> m_suppressed;
    QHash<QString, bool> m_seen;
};

} // namespace tanvill
