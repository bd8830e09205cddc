#pragma once

#include "lists/PresentationAnimator.h"

#include <QPointer>

#include <functional>

class QVariantAnimation;

namespace tanvill {

class MainViewController;
class SearchResultsViewController;
struct LayoutConstraint;

// How the search results come over the main window: in 0.33 s the bottom bar, holding the add
// field, rises to the top of the window and grows to 70 pixels, the header and the list leave
// upwards and the results slide in below the bar; then the bar is pinned 1 pixel above the
// top and the results hang under it. Dismissal (0.25 s) brings the bar back down, 50 pixels
// high, the results going down with it and away. Dismissing during the slide turns back from
// where the parts stand. It works between the main view controller and the search results
// only; any other pair is a programming error.
class SearchViewPresentationAnimator : public PresentationAnimator
{
    Q_OBJECT
public:
    enum class State { Hidden, Presenting, Shown, Dismissing };

    using PresentationAnimator::PresentationAnimator;
    ~SearchViewPresentationAnimator() override;

    void animatePresentation(QWidget *presented, QWidget *presenting) override;
    void animateDismissal(QWidget *presented, QWidget *presenting) override;
    void finishNow() override;
    bool isDismissing() const override { return m_state == State::Dismissing; }

    State state() const { return m_state; }
    // The main view's constraint that pins the bar to the top, while it does.
    LayoutConstraint *tempTabBarTopConstraint() const { return m_tempTabBarTopConstraint; }

    static constexpr int kPresentationDuration = 330;
    static constexpr int kDismissalDuration = 250;

private:
    // Where the moving parts stand: the top of header and list, the bar's distance from the
    // bottom, the bar's height and the top of the results (while they do not hang under it).
    struct Stand
    {
        qreal contentTop = 0;
        qreal tabBarBottom = 0;
        qreal tabBarHeight = 0;
        qreal resultsTop = 0;
    };

    Stand standNow() const;
    void apply(const Stand &stand);
    void animate(const Stand &from, const Stand &to, int duration, std::function<void()> done);
    void stopAnimation();
    void didPresent();
    void didDismiss();

    QPointer<MainViewController> m_main;
    QPointer<SearchResultsViewController> m_results;
    LayoutConstraint *m_tempTabBarTopConstraint = nullptr;
    QVariantAnimation *m_animation = nullptr;
    std::function<void()> m_done;
    State m_state = State::Hidden;
};

} // namespace tanvill
