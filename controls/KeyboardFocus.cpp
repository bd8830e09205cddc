#include "controls/KeyboardFocus.h"

#include "controls/ModalWindows.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>

namespace tanvill {

namespace {

constexpr char kNoRingProperty[] = "tanvillNoFocusRing";
// How far the ring stands outside the control, its line included.
constexpr int kOutset = 3;
constexpr qreal kLineWidth = 2.0;
constexpr qreal kCornerRadius = 5.0;

bool isTextEntry(const QWidget *widget)
{
    if (qobject_cast<const QLineEdit *>(widget) || qobject_cast<const QAbstractSpinBox *>(widget)
        || qobject_cast<const QTextEdit *>(widget) || qobject_cast<const QPlainTextEdit *>(widget))
        return true;
    const auto *combo = qobject_cast<const QComboBox *>(widget);
    return combo && combo->isEditable();
}

// A button of an exclusive group: the group hands Tab to its focused button, taking it from the
// others, so an arrow key's move to another one arrives at a button that has not got it yet.
bool isExclusiveGroupButton(const QWidget *widget)
{
    const auto *button = qobject_cast<const QAbstractButton *>(widget);
    return button && button->isCheckable()
        && (button->group() ? button->group()->exclusive() : button->autoExclusive());
}

bool wantsRing(const QWidget *widget)
{
    const QVariant noRing = widget->property(kNoRingProperty);
    // A control its container leads the keyboard to asks for its ring in so many words.
    const bool asked = noRing.isValid() && !noRing.toBool();
    return !widget->isWindow() && widget->parentWidget()
        && ((widget->focusPolicy() & Qt::TabFocus) || isExclusiveGroupButton(widget) || asked)
        && !isTextEntry(widget) && !noRing.toBool();
}

class RingView : public QWidget
{
public:
    explicit RingView(QWidget *parent) : QWidget(parent)
    {
        setObjectName(QStringLiteral("tanvill_focusRing"));
        setAttribute(Qt::WA_TransparentForMouseEvents);
        setAttribute(Qt::WA_NoSystemBackground);
        setFocusPolicy(Qt::NoFocus);
    }

    void setRing(const QRectF &ring)
    {
        m_ring = ring;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(focusRingColor(), kLineWidth));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(m_ring, kCornerRadius, kCornerRadius);
    }

private:
    QRectF m_ring;
};

class FocusRingTracker : public QObject
{
public:
    using QObject::QObject;

    QWidget *target() const { return m_ring && m_ring->isVisible() ? m_target.data() : nullptr; }

    // Where the keyboard gave the focus last in `window`, while that widget has it or the
    // window waits to give it back there.
    QWidget *keyboardFocus(const QWidget *window) const
    {
        for (const QPointer<QWidget> &kept : m_keyboardFocus) {
            if (kept && kept->window() == window)
                return kept;
        }
        return nullptr;
    }

    void remember(QWidget *widget) { rememberKeyboardFocus(widget->window(), widget); }

