#include "lists/HeaderController.h"

#include "controls/PageControl.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "core/ListsControllerNotifications.h"
#include "core/SettingsKeys.h"
#include "lists/HeaderViewController.h"
#include "lists/ListEditorDelegate.h"
#include "lists/NumberValue.h"
#include "lists/TransitionTiming.h"
#include "platform/NotificationCenter.h"
#include "platform/UserDefaults.h"

#include <QKeyEvent>
#include <QTimer>
#include <QVariantAnimation>
#include <QWheelEvent>

#include <algorithm>

namespace tanvill {

namespace {

// A swipe further than this share of the width turns the page when the fingers lift.
constexpr qreal kSwipeCommitShare = 0.2;
// How far the page follows a swipe past the first or last page.
constexpr qreal kRubberBand = 0.2;
// A wheel notch.
constexpr int kWheelStep = 120;

} // namespace

HeaderController::HeaderController(ListsController &lists, QWidget *parent)
    : QWidget(parent), m_lists(lists)
{
    setFocusPolicy(Qt::ClickFocus);
    m_pageControl = new PageControl(this);
    m_swipeEndTimer = new QTimer(this);
    m_swipeEndTimer->setSingleShot(true);
    m_swipeEndTimer->setInterval(200);
    connect(m_swipeEndTimer, &QTimer::timeout, this, &HeaderController::endSwipe);

    UserDefaults::standard().observe(SettingsKeys::SelectedList, this,
                                     [this](const QVariant &value) { selectedListChanged(value); });
    NotificationCenter &center = NotificationCenter::defaultCenter();
    for (const QString &name : { ListsControllerDidAddList, ListsControllerDidDeleteList,
                                 ListsControllerDidRearrangeLists })
        center.addObserver(
            name, this, [this](const Notification &) { listsChanged(); }, &m_lists);
    center.addObserver(ListEditorDidUpateListNotification, this,
                       [this](const Notification &) { updatePageControl(); });

    connect(m_pageControl, &PageControl::clicked, this,
            &HeaderController::pageControlDidSelectPage);
    setArrangedObjects(m_lists.lists());
    showPageAtOnce(storedSelection());
}

HeaderController::~HeaderController()
{
    if (m_animation)
        m_animation->stop();
    // The pages go after the pager: an editor still open on one ends on the way, and its edits
    // reach no pager.
    for (HeaderViewController *page :
         findChildren<HeaderViewController *>(Qt::FindDirectChildrenOnly))
        page->disconnect(this);
}

HeaderViewController *HeaderController::selectedViewController() const
{
    if (m_incoming && m_selectedIndex < int(m_arrangedObjects.size())
        && m_incoming->list() == m_arrangedObjects[size_t(m_selectedIndex)])
        return m_incoming;
    return m_page;
}

void HeaderController::setArrangedObjects(std::vector<List *> lists)
{
    m_arrangedObjects = std::move(lists);
    updatePageControl();
}

void HeaderController::setSelectedIndex(int index)
{
    m_selectedIndex = index;
    updatePageControl();
}

void HeaderController::updatePageControl()
{
    // The colour of the page shown, which is the selected list except in the middle of a
    // swipe, when the setting has not been written yet.
    const bool hasPage = m_selectedIndex >= 0 && m_selectedIndex < int(m_arrangedObjects.size());
    m_pageControl->setTheme(hasPage ? m_arrangedObjects[size_t(m_selectedIndex)]->theme()
                                    : Theme {});
    m_pageControl->setNumberOfPages(unsigned(m_arrangedObjects.size()));
    m_pageControl->setSelectedPage(unsigned(std::max(0, m_selectedIndex)));
}

int HeaderController::storedSelection() const
{
    const qint64 stored = UserDefaults::standard().integer(SettingsKeys::SelectedList, 0);
    if (stored < 0 || stored >= qint64(m_arrangedObjects.size()))
        return 0;
    return int(stored);
}

void HeaderController::selectedListChanged(const QVariant &value)
{
    const std::optional<qint64> written = integerValue(value, true);
    if (!written)
        return;
    // The lists may already have changed under a list being deleted; follow them first,
    // keeping the page shown where it went.
    if (m_lists.lists() != m_arrangedObjects) {
        List *shown = m_page ? m_page->list() : nullptr;
        completeTransition();
        setArrangedObjects(m_lists.lists());
        const auto found = std::find(m_arrangedObjects.begin(), m_arrangedObjects.end(), shown);
        showPageAtOnce(
            found != m_arrangedObjects.end()
                ? int(found - m_arrangedObjects.begin())
                : std::min(m_selectedIndex, std::max(0, int(m_arrangedObjects.size()) - 1)));
    }
    if (m_arrangedObjects.empty())
        return;
    int index = int(*written);
    if (*written < 0 || *written >= qint64(m_arrangedObjects.size()))
        index = 0;
    if (index == m_selectedIndex)
        return;
    turnToPage(index);
}

void HeaderController::listsChanged()
{
    completeTransition();
    setArrangedObjects(m_lists.lists());
    showPageAtOnce(storedSelection());
}

void HeaderController::pageControlDidSelectPage()
{
    requestPage(int(m_pageControl->selectedPage()));
}

void HeaderController::requestPage(int index)
{
    if (index < 0 || index >= int(m_arrangedObjects.size()) || index == m_selectedIndex)
        return;
    UserDefaults::standard().setValue(SettingsKeys::SelectedList, index);
}

void HeaderController::didTransitionToObject()
{
    List *selected = m_lists.selectedList();
    if (!selected || m_selectedIndex != selected->index())
        UserDefaults::standard().setValue(SettingsKeys::SelectedList, m_selectedIndex);
}

HeaderViewController *HeaderController::makePage(int index)
{
    auto *page = new HeaderViewController(m_lists, this);
    page->setList(m_arrangedObjects[size_t(index)]);
    connect(page, &HeaderViewController::listEdited, this, &HeaderController::updatePageControl);
    page->setGeometry(rect());
    page->show();
    m_pageControl->raise();
    return page;
}

void HeaderController::showPageAtOnce(int index)
{
    completeTransition();
    if (m_arrangedObjects.empty()) {
        if (m_page) {
            m_page->hide();
            m_page->deleteLater();
            m_page = nullptr;
        }
        setSelectedIndex(0);
        return;
    }
    index = std::clamp(index, 0, int(m_arrangedObjects.size()) - 1);
    if (!m_page || m_page->list() != m_arrangedObjects[size_t(index)]) {
        HeaderViewController *old = m_page;
        m_page = makePage(index);
        if (old) {
            old->hide();
            old->deleteLater();
        }
    }
    m_offset = 0;
    placePages(0);
    setSelectedIndex(index);
}

void HeaderController::turnToPage(int index)
{
    completeTransition();
    if (m_swipe == Swipe::Tracking)
        m_swipe = Swipe::Ignoring;
    if (index == m_selectedIndex || !m_page) {
        showPageAtOnce(index);
        return;
    }
    m_incomingIsNext = index > m_selectedIndex;
    m_incoming = makePage(index);
    setSelectedIndex(index);
    m_offset = 0;
    placePages(0);
    animateOffset(m_incomingIsNext ? -width() : width(), [this] { completeTransition(); });
}

void HeaderController::completeTransition()
{
    if (m_animation) {
        m_animation->stop();
        m_animation->deleteLater();
        m_animation = nullptr;
    }
    if (!m_incoming)
        return;
    // An uncommitted swipe leaves the page it started on.
    if (m_incoming != selectedViewController()) {
        discardIncoming();
        return;
    }
    HeaderViewController *old = m_page;
    m_page = m_incoming;
    m_incoming = nullptr;
    if (old) {
        old->hide();
        old->deleteLater();
    }
    m_offset = 0;
    placePages(0);
}

void HeaderController::discardIncoming()
{
    if (m_incoming) {
        m_incoming->hide();
        m_incoming->deleteLater();
        m_incoming = nullptr;
    }
    m_offset = 0;
    placePages(0);
}

void HeaderController::placePages(qreal offset)
{
    const int x = qRound(offset);
    if (m_page)
        m_page->setGeometry(x, 0, width(), height());
    if (m_incoming)
        m_incoming->setGeometry(x + (m_incomingIsNext ? width() : -width()), 0, width(), height());
}

void HeaderController::animateOffset(qreal to, std::function<void()> done)
{
    if (m_animation) {
        m_animation->stop();
        m_animation->deleteLater();
        m_animation = nullptr;
    }
    if (m_animationDuration <= 0 || !isVisible() || transitions::instant()) {
        m_offset = to;
        placePages(to);
        done();
        return;
    }
    m_animation = new QVariantAnimation(this);
    m_animation->setDuration(m_animationDuration);
    m_animation->setEasingCurve(QEasingCurve::OutCubic);
    m_animation->setStartValue(m_offset);
    m_animation->setEndValue(to);
    connect(m_animation, &QVariantAnimation::valueChanged, this, [this](const QVariant &value) {
        m_offset = value.toReal();
        placePages(m_offset);
    });
    connect(m_animation, &QVariantAnimation::finished, this, [this, done = std::move(done)] {
        if (m_animation) {
            m_animation->deleteLater();
            m_animation = nullptr;
        }
        done();
    });
    m_animation->start();
}

void HeaderController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // A 10-point strip across the header, 5 points above its bottom edge.
    m_pageControl->setGeometry(0, height() - kPageControlBottom - kPageControlHeight, width(),
                               kPageControlHeight);
    m_pageControl->raise();
    if (m_incoming && !m_animation && m_swipe != Swipe::Tracking)
        completeTransition();
    placePages(m_offset);
}

