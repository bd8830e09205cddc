#include "controls/WindowShortcuts.h"

#include <QShortcut>
#include <QWidget>

namespace tanvill {

void closeWindowOnStandardKeys(QWidget *window, bool alsoEscape)
{
    QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Close);
    if (alsoEscape)
        keys << QKeySequence(Qt::Key_Escape);
    for (const QKeySequence &key : keys)
        QObject::connect(new QShortcut(key, window), &QShortcut::activated, window,
                         &QWidget::close);
}

} // namespace tanvill
