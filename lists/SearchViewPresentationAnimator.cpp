#include "lists/SearchViewPresentationAnimator.h"

#include "controls/TabBarBackgroundView.h"
#include "lists/MainViewController.h"
#include "lists/SearchResultsViewController.h"
#include "lists/TransitionTiming.h"

#include <QVariantAnimation>

namespace tanvill {

namespace {

void checkPair(QWidget *presented, QWidget *presenting)
{
    if (!qobject_cast<SearchResultsViewController *>(presented)
        || !qobject_cast<MainViewController *>(presenting))
        qFatal("Invalid use of SearchViewPresentationAnimator!");
}

qreal interpolate(qreal from, qreal to, qreal progress)
{
    return from + (to - from) * progress;
}

} // namespace

SearchViewPresentationAnimator::~SearchViewPresentationAnimator()
{
    delete m_animation;
}

void SearchViewPresentationAnimator::animatePresentation(QWidget *presented, QWidget *presenting)
{
    checkPair(presented, presenting);
    finishNow();
    m_main = static_cast<MainViewController *>(presenting);
    m_results = static_cast<SearchResultsViewController *>(presented);
    m_state = State::Presenting;

    const QRect bounds = m_main->rect();
    const int resultsHeight = bounds.height() - MainViewController::kResultsInset;
    m_results->setParent(m_main);
    m_results->setGeometry(bounds.x(), bounds.height(), bounds.width(), resultsHeight);
    // Under the bar, which carries the add field, and under any busy overlay.
    m_results->stackUnder(m_main->tabBar());
    m_results->show();

    const Stand from = standNow();
    Stand to;
    to.contentTop = -bounds.height();
    to.tabBarBottom = bounds.height() - MainViewController::kRaisedTabBarHeight;
    to.tabBarHeight = MainViewController::kRaisedTabBarHeight;
    to.resultsTop = MainViewController::kResultsInset;
    animate(from, to, kPresentationDuration, [this] { didPresent(); });
}

void SearchViewPresentationAnimator::didPresent()
{
    if (m_state != State::Presenting || !m_main)
        return;
    m_main->setViewBelowTabBar(m_results);
    m_main->mainContentViewTopConstraint().active = false;
    m_main->tabBarBottomConstraint().active = false;
    LayoutConstraint &top = m_main->tabBarTopConstraint();
    top.constant = -1;
    top.active = true;
    m_tempTabBarTopConstraint = &top;
    m_main->layoutViews();
    m_state = State::Shown;
}

void SearchViewPresentationAnimator::animateDismissal(QWidget *presented, QWidget *presenting)
{
    checkPair(presented, presenting);
    if (m_state == State::Hidden || m_state == State::Dismissing || !m_main)
        return;
    // During the slide the parts turn back from where they are.
    const Stand from = standNow();
    stopAnimation();
    m_state = State::Dismissing;

    if (m_tempTabBarTopConstraint) {
        m_tempTabBarTopConstraint->active = false;
        m_tempTabBarTopConstraint = nullptr;
    }
    m_main->mainContentViewTopConstraint().active = true;
    m_main->tabBarBottomConstraint().active = true;
    // The results go down with the bar.
    m_main->setViewBelowTabBar(m_results);

    Stand to;
    to.contentTop = 0;
    to.tabBarBottom = 0;
    to.tabBarHeight = MainViewController::kTabBarHeight;
    to.resultsTop = from.resultsTop;
    animate(from, to, kDismissalDuration, [this] { didDismiss(); });
}

void SearchViewPresentationAnimator::didDismiss()
{
    if (m_state != State::Dismissing)
        return;
    m_state = State::Hidden;
    if (m_main && m_main->viewBelowTabBar() == m_results)
        m_main->setViewBelowTabBar(nullptr);
    if (m_results) {
        m_results->hide();
        m_results->setParent(nullptr);
        m_results->deleteLater();
    }
    deleteLater();
}

SearchViewPresentationAnimator::Stand SearchViewPresentationAnimator::standNow() const
{
    Stand stand;
    const int height = m_main->height();
    const LayoutConstraint &content = m_main->mainContentViewTopConstraint();
    stand.contentTop = content.active ? content.constant : -height;
    const QRect bar = m_main->tabBar()->geometry();
    stand.tabBarBottom = height - (bar.y() + bar.height());
    stand.tabBarHeight = bar.height();
    stand.resultsTop = m_results ? m_results->y() : height;
    return stand;
}

void SearchViewPresentationAnimator::apply(const Stand &stand)
{
    if (!m_main)
        return;
    m_main->mainContentViewTopConstraint().constant = qRound(stand.contentTop);
    m_main->tabBarBottomConstraint().constant = qRound(stand.tabBarBottom);
    m_main->tabBarHeightConstraint().constant = qRound(stand.tabBarHeight);
    if (m_results && m_main->viewBelowTabBar() != m_results)
        m_results->move(m_results->x(), qRound(stand.resultsTop));
    m_main->layoutViews();
}

void SearchViewPresentationAnimator::animate(const Stand &from, const Stand &to, int duration,
                                             std::function<void()> done)
{
    stopAnimation();
    if (transitions::instant()) {
        apply(to);
        done();
        return;
    }
    m_done = std::move(done);
    m_animation = new QVariantAnimation;
    m_animation->setDuration(duration);
    m_animation->setEasingCurve(QEasingCurve::InOutQuad);
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    connect(m_animation, &QVariantAnimation::valueChanged, this,
            [this, from, to](const QVariant &value) {
                const qreal t = value.toReal();
                apply({ interpolate(from.contentTop, to.contentTop, t),
                        interpolate(from.tabBarBottom, to.tabBarBottom, t),
                        interpolate(from.tabBarHeight, to.tabBarHeight, t),
                        interpolate(from.resultsTop, to.resultsTop, t) });
            });
    connect(m_animation, &QAbstractAnimation::finished, this, [this] {
        auto finished = std::move(m_done);
        m_done = nullptr;
        m_animation->deleteLater();
        m_animation = nullptr;
        if (finished)
            finished();
    });
    m_animation->start();
}

void SearchViewPresentationAnimator::stopAnimation()
{
    if (!m_animation)
        return;
    m_animation->disconnect(this);
    m_animation->stop();
    m_animation->deleteLater();
    m_animation = nullptr;
    m_done = nullptr;
}

void SearchViewPresentationAnimator::finishNow()
{
    if (!m_animation)
        return;
    m_animation->setCurrentTime(m_animation->duration());
}

} // namespace tanvill
