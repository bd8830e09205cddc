#pragma once

// The longest time the UI thread went without running its event loop while a watch lived: the
// figure the benchmarks give for how long the windows stopped answering. Also the longest of
// those gaps that the thread spent asleep (neither running nor waiting for a processor), as
// when it waits for a lock or a file: that figure does not grow with the load on the machine.

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <algorithm>
#include <optional>

class UiBlockWatch
{
public:
    UiBlockWatch()
    {
        m_timer.setInterval(1);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 gap = m_sinceLast.nsecsElapsed();
            m_longest = std::max(m_longest, gap);
            m_sinceLast.restart();
            const std::optional<qint64> awake = awakeNs();
            if (awake && m_awake)
                m_longestAsleep = std::max(m_longestAsleep, gap - (*awake - *m_awake));
            m_awake = awake;
        });
        m_sinceLast.start();
        m_awake = awakeNs();
        m_timer.start();
    }
    double longestMs() const { return double(m_longest) / 1e6; }
    // Without the kernel's figures of the thread, as longestMs.
    double longestAsleepMs() const { return double(m_awake ? m_longestAsleep : m_longest) / 1e6; }

private:
    // The time the calling thread ran and waited to run so far ("schedstat"), when known.
    static std::optional<qint64> awakeNs()
    {
        QFile file(QStringLiteral("/proc/thread-self/schedstat"));
        if (!file.open(QIODevice::ReadOnly))
            return std::nullopt;
        const QList<QByteArray> fields = file.readLine().simplified().split(' ');
        bool running = false;
        bool waiting = false;
        const qint64 awake = fields.size() >= 2
            ? fields[0].toLongLong(&running) + fields[1].toLongLong(&waiting)
            : 0;
        return running && waiting ? std::optional<qint64>(awake) : std::nullopt;
    }

    QTimer m_timer;
    QElapsedTimer m_sinceLast;
    qint64 m_longest = 0;
    std::optional<qint64> m_awake;
    qint64 m_longestAsleep = 0;
};