    // The widget had the focus already: the ring shows on it as if the keyboard had just come.
    void markKeyboardFocus(QWidget *widget) { focusIn(widget, Qt::ShortcutFocusReason); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!watched->isWidgetType())
            return false;
        auto *widget = static_cast<QWidget *>(watched);
        switch (event->type()) {
        case QEvent::KeyPress:
            return pressFocusedButton(widget, static_cast<QKeyEvent *>(event));
        case QEvent::FocusIn:
            focusIn(widget, static_cast<QFocusEvent *>(event)->reason());
            break;
        case QEvent::FocusOut:
            if (widget == m_target)
                hide();
            break;
        case QEvent::Show:
        case QEvent::Hide:
            // A window the program opens (not one brought back from an icon) marks the first
            // control it gives the keyboard to, as if the keyboard had taken it there.
            if (widget->isWindow() && !event->spontaneous()) {
                m_opening.removeIf([widget](const QPointer<QWidget> &window) {
                    return !window || window == widget;
                });
                if (event->type() == QEvent::Show)
                    m_opening.append(widget);
            }
            [[fallthrough]];
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::ParentChange:
            if (widget == m_target && m_target->hasFocus())
                place();
            break;
        default:
            break;
        }
        return false;
    }

private:
    // Return on a focused button of a window that is no dialog presses it.
    static bool pressFocusedButton(QWidget *widget, const QKeyEvent *event)
    {
        if ((event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter)
            || (event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier
            || widget != QApplication::focusWidget())
            return false;
        auto *button = qobject_cast<QAbstractButton *>(widget);
        if (!button || !button->isEnabled() || qobject_cast<QCheckBox *>(button)
            || qobject_cast<QRadioButton *>(button) || qobject_cast<QDialog *>(button->window()))
            return false;
        if (const auto *push = qobject_cast<QPushButton *>(button);
            push && (push->autoDefault() || push->isDefault()))
            return false;
        button->animateClick();
        return true;
    }

    void focusIn(QWidget *widget, Qt::FocusReason reason)
    {
        // The menu bar only borrows the keys, and gives them back where it took them.
        if (qobject_cast<QMenuBar *>(widget)) {
            hide();
            return;
        }
        // The first focus of a window just opened has the keyboard as much as any: a key
        // pressed at once acts on it. Only a click marks no ring.
        const bool opening = m_opening.removeOne(widget->window());
        const bool byKeyboard = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason
            || reason == Qt::ShortcutFocusReason || (opening && reason != Qt::MouseFocusReason);
        // Back from another window, a pop-up or the menu bar: the ring shows again where the
        // keyboard left it in this window, whatever took the focus in the window left.
        const bool back = (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason
                           || reason == Qt::MenuBarFocusReason)
            && m_keyboardFocus.contains(widget);
        if (byKeyboard)
            rememberKeyboardFocus(widget->window(), widget);
        else if (!back)
            rememberKeyboardFocus(widget->window(), nullptr);
        if ((!byKeyboard && !back) || !wantsRing(widget)) {
            hide();
            return;
        }
        m_target = widget;
        place();
    }

    void place()
    {
        QWidget *parent = m_target ? m_target->parentWidget() : nullptr;
        if (!parent || !m_target->isVisible()) {
            hide();
            return;
        }
        if (!m_ring)
            m_ring = new RingView(parent);
        else if (m_ring->parentWidget() != parent)
            m_ring->setParent(parent);
        const QRect control = m_target->geometry();
        // Where the control touches its parent's edge, the ring is drawn inside the control.
        const QRect area = control.adjusted(-kOutset, -kOutset, kOutset, kOutset) & parent->rect();
        const qreal inset = kLineWidth / 2;
        const QRectF ring
            = QRectF(control)
                  .adjusted(-kOutset + inset, -kOutset + inset, kOutset - inset, kOutset - inset)
                  .intersected(QRectF(area).adjusted(inset, inset, -inset, -inset));
        m_ring->setGeometry(area);
        m_ring->setRing(ring.translated(-area.topLeft()));
        m_ring->show();
        m_ring->raise();
    }

    void hide()
    {
        if (m_ring)
            m_ring->hide();
    }

    // Each window keeps the widget the keyboard gave its focus to last, if it has it still: a
    // pop-up or a window opened over it takes the focus in a way of its own.
    void rememberKeyboardFocus(const QWidget *window, QWidget *widget)
    {
        m_keyboardFocus.removeIf(
            [window](const QPointer<QWidget> &kept) { return !kept || kept->window() == window; });
        if (widget)
            m_keyboardFocus.append(widget);
    }

    QPointer<QWidget> m_target;
    QList<QPointer<QWidget>> m_keyboardFocus;
    // Windows shown that have not given any widget the focus yet.
    QList<QPointer<QWidget>> m_opening;
    QPointer<RingView> m_ring;
};

QPointer<FocusRingTracker> &tracker()
{
    static QPointer<FocusRingTracker> instance;
    return instance;
}

} // namespace

void installKeyboardFocus(QApplication &application)
{
    if (tracker())
        return;
    tracker() = new FocusRingTracker(&application);
    application.installEventFilter(tracker());
    keepKeyboardInModalWindows(application);
}

QWidget *focusRingTarget()
{
    return tracker() ? tracker()->target() : nullptr;
}

void setShowsFocusRing(QWidget *widget, bool shows)
{
    if (widget)
        widget->setProperty(kNoRingProperty, !shows);
}

QColor focusRingColor()
{
    return QApplication::palette().color(QPalette::Active, QPalette::Highlight).lighter(125);
}

void setKeyboardFocus(QWidget *widget)
{
    if (!widget)
        return;
    FocusRingTracker *ringTracker = tracker();
    if (ringTracker)
        ringTracker->remember(widget);
    // An inactive window only notes where its focus goes; it gives it there, as to where the
    // keyboard was, when it becomes active.
    if (!widget->isActiveWindow())
        widget->setFocus(Qt::OtherFocusReason);
    else if (widget->hasFocus() && ringTracker)
        ringTracker->markKeyboardFocus(widget);
    else
        widget->setFocus(Qt::ShortcutFocusReason);
}

namespace {

bool canTakeFocus(const QWidget *widget)
{
    return widget && widget->isVisible() && widget->isEnabled();
}

} // namespace

void FocusReturn::keep(const QWidget *window)
{
    m_widget = nullptr;
    m_byKeyboard = false;
    if (!window)
        return;
    if (FocusRingTracker *ringTracker = tracker())
        m_widget = ringTracker->keyboardFocus(window);
    m_byKeyboard = m_widget != nullptr;
    if (!m_widget)
        m_widget = window->focusWidget();
}

void FocusReturn::returnTo(QWidget *widget)
{
    m_widget = widget;
    m_byKeyboard = widget != nullptr;
}

void FocusReturn::holdOn(QWidget *holder)
{
    if (!holder)
        return;
    holder->setFocus(Qt::OtherFocusReason);
    if (FocusRingTracker *ringTracker = tracker(); ringTracker && m_byKeyboard && m_widget)
        ringTracker->remember(m_widget);
}

void FocusReturn::giveBack(QWidget *instead)
{
    QWidget *target = canTakeFocus(m_widget) ? m_widget.data() : instead;
    if (!canTakeFocus(target))
        return;
    if (m_byKeyboard)
        setKeyboardFocus(target);
    else
        target->setFocus(Qt::OtherFocusReason);
}

} // namespace tanvill
