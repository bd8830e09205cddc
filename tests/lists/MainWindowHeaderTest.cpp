// The list header pager in the main window, and the lists made, renamed and paged from it: the
// pager on top turns the window to another list, the new-list sheet opens over the window
// and the editor under the list's name.
#include "MainWindowTestSupport.h"
#include "controls/ColorWell.h"
#include "controls/ControlsTestSupport.h"
#include "controls/ImplicitButton.h"
#include "controls/KeyboardFocus.h"
#include "controls/Label.h"
#include "controls/PageControl.h"
#include "lists/AddButton.h"
#include "lists/HeaderButton.h"
#include "lists/HeaderController.h"
#include "lists/HeaderViewController.h"
#include "lists/ListCreator.h"
#include "lists/ListEditor.h"
#include "lists/ListOrderViewController.h"
#include "lists/ListViewController.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

using namespace tanvill;
using namespace tanvill::test;

namespace {

struct MainWindowHeaderTest : MainWindowTest
{
    MainWindowHeaderTest() { window().show(); }

    HeaderController &header() { return *main().headerController(); }
    HeaderViewController *page() { return header().selectedViewController(); }
    QString shownName() { return page() ? page()->nameImplicitControl()->text() : QString(); }

    // The effects of the table's changes since the last call.
    QList<TableEffect> tableEffects()
    {
        TableView *table = main().listViewController()->tableView();
        QList<TableEffect> effects;
        for (const TableChange &change : table->recordedChanges())
            effects << change.effect;
        table->clearRecordedChanges();
        return effects;
    }

    void hover(QWidget *widget)
    {
        const QPointF at(5, 5);
        QEnterEvent enter(at, at, widget->mapToGlobal(at));
        QApplication::sendEvent(widget, &enter);
    }

    // The window with `dialog` drawn where it stands over it.
    void renderWithDialog(QWidget *dialog, const QString &name)
    {
        drainEvents();
        QImage image = window().grab().toImage();
        QPainter painter(&image);
        painter.drawImage(window().mapFromGlobal(dialog->mapToGlobal(QPoint(0, 0))),
                          dialog->grab().toImage());
        painter.end();
        const QString path = QDir(testOutputDir(QStringLiteral("windows")))
                                 .filePath(name + QStringLiteral(".png"));
        ASSERT_TRUE(image.save(path)) << path.toStdString();
    }
};

} // namespace

TEST_F(MainWindowHeaderTest, TheHeaderOnTopPagesTheWindowThroughTheLists)
{
    keep("100000001", "Things 3", list(1));
    EXPECT_EQ(header().geometry(), QRect(0, 0, 420, MainViewController::kHeaderHeight));
    EXPECT_EQ(shownName(), "Games");
    EXPECT_EQ(header().pageControl()->numberOfPages(), 2u);
    EXPECT_TRUE(main().isShaking());
    main().listViewController()->tableView()->setRecordsChanges(true);

    // A dot turns the header and the window to that list: the table slides the next list in
    // from the right, and the add button stops shaking for a list with an application.
    PageControl *dots = header().pageControl();
    QTest::mouseClick(dots, Qt::LeftButton, {}, dots->dotRect(1).center().toPoint());
    EXPECT_EQ(settings().integer("selectedList", -1), 1);
    EXPECT_EQ(shownName(), "Tools");
    EXPECT_EQ(page()->detailLabel()->fullString(), "1 app - $0.99");
    EXPECT_EQ(tableEffects(), QList({ TableEffect::SlideLeft, TableEffect::SlideRight }));
    EXPECT_EQ(main().listViewController()->tableView()->numberOfRows(), 1);
    EXPECT_FALSE(main().isShaking());

    // The keys turn it back once the header has been clicked.
    QTest::mouseClick(page(), Qt::LeftButton, {}, QPoint(60, 70));
    QTest::keyClick(&header(), Qt::Key_Left);
    EXPECT_EQ(settings().integer("selectedList", -1), 0);
    EXPECT_EQ(shownName(), "Games");
    EXPECT_EQ(tableEffects(), QList({ TableEffect::SlideRight, TableEffect::SlideLeft }));
    EXPECT_TRUE(main().isShaking());
}

