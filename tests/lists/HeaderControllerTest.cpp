// The list header pager: the page and dots it shows, turning by dots, swipes, the wheel and
// the keys with exactly one write of "selectedList", and following lists that come, go and
// move, with pages bound to lists by position and identity.
#include "lists/HeaderController.h"
#include "ListsTestSupport.h"
#include "controls/ColorWell.h"
#include "controls/ColoredView.h"
#include "controls/ImplicitButton.h"
#include "controls/PageControl.h"
#include "lists/HeaderViewController.h"
#include "lists/ListEditor.h"

#include <QApplication>
#include <QPainter>
#include <QTest>
#include <QWheelEvent>

using namespace tanvill;

namespace {

class HeaderPagerTest : public test::ListsFixture
{
public:
    HeaderController &showHeader(int animationMs = 0)
    {
        header = std::make_unique<HeaderController>(lists());
        header->setAnimationDuration(animationMs);
        header->resize(480, 90);
        header->show();
        return *header;
    }

    List *shownList() const
    {
        HeaderViewController *page = header->selectedViewController();
        return page ? page->list() : nullptr;
    }

    void clickDot(unsigned page)
    {
        PageControl *dots = header->pageControl();
        QTest::mouseClick(dots, Qt::LeftButton, {}, dots->dotRect(page).center().toPoint());
    }

    void scroll(QPoint pixels, Qt::ScrollPhase phase, QPoint angle = {})
    {
        const QPointF at(240, 40);
        QWheelEvent event(at, header->mapToGlobal(at), pixels, angle.isNull() ? pixels : angle,
                          Qt::NoButton, Qt::NoModifier, phase, false);
        QApplication::sendEvent(header.get(), &event);
    }

    // A touchpad swipe of `steps` moves of `dx` each.
    void swipe(int dx, int steps, int dy = 0)
    {
        scroll({}, Qt::ScrollBegin);
        for (int i = 0; i < steps; ++i)
            scroll({ dx, dy }, Qt::ScrollUpdate);
        scroll({}, Qt::ScrollEnd);
    }

    std::unique_ptr<HeaderController> header;
};

} // namespace

TEST_F(HeaderPagerTest, ShowsTheSelectedListWithItsDotsInItsColour)
{
    const std::vector<List *> made = makeLists({ { "Home", ThemeName::Yellow },
                                                 { "Work", ThemeName::Blue },
                                                 { "Games", ThemeName::Green } });
    settings().setValue("selectedList", 1);
    showHeader();
    EXPECT_EQ(header->arrangedObjects(), made);
    EXPECT_EQ(header->selectedIndex(), 1);
    EXPECT_EQ(shownList(), made[1]);
    EXPECT_EQ(header->selectedViewController()->nameImplicitControl()->text(), "Work");
    PageControl *dots = header->pageControl();
    EXPECT_EQ(dots->numberOfPages(), 3u);
    EXPECT_EQ(dots->selectedPage(), 1u);
    EXPECT_EQ(dots->theme(), Theme { ThemeName::Blue });
    EXPECT_EQ(dots->geometry(), QRect(0, 75, 480, 10));
}

TEST_F(HeaderPagerTest, WithoutListsOrOutOfRangeSelectionTheFirstPageOrNothingShows)
{
    showHeader();
    EXPECT_EQ(header->selectedViewController(), nullptr);
    EXPECT_EQ(header->pageControl()->numberOfPages(), 0u);
    settings().setValue("selectedList", 3);
    QTest::keyClick(header.get(), Qt::Key_Right);

    const std::vector<List *> made = makeLists({ { "A" }, { "B" }, { "C" } });
    for (const QVariant &stored : { QVariant(7), QVariant(-1), QVariant(QStringLiteral("x")) }) {
        settings().setValue("selectedList", stored);
        showHeader();
        EXPECT_EQ(header->selectedIndex(), 0);
        EXPECT_EQ(shownList(), made[0]);
    }
    settings().setValue("selectedList", 2);
    EXPECT_EQ(shownList(), made[2]);
    settings().setValue("selectedList", 9);
    EXPECT_EQ(shownList(), made[0]);
}

