#pragma once

#include <QScrollArea>

namespace tanvill {

// A scroll area that ignores the scroll wheel, over its content and over its scroll bars:
// neither it nor any view around it scrolls. Used where a list is laid out in full inside a
// view that scrolls by other means.
class NoScrollScrollView : public QScrollArea
{
    Q_OBJECT
public:
    explicit NoScrollScrollView(QWidget *parent = nullptr);

protected:
    void wheelEvent(QWheelEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace tanvill
