#include "lists/TransitionTiming.h"

#include <QVariantAnimation>

namespace tanvill::transitions {

namespace {
bool s_instant = false;
} // namespace

bool instant()
{
    return s_instant;
}

void setInstant(bool instant)
{
    s_instant = instant;
}

void after(QObject *context, int milliseconds, std::function<void()> step)
{
    if (s_instant) {
        step();
        return;
    }
    // Owned by the context, so a step whose owner has gone never runs. A plain animation
    // rather than a pause, so that it keeps to the animation clock.
    auto *wait = new QVariantAnimation(context);
    wait->setStartValue(0);
    wait->setEndValue(1);
    wait->setDuration(milliseconds);
    QObject::connect(wait, &QAbstractAnimation::finished, context, std::move(step));
    wait->start(QAbstractAnimation::DeleteWhenStopped);
}

} // namespace tanvill::transitions
