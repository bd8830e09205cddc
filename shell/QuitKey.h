#pragma once

// The Quit item's key, wherever the keyboard is. The item's shortcut reaches it only through
// a window that takes input: a sheet or an alert that blocks the windows with the menu bar
// would swallow the key without a sign, and so would a drag, which takes every key for
// itself. The key goes to the item from every window instead, a drag ending first as Escape
// would end it; the item then quits as Quit always does (asking first where that applies),
// and what is left open ends with the program, as its Cancel would end it. The main menu
// keeps one for its Quit item.

#include <QObject>
#include <QPointer>

class QAction;

namespace tanvill {

class QuitKey : public QObject
{
    Q_OBJECT
public:
    explicit QuitKey(QAction *quitItem, QObject *parent = nullptr);
    ~QuitKey() override;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool isQuitKey(const QEvent *event) const;
    // Takes the first place among the application's filters again.
    void standFirst();

    QPointer<QAction> m_item;
};

} // namespace tanvill