TEST_F(MainWindowHeaderTest, TheNewListSheetMakesOneListAndTheHeaderTurnsToIt)
{
    main().addList();
    ListCreator *creator = main().listCreator();
    ASSERT_NE(creator, nullptr);
    EXPECT_TRUE(creator->isVisible());
    EXPECT_EQ(creator->windowModality(), Qt::WindowModal);
    EXPECT_FALSE(shell.listMenuItemEnabled(0));
    // The command again brings the same sheet forward.
    main().addList();
    EXPECT_EQ(main().listCreator(), creator);
    EXPECT_EQ(main().findChildren<ListCreator *>().size(), 1);

    QTest::keyClicks(creator->nameTextField(), "Errands & Chores");
    renderWithDialog(creator, "main-window-new-list");
    QTest::mouseClick(creator->createButton(), Qt::LeftButton);
    drainEvents();
    EXPECT_EQ(main().listCreator(), nullptr);
    EXPECT_TRUE(shell.listMenuItemEnabled(0));
    ASSERT_EQ(lists().lists().size(), 3u);
    EXPECT_EQ(list(2)->name(), "Errands & Chores");
    EXPECT_EQ(settings().integer("selectedList", -1), 2);
    EXPECT_EQ(header().pageControl()->numberOfPages(), 3u);
    EXPECT_EQ(shownName(), "Errands & Chores");
    EXPECT_EQ(page()->detailLabel()->fullString(), "0 apps - $0.00");

    // Escape closes the sheet without a list.
    main().addList();
    creator = main().listCreator();
    ASSERT_NE(creator, nullptr);
    QTest::keyClicks(creator->nameTextField(), "Never");
    QTest::keyClick(creator->nameTextField(), Qt::Key_Escape);
    drainEvents();
    EXPECT_EQ(main().listCreator(), nullptr);
    EXPECT_TRUE(shell.listMenuItemEnabled(0));
    EXPECT_EQ(lists().lists().size(), 3u);
    EXPECT_EQ(settings().integer("selectedList", -1), 2);
}

TEST_F(MainWindowHeaderTest, RendersTheHeaderUnderThePointerAndItsEditor)
{
    keep("100000001", "Things 3", list(0));
    keep("100000002", "Reeder", list(0));
    hover(page());
    EXPECT_TRUE(page()->shareButton()->isVisible());
    EXPECT_TRUE(page()->preferencesButton()->isVisible());
    render(window(), "main-window-header-hover");

    page()->editList();
    ListEditor *editor = page()->listEditor();
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(shell.listMenuItemEnabled(1));
    QTest::mouseClick(editor->colorWell(), Qt::LeftButton);
    EXPECT_TRUE(editor->isColorGridOpen());
    renderWithDialog(editor, "main-window-list-editor");
    editor->close();
    drainEvents();
    EXPECT_TRUE(shell.listMenuItemEnabled(1));

    // The order sheet over the window, as the List menu opens it.
    int completions = 0;
    ListOrderViewController *order
        = ListOrderViewController::present(lists(), &window(), [&] { ++completions; });
    renderWithDialog(order, "main-window-list-order");
    QTest::keyClick(order, Qt::Key_Escape);
    drainEvents();
    EXPECT_EQ(completions, 1);
}

TEST_F(MainWindowHeaderTest, AfterDeletingAListTheKeyboardIsOnTheTableOrTheAddButton)
{
    QWidget question; // the question asked before deleting, or any other window
    TableView *table = main().listViewController()->tableView();
    // The window active again before the deletion or after; the list left empty or not.
    for (const auto &[activeFirst, withApps] : { std::pair(true, false), std::pair(false, false),
                                                 std::pair(true, true), std::pair(false, true) }) {
        if (withApps && list(1)->apps().empty())
            keep("100000001", "Kept", list(1));
        List *doomed = lists().createList("Doomed");
        ASSERT_TRUE(activate(&window()));
        page()->nameImplicitControl()->setFocus(Qt::TabFocusReason); // the keyboard on its page
        ASSERT_TRUE(activate(activeFirst ? static_cast<QWidget *>(&window()) : &question));
        ASSERT_FALSE(lists().deleteList(doomed));
        ASSERT_TRUE(activate(&window()));
        QWidget *expected = withApps ? static_cast<QWidget *>(table) : main().addButton();
        EXPECT_EQ(focusRingTarget(), expected) << activeFirst << withApps;
        EXPECT_EQ(table->showsCurrentRow(), withApps);
    }
}
