#pragma once

#include "controls/PopoverShape.h"

#include <QFrame>
#include <QPointer>

class QLabel;

namespace tanvill {

// The note that explains list sharing: a popover with an arrow pointing at the share sheet's
// help button, closed by a click anywhere else, by Escape in the sheet, or when its window moves
// or goes to the background. It never takes the keyboard: what the user types goes on to the
// sheet's focused field while they read, and it never covers that field: it moves out of the way
// when the focus moves. The share sheet opens it from its help button, and by itself the first
// time a list is shared.
class SharingHelpPopover : public QFrame
{
    Q_OBJECT
public:
    explicit SharingHelpPopover(QWidget *parent = nullptr);

    // Shows the popover below `anchor`, its arrow at the anchor's centre, kept on the screen;
    // above the anchor, its arrow pointing down, when the screen has no room below it; next to
    // the focused field of the anchor's window when either would cover that field.
    void showBelow(QWidget *anchor);

    QLabel *textLabel() const { return m_text; }

    static constexpr int kWidth = 320;
    static constexpr int kArrowHeight = 10;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    PopoverShape shape() const;
    // Puts the popover by its anchor, clear of the field that has the focus.
    void place();

    QLabel *m_title;
    QLabel *m_text;
    int m_arrowX = kWidth / 2;
    PopoverShape::ArrowEdge m_arrowEdge = PopoverShape::ArrowEdge::Top;
    QPointer<QWidget> m_anchor;
};

} // namespace tanvill
