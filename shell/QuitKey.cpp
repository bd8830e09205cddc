#include "shell/QuitKey.h"

#include <QAction>
#include <QCoreApplication>
#include <QDrag>
#include <QGuiApplication>
#include <QKeyEvent>

#include <algorithm>

namespace tanvill {

QuitKey::QuitKey(QAction *quitItem, QObject *parent) : QObject(parent), m_item(quitItem)
{
    QCoreApplication::instance()->installEventFilter(this);
}

QuitKey::~QuitKey()
{
    if (QCoreApplication *application = QCoreApplication::instance())
        application->removeEventFilter(this);
}

bool QuitKey::isQuitKey(const QEvent *event) const
{
    const auto *key = static_cast<const QKeyEvent *>(event);
    const QKeySequence pressed(key->keyCombination());
    const QList<QKeySequence> keys = m_item->shortcuts();
    return std::any_of(keys.begin(), keys.end(), [&pressed](const QKeySequence &own) {
        return own.matches(pressed) == QKeySequence::ExactMatch;
    });
}

void QuitKey::standFirst()
{
    QCoreApplication::instance()->removeEventFilter(this);
    QCoreApplication::instance()->installEventFilter(this);
}

bool QuitKey::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
        // The drag put a filter of its own before this one as it began, which takes every
        // key: this one goes back in front, once the drag's event loop runs.
        QMetaObject::invokeMethod(this, &QuitKey::standFirst, Qt::QueuedConnection);
        break;
    case QEvent::ShortcutOverride:
        // Taken as a key press, below, rather than as a shortcut that a modal window blocks.
        if (m_item && m_item->isEnabled() && isQuitKey(event)) {
            event->accept();
            return true;
        }
        break;
    case QEvent::KeyPress:
        if (m_item && m_item->isEnabled() && isQuitKey(event)) {
            // A drag (which runs while a button is held) ends as Escape would end it; the item
            // acts once the key's delivery, and the drag's event loop, are over.
            if (QGuiApplication::mouseButtons() != Qt::NoButton)
                QDrag::cancel();
            QMetaObject::invokeMethod(m_item.data(), &QAction::trigger, Qt::QueuedConnection);
            return true;
        }
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace tanvill
