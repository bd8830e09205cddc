#include "controls/WindowShortcuts.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QShortcut>
#include <QWidget>

#include <algorithm>

namespace tanvill {

namespace {

// Opens the menu of `title`, its first item current, as the title's Alt and letter do, so that
// the arrows walk on from there. The item is made current as Down makes it: a submenu stays shut
// until asked for.
void openMenu(QMenuBar *bar, QAction *title)
{
    bar->setActiveAction(title);
    QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
    QCoreApplication::sendEvent(title->menu(), &down);
}

// Watches the keys sent to the pop-up's widgets while it lives.
class MenuKeysPasser : public QObject
{
public:
    explicit MenuKeysPasser(QWidget *popup) : QObject(popup), m_popup(popup)
    {
        qApp->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress || !watched->isWidgetType()
            || static_cast<QWidget *>(watched)->window() != m_popup || !m_popup->isVisible())
            return false;
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->matches(QKeySequence::Close) || isCtrlW(key)) {
            closeWindow();
            return true;
        }
        QMenuBar *bar = menuBar();
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        const bool f10 = key->key() == Qt::Key_F10 && modifiers == Qt::NoModifier;
        if (!bar || (!f10 && modifiers != Qt::AltModifier))
            return false;
        // F10 opens the first menu; Alt and a letter the menu whose title has it.
        QAction *title = nullptr;
        if (!f10) {
            const QKeySequence pressed(QKeyCombination(Qt::AltModifier, Qt::Key(key->key())));
            const QList<QAction *> titles = bar->actions();
            const auto found = std::find_if(titles.begin(), titles.end(), [&](QAction *action) {
                return action->menu() && action->isVisible() && action->isEnabled()
                    && QKeySequence::mnemonic(action->text()) == pressed;
            });
            if (found == titles.end())
                return false;
            title = *found;
        }
        // The menu opens once the pop-up has gone and the window has the keyboard back.
        m_popup->close();
        QMetaObject::invokeMethod(
            bar,
            [bar = QPointer<QMenuBar>(bar), title = QPointer<QAction>(title)] {
                if (!bar)
                    return;
                if (title)
                    openMenu(bar, title);
                else
                    openFirstMenu(bar);
            },
            Qt::QueuedConnection);
        return true;
    }

private:
    static bool isCtrlW(const QKeyEvent *key)
    {
        return key->key() == Qt::Key_W
            && (key->modifiers() & ~Qt::KeypadModifier) == Qt::ControlModifier;
    }

    // The window's Close keys close it from here too, as they do with the pop-up shut: the
    // pop-up first, keeping what was typed in it, then the window.
    void closeWindow()
    {
        const QPointer<QWidget> window
            = m_popup->parentWidget() ? m_popup->parentWidget()->window() : nullptr;
        m_popup->close();
        QMetaObject::invokeMethod(
            qApp,
            [window] {
                if (window)
                    window->close();
            },
            Qt::QueuedConnection);
    }

    QMenuBar *menuBar() const
    {
        const QWidget *parent = m_popup->parentWidget();
        return parent
            ? parent->window()->findChild<QMenuBar *>(QString(), Qt::FindDirectChildrenOnly)
            : nullptr;
    }

    QWidget *m_popup;
};

// Notes the control the bar takes the keyboard from, and gives it back once the bar's keys are
// done with it.
class MenuBarKeyboardReturn : public QObject
{
public:
    explicit MenuBarKeyboardReturn(QMenuBar *bar) : QObject(bar), m_bar(bar)
    {
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget *old, QWidget *now) {
            if (now == m_bar && old && old != m_bar && old->window() == m_bar->window())
                m_lender = old;
        });
        connect(bar, &QMenuBar::triggered, this, &MenuBarKeyboardReturn::checkLater);
        bar->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::KeyPress || event->type() == QEvent::FocusOut)
            checkLater();
        return false;
    }

private:
    // After Qt has finished with the key, the item or the window's leaving.
    void checkLater()
    {
        QMetaObject::invokeMethod(this, &MenuBarKeyboardReturn::giveBack, Qt::QueuedConnection);
    }

    // A bar that keeps its window's focus with no title current walks no menu any more.
    void giveBack()
    {
        if (m_bar->window()->focusWidget() != m_bar || m_bar->activeAction())
            return;
        if (m_lender && m_lender->window() == m_bar->window() && m_lender->isVisible()
            && m_lender->isEnabled())
            m_lender->setFocus(Qt::MenuBarFocusReason);
        else
            m_bar->clearFocus();
    }

    QMenuBar *m_bar;
    QPointer<QWidget> m_lender;
};

} // namespace

void closeWindowOnStandardKeys(QWidget *window, bool alsoEscape)
{
    QList<QKeySequence> keys = QKeySequence::keyBindings(QKeySequence::Close);
    if (alsoEscape)
        keys << QKeySequence(Qt::Key_Escape);
    for (const QKeySequence &key : keys)
        QObject::connect(new QShortcut(key, window), &QShortcut::activated, window,
                         &QWidget::close);
}

void openFirstMenu(QMenuBar *bar)
{
    const QList<QAction *> titles = bar->actions();
    const auto title = std::find_if(titles.begin(), titles.end(), [](const QAction *action) {
        return action->menu() && action->isVisible() && action->isEnabled();
    });
    if (title != titles.end())
        openMenu(bar, *title);
}

void returnKeyboardFromMenuBar(QMenuBar *bar)
{
    if (bar)
        new MenuBarKeyboardReturn(bar);
}

void passMenuKeysToWindow(QWidget *popup)
{
    if (popup)
        new MenuKeysPasser(popup);
}

} // namespace tanvill