void HeaderController::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
        requestPage(m_selectedIndex - 1);
        break;
    case Qt::Key_Right:
        requestPage(m_selectedIndex + 1);
        break;
    case Qt::Key_Home:
        requestPage(0);
        break;
    case Qt::Key_End:
        requestPage(int(m_arrangedObjects.size()) - 1);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void HeaderController::wheelEvent(QWheelEvent *event)
{
    event->accept();
    const Qt::ScrollPhase phase = event->phase();
    if (phase == Qt::NoScrollPhase) {
        // A mouse wheel: a page per notch, sideways or down for the next page.
        const QPoint angle = event->angleDelta();
        m_wheelTravel += angle.x() != 0 ? angle.x() : angle.y();
        if (std::abs(m_wheelTravel) >= kWheelStep) {
            const int step = m_wheelTravel < 0 ? 1 : -1;
            m_wheelTravel = 0;
            requestPage(m_selectedIndex + step);
        }
        return;
    }
    // A touchpad: the page follows the fingers and turns when they lift far enough.
    const QPointF delta = !event->pixelDelta().isNull() ? QPointF(event->pixelDelta())
                                                        : QPointF(event->angleDelta()) / 8.0;
    switch (phase) {
    case Qt::ScrollBegin:
        completeTransition();
        m_swipe = Swipe::Deciding;
        m_swipeTravel = {};
        trackSwipe(delta);
        break;
    case Qt::ScrollUpdate:
        if (m_swipe == Swipe::None) {
            completeTransition();
            m_swipe = Swipe::Deciding;
            m_swipeTravel = {};
        }
        trackSwipe(delta);
        break;
    case Qt::ScrollEnd:
        endSwipe();
        break;
    default: // momentum after the fingers lifted
        break;
    }
}