TEST_F(HeaderPagerTest, EveryWayOfTurningWritesTheSelectionOnce)
{
    const std::vector<List *> made = makeLists({ { "A" }, { "B" }, { "C" } });
    const struct
    {
        const char *name;
        std::function<void(HeaderPagerTest &)> act;
        int writes;
        int page;
    } cases[] = {
        { "dot of the page shown", [](auto &t) { t.clickDot(0); }, 0, 0 },
        { "dot 2", [](auto &t) { t.clickDot(2); }, 1, 2 },
        { "swipe to the left", [](auto &t) { t.swipe(-40, 5); }, 1, 1 },
        { "short swipe", [](auto &t) { t.swipe(-20, 2); }, 0, 0 },
        { "swipe before the first page", [](auto &t) { t.swipe(60, 5); }, 0, 0 },
        { "upward swipe", [](auto &t) { t.swipe(-2, 20, -30); }, 0, 0 },
        { "wheel notch down",
          [](auto &t) {
              t.scroll({}, Qt::NoScrollPhase, { 0, -120 });
          },
          1, 1 },
        { "half a notch sideways",
          [](auto &t) {
              t.scroll({}, Qt::NoScrollPhase, { -60, 0 });
          },
          0, 0 },
        { "right arrow", [](auto &t) { QTest::keyClick(t.header.get(), Qt::Key_Right); }, 1, 1 },
        { "end", [](auto &t) { QTest::keyClick(t.header.get(), Qt::Key_End); }, 1, 2 },
        { "left arrow on the first page",
          [](auto &t) { QTest::keyClick(t.header.get(), Qt::Key_Left); }, 0, 0 },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        settings().setValue("selectedList", 0);
        showHeader();
        selectedListWrites = 0;
        c.act(*this);
        EXPECT_EQ(selectedListWrites, c.writes);
        EXPECT_EQ(selectedList(), c.page);
        EXPECT_EQ(header->selectedIndex(), c.page);
        EXPECT_EQ(shownList(), made[size_t(c.page)]);
        EXPECT_EQ(header->pageControl()->selectedPage(), unsigned(c.page));
        EXPECT_FALSE(header->isTransitioning());
    }
}

TEST_F(HeaderPagerTest, PageTurnsSlideAndEndWithTheTurn)
{
    const std::vector<List *> made
        = makeLists({ { "A", ThemeName::Red }, { "B", ThemeName::Cyan } });
    showHeader(250);
    clickDot(1);
    EXPECT_EQ(header->selectedIndex(), 1);
    EXPECT_EQ(header->pageControl()->theme(), Theme { ThemeName::Cyan });
    ASSERT_TRUE(header->isTransitioning());
    EXPECT_TRUE(test::waitFor([&] { return !header->isTransitioning(); }, 10000));
    EXPECT_EQ(shownList(), made[1]);
    EXPECT_EQ(header->selectedViewController()->geometry(), header->rect());

    // Half a swipe shows both pages side by side until the fingers lift.
    scroll({}, Qt::ScrollBegin);
    scroll({ 200, 0 }, Qt::ScrollUpdate);
    EXPECT_TRUE(header->isTransitioning());
    EXPECT_EQ(header->selectedViewController()->x(), 200);
    test::saveRender(header.get(), "header-pager-mid-swipe");
    scroll({}, Qt::ScrollEnd);
    EXPECT_EQ(selectedList(), 0);
    EXPECT_TRUE(test::waitFor([&] { return !header->isTransitioning(); }, 10000));
    EXPECT_EQ(shownList(), made[0]);
}

