#pragma once

// Drives Qt's animation clock by hand for the life of the object, so that a test can look at
// a transition at an exact moment without sleeping: every QAbstractAnimation (fades, slides,
// delayed steps built on them) advances only when advance() is called.

#include <QAnimationDriver>
#include <QCoreApplication>
#include <QVariantAnimation>

namespace tanvill::test {

class ManualAnimationClock : public QAnimationDriver
{
public:
    ManualAnimationClock()
    {
        install();
        // Kept running, so that the clock never stops and restarts between two animations:
        // a restart would let the animation timer count from another origin. (Not a pause:
        // while only pauses run, Qt times them with a timer of its own.)
        m_keepRunning.setStartValue(0);
        m_keepRunning.setEndValue(1);
        m_keepRunning.setDuration(1000);
        m_keepRunning.setLoopCount(-1);
        m_keepRunning.start();
        settle();
        // The animation timer still counts from the last tick of the clock before this one;
        // a first tick takes up that gap, so that no animation started later receives it.
        QAnimationDriver::advance();
        settle();
    }
    ~ManualAnimationClock() override
    {
        m_keepRunning.stop();
        uninstall();
    }

    qint64 elapsed() const override { return m_elapsed; }

    using QAnimationDriver::advance;

    // Lets `milliseconds` pass in steps of `step`, running the event loop before and after
    // each, so that animations started meanwhile join in.
    void advance(int milliseconds, int step = 5)
    {
        settle();
        for (int passed = 0; passed < milliseconds; passed += step) {
            m_elapsed += step;
            QAnimationDriver::advance();
            settle();
        }
    }

    // Runs what is queued, as the event loop would: animations start in two hops, and
    // objects handed to deleteLater go.
    static void settle()
    {
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }

private:
    qint64 m_elapsed = 0;
    QVariantAnimation m_keepRunning;
};

} // namespace tanvill::test
