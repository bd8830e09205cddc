#pragma once

// The longest time the UI thread went without running its event loop while a watch lived: the
// figure the benchmarks give for how long the windows stopped answering.

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <algorithm>

class UiBlockWatch
{
public:
    UiBlockWatch()
    {
        m_timer.setInterval(1);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_sinceLast.nsecsElapsed());
            m_sinceLast.restart();
        });
        m_sinceLast.start();
        m_timer.start();
    }
    double longestMs() const { return double(m_longest) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_sinceLast;
    qint64 m_longest = 0;
};
