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

class FrameSaver : public QObject
{
public:
    FrameSaver(QWidget *window, const QString &key, UserDefaults &settings)
        : QObject(window), m_key(key), m_settings(settings)
    { }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        const auto *window = static_cast<QWidget *>(watched);
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
            // Only a frame the user has seen is worth keeping, and on X11 only once the window
            // manager has framed the window: until then its place is its content's, not its
            // frame's, which move() expects back.
            if (window->isVisible()
                && (window->frameGeometry() != window->geometry()
                    || QGuiApplication::platformName() != QLatin1String("xcb")))
                save(window);
            break;
        case QEvent::Hide:
        case QEvent::Close:
            save(window);
            break;
        default:
            break;
        }
        return false;
    }

private:
    void save(const QWidget *window)
    {
        // pos() includes the window frame, as move() expects it back.
        const QString frame = QStringLiteral("%1 %2 %3 %4")
                                  .arg(window->x())
                                  .arg(window->y())
                                  .arg(window->width())
                                  .arg(window->height());
        if (m_settings.string(m_key) != frame)
            m_settings.setValue(m_key, frame);
    }

    QString m_key;
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
    const QStringList parts = settings.string(key).split(QLatin1Char(' '));
    if (parts.size() == 4) {
        bool ok[4] = {};
        int values[4] = {};
        for (int i = 0; i < 4; ++i)
            values[i] = parts[i].toInt(&ok[i]);
        const QSize size(values[2], values[3]);
        const QSize smallest = window->minimumSize();
        const bool sane = ok[0] && ok[1] && ok[2] && ok[3] && size.width() >= smallest.width()
            && size.height() >= smallest.height() && size.width() <= 16000
            && size.height() <= 16000;
        if (sane) {
            window->resize(size);
            // A screen that has gone since must not take the window with it.
            if (QGuiApplication::screenAt(QPoint(values[0], values[1])))
                window->move(values[0], values[1]);
        }
    }
    window->installEventFilter(new FrameSaver(window, key, settings));
    // A frame kept from a larger screen, or one that has gone, still opens on this one.
    keepOnScreen(window);
}

} // namespace tanvill
