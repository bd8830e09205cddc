#pragma once

#include "controls/ColoredView.h"

namespace tanvill {

// The main window's bottom bar behind the add button: its colour with a black hairline
// along the top edge.
class TabBarBackgroundView : public ColoredView
{
    Q_OBJECT
public:
    using ColoredView::ColoredView;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace tanvill
