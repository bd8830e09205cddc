#include "platform/TeardownWatch.h"

namespace tanvill {

TeardownWatch::TeardownWatch(Handler tornDown) : m_tornDown(std::move(tornDown)) { }

void TeardownWatch::watch(QObject *context)
{
    for (QObject *object = context; object; object = object->parent()) {
        if (m_watched.contains(object))
            continue;
        m_watched.insert(object);
        QObject::connect(object, &QObject::destroyed, &m_receiver, [this](QObject *going) {
            m_watched.remove(going);
            m_tornDown(going);
        });
    }
}

bool TeardownWatch::isWithin(const QObject *object, const QObject *context)
{
    for (; object; object = object->parent()) {
        if (object == context)
            return true;
    }
    return false;
}

} // namespace tanvill