void HeaderController::trackSwipe(QPointF delta)
{
    if (m_swipe == Swipe::Deciding) {
        m_swipeTravel += delta;
        if (m_swipeTravel.manhattanLength() < 4)
            return;
        // Mostly up or down is no page turn.
        m_swipe = std::abs(m_swipeTravel.x()) > std::abs(m_swipeTravel.y()) ? Swipe::Tracking
                                                                            : Swipe::Ignoring;
        if (m_swipe == Swipe::Ignoring)
            return;
        delta = m_swipeTravel;
        m_swipeTravel = {};
    }
    if (m_swipe != Swipe::Tracking || !m_page)
        return;
    m_swipeEndTimer->start();
    m_swipeTravel.rx() += delta.x();
    const qreal travel = std::clamp(m_swipeTravel.x(), qreal(-width()), qreal(width()));
    m_swipeTravel.setX(travel);
    // Fingers moving left bring the next page in from the right.
    const int neighbour = m_selectedIndex + (travel < 0 ? 1 : -1);
    const bool hasNeighbour
        = travel != 0 && neighbour >= 0 && neighbour < int(m_arrangedObjects.size());
    if (!hasNeighbour) {
        if (m_incoming)
            discardIncoming();
        m_offset = travel * kRubberBand;
        placePages(m_offset);
        return;
    }
    const bool next = neighbour > m_selectedIndex;
    if (m_incoming && (m_incomingIsNext != next))
        discardIncoming();
    if (!m_incoming) {
        m_incomingIsNext = next;
        m_incoming = makePage(neighbour);
    }
    m_offset = travel;
    placePages(m_offset);
}

void HeaderController::endSwipe()
{
    m_swipeEndTimer->stop();
    const Swipe swipe = m_swipe;
    m_swipe = Swipe::None;
    if (swipe != Swipe::Tracking)
        return;
    const bool turns = m_incoming && std::abs(m_offset) > width() * kSwipeCommitShare;
    if (!turns) {
        animateOffset(0, [this] { discardIncoming(); });
        return;
    }
    setSelectedIndex(m_selectedIndex + (m_incomingIsNext ? 1 : -1));
    didTransitionToObject();
    animateOffset(m_incomingIsNext ? -width() : width(), [this] { completeTransition(); });
}

} // namespace tanvill
