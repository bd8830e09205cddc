#include "shell/WindowMenu.h"

#include "controls/MenuItemTitle.h"
#include "platform/Strings.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

namespace tanvill {

WindowMenu::WindowMenu()
    : m_menu(std::make_unique<QMenu>(Strings::localized(QStringLiteral("Window"))))
{
    m_menu->setToolTipsVisible(true);
}

WindowMenu::~WindowMenu() = default;

void WindowMenu::addWindowsItem(QWidget *window, const QString &title)
{
    if (!window || m_items.contains(window))
        return;
    QAction *item = m_menu->addAction(QString());
    setNameMenuItemTitle(item, title);
    const QPointer<QWidget> target(window);
    connect(item, &QAction::triggered, this, [target] {
        if (!target)
            return;
        target->show();
        target->raise();
        target->activateWindow();
    });
    connect(window, &QObject::destroyed, this, [this, window] { removeWindowsItem(window); });
    m_items.insert(window, item);
}

void WindowMenu::changeWindowsItem(QWidget *window, const QString &title)
{
    if (QAction *item = m_items.value(window))
        setNameMenuItemTitle(item, title);
}

void WindowMenu::removeWindowsItem(QWidget *window)
{
    QAction *item = m_items.take(window);
    if (!item)
        return;
    // A window being destroyed is no QWidget any more; only its address is compared.
    disconnect(window, nullptr, this, nullptr);
    m_menu->removeAction(item);
    delete item;
}

} // namespace tanvill
