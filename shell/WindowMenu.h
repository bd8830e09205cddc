#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>

#include <memory>

class QAction;
class QMenu;
class QWidget;

namespace tanvill {

// The application's Window menu: Close Window (Ctrl+W), which closes the active window as its
// own close button does, then one entry per window shown through it, titled as asked (a list's
// name for the main window) after its number, which is its shortcut letter ("1 Home"); choosing
// an entry brings that window to the front. Adding a window twice changes nothing, and an entry
// goes when its window is destroyed. The application delegate owns it; the menu bar shows its
// menu.
class WindowMenu : public QObject
{
    Q_OBJECT
public:
    WindowMenu();
    ~WindowMenu() override;

    QMenu *menu() const { return m_menu.get(); }
    QAction *closeWindowItem() const { return m_closeWindowItem; }

    void addWindowsItem(QWidget *window, const QString &title);
    void changeWindowsItem(QWidget *window, const QString &title);
    void removeWindowsItem(QWidget *window);

    // The entry of a window; null when it has none. Its text shows the title as given, after
    // the entry's number.
    QAction *itemForWindow(QWidget *window) const { return m_items.value(window); }
    int itemCount() const { return int(m_items.size()); }

private:
    // An entry's number, from 0: its place below Close Window.
    int entryPosition(QAction *item) const;

    std::unique_ptr<QMenu> m_menu;
    QAction *m_closeWindowItem;
    QAction *m_entriesSeparator;
    QHash<QWidget *, QAction *> m_items;
};

} // namespace tanvill
