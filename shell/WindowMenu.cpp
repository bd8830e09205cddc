#include "shell/WindowMenu.h"

#include "controls/MenuItemTitle.h"
#include "platform/Strings.h"

#include <QAction>
#include <QMenu>
#include <QWidget>

namespace tanvill {

WindowMenu::WindowMenu()
    : m_menu(std::make_unique<QMenu>(Strings::localized(QStringLiteral("MenuWindow"))))
{
    m_menu->setToolTipsVisible(true);
}

WindowMenu::~WindowMenu() = default;

void WindowMenu::addWindowsItem(QWidget *window, const QString &title)
{
    if (!window || m_items.contains(window))
        return;
    QAction *item = m_menu->addAction(QString());
    item->setData(title);
    setNameMenuItemTitle(item, title, numberedMenuItemFormat(int(m_menu->actions().size()) - 1));
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
    if (QAction *item = m_items.value(window)) {
        item->setData(title);
        setNameMenuItemTitle(item, title,
                             numberedMenuItemFormat(int(m_menu->actions().indexOf(item))));
    }
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
    // The entries below move up and take the numbers of their new places.
    const QList<QAction *> entries = m_menu->actions();
    for (int position = 0; position < entries.size(); ++position)
        setNameMenuItemTitle(entries[position], entries[position]->data().toString(),
                             numberedMenuItemFormat(position));
}

} // namespace tanvill
