#include "shell/WindowMenu.h"

#include "controls/MenuItemTitle.h"
#include "platform/Strings.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QWidget>

namespace tanvill {

WindowMenu::WindowMenu()
    : m_menu(std::make_unique<QMenu>(Strings::localized(QStringLiteral("MenuWindow"))))
{
    m_menu->setToolTipsVisible(true);
    m_closeWindowItem = m_menu->addAction(Strings::localized(QStringLiteral("MenuCloseWindow")));
    // Ctrl+W, and the desktop's other keys for closing. Active in the windows whose menu bar
    // holds the menu; the others close on the same keys by themselves.
    QList<QKeySequence> closeKeys = QKeySequence::keyBindings(QKeySequence::Close);
    closeKeys.removeAll(QKeySequence(Qt::CTRL | Qt::Key_W));
    closeKeys.prepend(QKeySequence(Qt::CTRL | Qt::Key_W));
    m_closeWindowItem->setShortcuts(closeKeys);
    connect(m_closeWindowItem, &QAction::triggered, this, [] {
        if (QWidget *window = QApplication::activeWindow())
            window->close();
    });
    m_entriesSeparator = m_menu->addSeparator();
}

WindowMenu::~WindowMenu() = default;

void WindowMenu::addWindowsItem(QWidget *window, const QString &title)
{
    if (!window || m_items.contains(window))
        return;
    QAction *item = m_menu->addAction(QString());
    item->setData(title);
    setNameMenuItemTitle(item, title, numberedMenuItemFormat(entryPosition(item)));
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
        setNameMenuItemTitle(item, title, numberedMenuItemFormat(entryPosition(item)));
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
    for (QAction *entry : std::as_const(m_items))
        setNameMenuItemTitle(entry, entry->data().toString(),
                             numberedMenuItemFormat(entryPosition(entry)));
}

int WindowMenu::entryPosition(QAction *item) const
{
    const QList<QAction *> items = m_menu->actions();
    return int(items.indexOf(item) - items.indexOf(m_entriesSeparator) - 1);
}

} // namespace tanvill
