#pragma once

#include <QPointer>
#include <QWidget>

namespace tanvill {

// A translucent black layer over a view that swallows the clicks, drags, scrolling and keys
// meant for what lies beneath, and keeps covering the view when it is resized. A click on it
// moves no focus: the sheet over it keeps the keyboard. The list share sheet lays one under
// itself; the busy overlay builds on it and holds the keys itself.
class ModalBackgroundView : public QWidget
{
    Q_OBJECT
public:
    // Made as a hidden child of `parentView`, covering it; show() and raise() put it on top.
    explicit ModalBackgroundView(QWidget *parentView);

    QWidget *parentView() const { return m_parentView; }

    static constexpr qreal kDimming = 0.33;

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseDoubleClickEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;

private:
    QPointer<QWidget> m_parentView;
};

} // namespace tanvill
