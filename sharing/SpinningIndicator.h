#pragma once

#include <QTimer>
#include <QWidget>

namespace tanvill {

// The small spinning wheel of work in progress: twelve spokes in the text colour, the
// brightest one going round while animating, nothing drawn while stopped. The share sheet shows one
// while its request is under way; the import window's user-name step while a download is starting.
class SpinningIndicator : public QWidget
{
    Q_OBJECT
public:
    explicit SpinningIndicator(QWidget *parent = nullptr);

    void startAnimation();
    void stopAnimation();
    bool isAnimating() const { return m_timer.isActive(); }

    QSize sizeHint() const override { return { 32, 32 }; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer m_timer;
    int m_step = 0;
};

} // namespace tanvill
