#include "lists/ReplacementSegue.h"

#include "controls/TabBarBackgroundView.h"
#include "controls/TableView.h"
#include "lists/AddAppViewController.h"
#include "lists/AddButton.h"
#include "lists/ListViewController.h"
#include "lists/MainViewController.h"
#include "lists/SearchResultsViewController.h"
#include "lists/TransitionOverlay.h"
#include "lists/TransitionTiming.h"

#include <QLayout>
#include <QVariantAnimation>

namespace tanvill {

namespace {

void checkPair(QWidget *presented, QWidget *presenting)
{
    if (!qobject_cast<AddAppViewController *>(presented)
        || !qobject_cast<MainViewController *>(presenting))
        qFatal("Invalid use of ReplacementSegue!");
}

} // namespace

ReplacementSegue::~ReplacementSegue()
{
    delete m_animation;
}

void ReplacementSegue::perform(MainViewController *source, AddAppViewController *destination)
{
    source->presentViewController(destination, this);
}

void ReplacementSegue::animatePresentation(QWidget *presented, QWidget *presenting)
{
    checkPair(presented, presenting);
    finishNow();
    m_main = static_cast<MainViewController *>(presenting);
    m_field = static_cast<AddAppViewController *>(presented);
    m_dismissing = false;

    TabBarBackgroundView *bar = m_main->tabBar();
    m_field->setParent(bar);
    m_field->setGeometry(0, (bar->height() - m_field->height()) / 2, bar->width(),
                         m_field->height());
    m_field->show();
    if (m_field->layout())
        m_field->layout()->activate();
    // The pictures are taken first, so that the button leaves as it looked. The field takes
    // the focus before the button is turned off, which would hand it on to the next control.
    makeOverlay();
    m_field->viewDidAppear();
    m_main->addButton()->setEnabled(false);
    run();
}

void ReplacementSegue::animateDismissal(QWidget *presented, QWidget *presenting)
{
    checkPair(presented, presenting);
    // A presentation still running ends first: its late step would hide the button again.
    finishNow();
    m_main = static_cast<MainViewController *>(presenting);
    m_field = static_cast<AddAppViewController *>(presented);
    m_dismissing = true;

    m_main->addButton()->show();
    // The keyboard goes to the list, whatever held it when the field came: what held it may
    // have been a part that is gone, or the bar holding it for an earlier field. Turned off, the
    // field would hand the focus on to the next control of the window, so the bar holds it
    // meanwhile; a busy overlay that takes it from the bar gives it to the list too.
    if (focusIsWithField()) {
        m_focusReturn.returnTo(m_main->listViewController()->tableView());
        m_focusReturn.holdOn(m_main->tabBar());
    }
    m_field->setEnabled(false);
    makeOverlay();
    run();
}

void ReplacementSegue::makeOverlay()
{
    if (transitions::instant())
        return;
    const bool dismissal = m_dismissing;
    AddButton *button = m_main->addButton();
    m_overlay = new TransitionOverlay(m_main->tabBar());
    m_overlay->addLayer(button,
                        dismissal ? TransitionOverlay::Motion::Appearing
                                  : TransitionOverlay::Motion::Disappearing);
    m_overlay->addLayer(m_field,
                        dismissal ? TransitionOverlay::Motion::Disappearing
                                  : TransitionOverlay::Motion::Appearing);
    m_overlay->show();
    m_overlay->raise();
}

void ReplacementSegue::run()
{
    m_stepDone = false;
    if (transitions::instant()) {
        runDelayedStep();
        return;
    }
    m_animation = new QVariantAnimation;
    m_animation->setDuration(kDuration);
    m_animation->setStartValue(0.0);
    m_animation->setEndValue(1.0);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        if (m_overlay)
            m_overlay->setProgress(value.toReal());
        if (!m_stepDone && m_animation && m_animation->currentTime() >= kStepDelay)
            runDelayedStep();
    });
    connect(m_animation, &QAbstractAnimation::finished, this, &ReplacementSegue::finishAnimation);
    m_animation->start();
}

// 0.13 s in: the button is hidden (presentation), or the field leaves the bar and the button
// takes clicks again (dismissal).
void ReplacementSegue::runDelayedStep()
{
    if (m_stepDone)
        return;
    m_stepDone = true;
    if (!m_main)
        return;
    AddButton *button = m_main->addButton();
    if (!m_dismissing) {
        button->hide();
        return;
    }
    button->setEnabled(true);
    // The keyboard goes to the list before the field goes, so that it lands nowhere else on the
    // way (the search results leaving with the field have uncovered it by now).
    if (focusIsWithField())
        m_focusReturn.giveBack(button);
    if (m_field) {
        m_field->viewWillDisappear();
        m_field->hide();
        m_field->setParent(nullptr);
        m_field->deleteLater();
    }
    if (transitions::instant())
        deleteLater();
}

bool ReplacementSegue::focusIsWithField() const
{
    if (!m_main)
        return false;
    const QWidget *focus = m_main->window()->focusWidget();
    if (!focus || focus == m_main->tabBar())
        return true;
    const QWidget *results = m_field ? m_field->searchResultsController() : nullptr;
    return (m_field && (focus == m_field || m_field->isAncestorOf(focus)))
        || (results && (focus == results || results->isAncestorOf(focus)));
}

void ReplacementSegue::finishAnimation()
{
    runDelayedStep();
    if (m_animation) {
        m_animation->disconnect(this);
        m_animation->stop();
        m_animation->deleteLater();
        m_animation = nullptr;
    }
    if (m_overlay)
        m_overlay->deleteLater();
    if (m_dismissing)
        deleteLater();
}

void ReplacementSegue::finishNow()
{
    if (!m_stepDone || m_animation)
        finishAnimation();
}

} // namespace tanvill
