#pragma once

// Tells a broadcast (NotificationCenter, the observers of UserDefaults) the moment an
// observer's context begins to be torn down. A QPointer lets go of a widget only once the
// widget's children are gone, and their own ends may post, write a setting or close an
// editor that does: an observer called then runs half destroyed. `destroyed` comes before
// that: a widget sends it before its first child goes, any other object as its own end begins.

#include <QObject>
#include <QSet>

#include <functional>

namespace tanvill {

class TeardownWatch
{
public:
    using Handler = std::function<void(const QObject *context)>;

    // `tornDown` hears of each object watched as its teardown begins.
    explicit TeardownWatch(Handler tornDown);

    // Watches `context` and the objects it lies in now (each once, however often asked)
    // until their teardown begins.
    void watch(QObject *context);

    // Whether `object` is `context` or lies inside it (its child, a child's child …).
    static bool isWithin(const QObject *object, const QObject *context);

private:
    Handler m_tornDown;
    QSet<const QObject *> m_watched;
    // The signals stop with the broadcast that asked for them.
    QObject m_receiver;
};

} // namespace tanvill
