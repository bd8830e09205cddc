#pragma once

#include "controls/PopoverShape.h"

#include <QFrame>
#include <QList>
#include <QPointer>

class QLabel;

namespace tanvill {

// The note that explains list sharing: a popover with an arrow pointing at the share sheet's
// help button from outside the controls it tells about, closed by a click anywhere else, by
// Escape in the sheet, or when its window moves or goes to the background. It never takes the
// keyboard: what the user types goes on to the sheet's focused field while they read, and it
// never covers that field: it moves out of the way when the focus moves. The share sheet opens
// it from its help button, and by itself the first time a list is shared.
class SharingHelpPopover : public QFrame
{
    Q_OBJECT
public:
    explicit SharingHelpPopover(QWidget *parent = nullptr);

    // Shows the popover by `anchor`, its arrow at the anchor's centre, all of it on the screen
    // and clear of the `explained` controls and of the focused field of the anchor's window:
    // below the anchor, else above it, else at its right, else at its left
    // (PopoverShape::placeBeside). With `onlyWhereClear`, where no such place is on the screen
    // it shows nothing and says so (false).
    bool showBeside(QWidget *anchor, const QList<QWidget *> &explained = {},
                    bool onlyWhereClear = false);

    QLabel *textLabel() const { return m_text; }

    static constexpr int kWidth = 320;
    static constexpr int kArrowHeight = 10;

protected:
    void paintEvent(QPaintEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    PopoverShape shape() const;
    // Puts the popover by its anchor, clear of the field that has the focus; false where it
    // covers some of what it tells about or that field.
    bool place();

    QLabel *m_title;
    QLabel *m_text;
    int m_arrowX = kWidth / 2;
    PopoverShape::ArrowEdge m_arrowEdge = PopoverShape::ArrowEdge::Top;
    QPointer<QWidget> m_anchor;
    QList<QPointer<QWidget>> m_explained;
    // The note's body, its arrow aside.
    QSize m_bodySize;
};

} // namespace tanvill
