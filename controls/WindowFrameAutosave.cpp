#include "controls/WindowFrameAutosave.h"

#include "controls/WindowPlacement.h"
#include "core/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace tanvill {

namespace {

const char kNameProperty[] = "tanvillFrameAutosaveName";

// Keeps the frame the user chose: the place and size of their last move or resize. Where the
// window was fitted onto a smaller screen (or one at a larger scale), that frame stays as it
// was: a move there keeps the chosen size, and only a resize replaces it.
class FrameSaver : public QObject
{
public:
    FrameSaver(QWidget *window, const QString &key, const QRect &chosen, UserDefaults &settings)
        : QObject(window), m_key(key), m_chosen(chosen), m_settings(settings)
    { }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *window = qobject_cast<QWidget *>(watched);
        if (!window || (event->type() != QEvent::Move && event->type() != QEvent::Resize))
            return false;
        // Only a frame the user has seen is worth keeping, and on X11 only once the window
        // manager has framed the window: until then its place is its content's, not its
        // frame's, which move() expects back.
        if (!window->isVisible()
            || (window->frameGeometry() == window->geometry()
                && QGuiApplication::platformName() == QLatin1String("xcb"))
            || standsWherePlaced(*window))
            return false;
        forgetPlacement(*window);
        // pos() includes the window frame, as move() expects it back.
        if (event->type() == QEvent::Resize || !m_chosen.isValid())
            m_chosen = QRect(window->pos(), window->size());
        else
            m_chosen.moveTopLeft(window->pos());
        const QString frame = QStringLiteral("%1 %2 %3 %4")
                                  .arg(m_chosen.x())
                                  .arg(m_chosen.y())
                                  .arg(m_chosen.width())
                                  .arg(m_chosen.height());
        if (m_settings.string(m_key) != frame)
            m_settings.setValue(m_key, frame);
        return false;
    }

private:
    QString m_key;
    QRect m_chosen;
    UserDefaults &m_settings;
};

} // namespace

QString frameAutosaveName(const QWidget *window)
{
    return window ? window->property(kNameProperty).toString() : QString();
}

void setFrameAutosaveName(QWidget *window, const QString &name, UserDefaults &settings)
{
    if (!window || name.isEmpty())
        return;
    window->setProperty(kNameProperty, name);
    const QString key = windowFrameSettingsKey(name);
    // The frame as saved, or the window's own default size until the user gives it another.
    QRect chosen(window->pos(), window->size());
    const QStringList parts = settings.string(key).split(QLatin1Char(' '));
    if (parts.size() == 4) {
        bool ok[4] = {};
        int values[4] = {};
        for (int i = 0; i < 4; ++i)
            values[i] = parts[i].toInt(&ok[i]);
        const QSize size(values[2], values[3]);
        // A size below the window's minimum (kept at another scale) opens at that minimum.
        const bool sane = ok[0] && ok[1] && ok[2] && ok[3] && size.width() > 0 && size.height() > 0
            && size.width() <= 16000 && size.height() <= 16000;
        if (sane) {
            chosen = QRect(QPoint(values[0], values[1]), size);
            window->resize(size);
            // A screen that has gone since must not take the window with it.
            if (QGuiApplication::screenAt(chosen.topLeft()))
                window->move(chosen.topLeft());
        }
    }
    window->installEventFilter(new FrameSaver(window, key, chosen, settings));
    // A frame kept from a larger screen, or one that has gone, still opens on this one.
    keepOnScreen(window);
}

} // namespace tanvill
