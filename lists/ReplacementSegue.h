#pragma once

#include "controls/KeyboardFocus.h"
#include "lists/PresentationAnimator.h"

#include <QPointer>

class QVariantAnimation;

namespace tanvill {

class AddAppViewController;
class MainViewController;
class TransitionOverlay;

// How the add field takes the add button's place in the main window's bar: the field fades in,
// settling from 1.25 times its size, while the button fades out, swelling; the button is
// disabled at once and hidden 0.13 s in. Dismissal runs the other way: the button is back at
// once and enabled 0.13 s in, when the field leaves the bar. A transition still running when
// the next one starts is finished first, so that no step of it comes late. It works between
// the main view controller and the add field only; any other pair is a programming error.
// The keyboard goes to the list table once the field has gone; it waits on the bar meanwhile, as
// the field is off while it leaves.
class ReplacementSegue : public PresentationAnimator
{
    Q_OBJECT
public:
    using PresentationAnimator::PresentationAnimator;
    ~ReplacementSegue() override;

    // Asks `source` to present `destination` with this segue as the animator.
    void perform(MainViewController *source, AddAppViewController *destination);

    void animatePresentation(QWidget *presented, QWidget *presenting) override;
    void animateDismissal(QWidget *presented, QWidget *presenting) override;
    void finishNow() override;
    bool isDismissing() const override { return m_dismissing; }
    bool isRunning() const { return m_animation != nullptr; }

    static constexpr int kDuration = 150;
    static constexpr int kStepDelay = 130;

private:
    void makeOverlay();
    void run();
    void runDelayedStep();
    void finishAnimation();
    // Whether the keyboard is with the field or its search results, or held on the bar for them.
    bool focusIsWithField() const;

    QPointer<MainViewController> m_main;
    QPointer<AddAppViewController> m_field;
    QPointer<TransitionOverlay> m_overlay;
    FocusReturn m_focusReturn;
    QVariantAnimation *m_animation = nullptr;
    bool m_dismissing = false;
    bool m_stepDone = true;
};

} // namespace tanvill