TEST_F(HeaderPagerTest, FollowsListsMadeMovedAndDeleted)
{
    std::vector<List *> made = makeLists({ { "A" }, { "B" }, { "C" } });
    showHeader();

    // A new list gets a page and a dot, and the pager turns to it.
    List *created = lists().createList("D", ThemeName::Pink);
    EXPECT_EQ(header->pageControl()->numberOfPages(), 4u);
    EXPECT_EQ(shownList(), created);
    EXPECT_EQ(header->pageControl()->theme(), Theme { ThemeName::Pink });

    // Moving a list across the one shown reorders the pages; the list shown stays, and the
    // setting names its new position.
    selectedListWrites = 0;
    lists().moveList(made[0], 3);
    EXPECT_EQ(selectedListWrites, 1);
    EXPECT_EQ(header->arrangedObjects(),
              std::vector<List *>({ made[1], made[2], created, made[0] }));
    EXPECT_EQ(header->selectedIndex(), 2);
    EXPECT_EQ(shownList(), created);
    settings().setValue("selectedList", 3);

    // Deleting the list shown turns to its neighbour, which the setting names too.
    ASSERT_FALSE(lists().deleteList(made[0]));
    EXPECT_EQ(header->pageControl()->numberOfPages(), 3u);
    EXPECT_EQ(shownList(), lists().selectedList());
    EXPECT_EQ(shownList(), created);

    // Deleting a list before the one shown keeps it shown.
    ASSERT_FALSE(lists().deleteList(made[1]));
    EXPECT_EQ(shownList(), created);
    EXPECT_EQ(header->selectedIndex(), 1);
    EXPECT_EQ(selectedList(), 1);
}

TEST_F(HeaderPagerTest, ListsOfOneNameKeepPagesOfTheirOwn)
{
    const std::vector<List *> made
        = makeLists({ { "Same", ThemeName::Red }, { "Same", ThemeName::Navy } });
    showHeader();
    clickDot(1);
    EXPECT_EQ(shownList(), made[1]);
    EXPECT_EQ(header->selectedViewController()->backgroundView()->color(),
              Theme { ThemeName::Navy }.lightColor());
}

TEST_F(HeaderPagerTest, DotsTakeAnEditedColourAsItIsChosen)
{
    List *list = makeLists({ { "A", ThemeName::Red }, { "B" } }).front();
    showHeader();
    HeaderViewController *page = header->selectedViewController();
    page->editList();
    ListEditor *editor = page->listEditor();
    ASSERT_NE(editor, nullptr);
    editor->setAnimationDuration(0);
    editor->colorWell()->setSelectedIndexPath({ 1, 1 });
    EXPECT_EQ(list->color(), "cyan");
    EXPECT_EQ(header->pageControl()->theme(), Theme { ThemeName::Cyan });
    EXPECT_EQ(page->backgroundView()->color(), Theme { ThemeName::Cyan }.lightColor());
    editor->close();
    EXPECT_EQ(header->selectedViewController(), page);
}

TEST_F(HeaderPagerTest, RendersPagesInTheirListColours)
{
    const std::vector<test::ListSpec> specs = {
        { "Home", ThemeName::Yellow, { 0.99 } },
        { "R&D Tools", ThemeName::Red, { 4.99, 0.0 } },
        { "Games for the long winter evenings by the fire, all of them", ThemeName::Navy, {} },
        { "Work", ThemeName::LightGreen, { 9.99, 19.99, 1.99 } },
        { "Reading", ThemeName::Purple, { 2.99 } },
    };
    makeLists(specs);
    QImage sheet(480, 90 * int(specs.size()), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&sheet);
    for (int i = 0; i < int(specs.size()); ++i) {
        settings().setValue("selectedList", i);
        showHeader();
        test::drainEvents();
        // Only the last page is under the pointer, with its share and preferences buttons.
        HeaderViewController *page = header->selectedViewController();
        if (i + 1 < int(specs.size())) {
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(page, &leave);
        } else {
            QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), page->mapToGlobal(QPointF(5, 5)));
            QApplication::sendEvent(page, &enter);
        }
        painter.drawImage(0, 90 * i, header->grab().toImage());
    }
    painter.end();
    const QString path
        = QDir(test::testOutputDir(QStringLiteral("windows"))).filePath("header-pages.png");
    EXPECT_TRUE(sheet.save(path));
}
