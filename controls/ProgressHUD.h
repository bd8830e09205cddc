#pragma once

#include "controls/KeyboardFocus.h"
#include "controls/ModalBackgroundView.h"

#include <QPointer>
#include <QTimer>

#include <functional>

class QGraphicsOpacityEffect;
class QLabel;
class QPropertyAnimation;

namespace tanvill {

// The busy overlay: a dimming layer with a small spinning image in its middle, faded in by
// show() and out by hide(), after which it takes itself off the view and is deleted. It holds
// the keyboard meanwhile and then gives it back where it was, ring and all. The main window
// shows one while an application is added or the store searched; a detail window while one
// application is refreshed. Make a new one for each piece of work.
class ProgressHUD : public ModalBackgroundView
{
    Q_OBJECT
public:
    explicit ProgressHUD(QWidget *parentView);

    void show();
    void hide();

    // 0 while hidden, 1 once faded in.
    qreal alphaValue() const;
    // Which of the four animation frames shows now (0 to 3).
    int currentFrame() const { return m_frame; }
    bool isAnimating() const { return m_frameTimer.isActive(); }

    // Durations, shortened by tests; the fades take 0.25 s and a turn of the animation 0.4 s.
    void setFadeDuration(int milliseconds) { m_fadeDuration = milliseconds; }
    void setAnimationDuration(int milliseconds);

    static constexpr int kImageSide = 45;
    static constexpr int kFrameCount = 4;

signals:
    // Emitted once hide() has faded the overlay out and taken it off its view.
    void hidden();

private:
    void showFrame(int frame);
    void fadeTo(qreal alpha, std::function<void()> done);

    QLabel *m_imageView;
    QGraphicsOpacityEffect *m_opacity;
    QPointer<QPropertyAnimation> m_fade;
    FocusReturn m_focusReturn;
    QTimer m_frameTimer;
    int m_frame = 0;
    int m_fadeDuration = 250;
    bool m_hiding = false;
};

} // namespace tanvill
