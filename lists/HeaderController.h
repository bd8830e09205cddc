#pragma once

#include <QWidget>

#include <functional>
#include <vector>

class QTimer;
class QVariantAnimation;

namespace tanvill {

class HeaderViewController;
class List;
class ListsController;
class PageControl;

// The pager at the top of the main window: one header page per visible list, turned by a
// swipe on the touchpad, the mouse wheel, the arrow keys or a click on the page dots, which
// take the colour of the list shown. It keeps the page shown and the setting "selectedList"
// in step both ways: a turn by the user writes the setting once, and any other writer of the
// setting (a new or deleted list, the menu commands) turns the page. Page i always shows list
// i of the lists controller, whatever the names; a stored position out of range shows the
// first list.
class HeaderController : public QWidget
{
    Q_OBJECT
public:
    explicit HeaderController(ListsController &lists, QWidget *parent = nullptr);
    ~HeaderController() override;

    // The lists paged, in their order.
    const std::vector<List *> &arrangedObjects() const { return m_arrangedObjects; }
    // The position of the page shown; 0 without lists.
    int selectedIndex() const { return m_selectedIndex; }
    // The page shown (the one arriving while a page turns); none without lists.
    HeaderViewController *selectedViewController() const;
    PageControl *pageControl() const { return m_pageControl; }

    // A page turn takes this long; 0 (or the transitions' instant mode) turns at once.
    void setAnimationDuration(int milliseconds) { m_animationDuration = milliseconds; }
    bool isTransitioning() const { return m_incoming != nullptr; }

    QSize sizeHint() const override { return QSize(480, 90); }
    QSize minimumSizeHint() const override { return QSize(200, 90); }

    static constexpr int kPageControlHeight = 10;
    static constexpr int kPageControlBottom = 5;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    enum class Swipe { None, Deciding, Tracking, Ignoring };

    void setArrangedObjects(std::vector<List *> lists);
    void setSelectedIndex(int index);
    void updatePageControl();
    int storedSelection() const;

    // Reactions
    void selectedListChanged(const QVariant &value);
    void listsChanged();
    void pageControlDidSelectPage();
    void didTransitionToObject();
    // Writes "selectedList" when `index` is another page; the observation turns the page.
    void requestPage(int index);

    // Pages
    HeaderViewController *makePage(int index);
    void showPageAtOnce(int index);
    void turnToPage(int index);
    void completeTransition();
    void discardIncoming();
    void placePages(qreal offset);
    void animateOffset(qreal to, std::function<void()> done);

    // Touchpad swipes
    void trackSwipe(QPointF delta);
    void endSwipe();

    ListsController &m_lists;
    std::vector<List *> m_arrangedObjects;
    int m_selectedIndex = 0;
    PageControl *m_pageControl = nullptr;
    HeaderViewController *m_page = nullptr;
    HeaderViewController *m_incoming = nullptr;
    bool m_incomingIsNext = true;
    qreal m_offset = 0;
    QVariantAnimation *m_animation = nullptr;
    int m_animationDuration = 250;

    Swipe m_swipe = Swipe::None;
    QPointF m_swipeTravel;
    QTimer *m_swipeEndTimer = nullptr;
    int m_wheelTravel = 0;
};

} // namespace tanvill
