#pragma once

// The frame of the detail window's popovers (history, notes): a borderless panel with an arrow
// pointing up at the button that opened it, closed by a click elsewhere or by Escape, and
// deleted once closed, with its content. F10 and Alt with a menu's letter close it and open that
// menu of the window. It takes the content's size and follows it when the
// content changes its size while shown.

#include <QFrame>
#include <QPointer>

namespace tanvill {

class DetailPopover : public QFrame
{
    Q_OBJECT
public:
    // Takes `content` (which must not be null); `parent` keeps the popover while it is open
    // and takes it down with it.
    DetailPopover(QWidget *content, QWidget *parent);

    QWidget *content() const { return m_content; }

    // Shows the popover below `anchor`, its arrow at the anchor's middle, kept on the screen.
    void showBelow(QWidget *anchor);

    static constexpr int kArrowHeight = 9;
    static constexpr int kArrowHalfWidth = 9;
    static constexpr int kPadding = 4;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void place();

    QWidget *m_content;
    QPointer<QWidget> m_anchor;
    int m_arrowX = -1;
};

} // namespace tanvill
