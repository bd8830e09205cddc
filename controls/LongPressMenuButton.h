#pragma once

#include <QMenu>
#include <QPoint>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace tanvill {

// A button that acts on a click and offers a menu when held down: the add button in the
// main window's bottom bar (a click adds an application, a long press shows its menu).
class LongPressMenuButton : public QPushButton
{
    Q_OBJECT
public:
    explicit LongPressMenuButton(QWidget *parent = nullptr);

    // The menu a long press shows; not owned.
    QMenu *popUpMenu() const { return m_popUpMenu; }
    void setPopUpMenu(QMenu *menu) { m_popUpMenu = menu; }

    // How long the button must be held for its menu (0.5 s unless changed).
    int longPressInterval() const { return m_longPressTimer.interval(); }
    void setLongPressInterval(int milliseconds) { m_longPressTimer.setInterval(milliseconds); }

    static constexpr int kLongPressMilliseconds = 500;

signals:
    // The menu was just shown at `position`, in the button's own coordinates.
    void menuShown(QPoint position);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void setMouseIsDown(bool down);
    void longPressElapsed();
    void abandonPress();

    QPointer<QMenu> m_popUpMenu;
    QTimer m_longPressTimer;
    QPoint m_pressPosition;
    bool m_mouseIsDown = false;
};

} // namespace tanvill
