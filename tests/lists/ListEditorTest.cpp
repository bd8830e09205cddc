// The list editor popover and the new-list sheet: live renaming and recolouring, the grid of
// ten colours, what closing does (an emptied name put back, the edit saved and announced
// once), and creating exactly one list or none.
#include "lists/ListEditor.h"
#include "ListsTestSupport.h"
#include "controls/ColorGridView.h"
#include "controls/KeyboardFocus.h"
#include "core/TextLimits.h"
#include "lists/ListCreator.h"
#include "platform/NotificationCenter.h"

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace tanvill;

namespace {

struct RecordingDelegate : QObject, ListEditorDelegate
{
    void listEditorDidAppear(ListEditor *) override { ++appeared; }
    void listEditorDidDisappear(ListEditor *) override { ++disappeared; }
    void listEditorDidEditList(ListEditor *, List *list) override { names << list->name(); }

    int appeared = 0;
    int disappeared = 0;
    QStringList names;
};

class ListEditorTest : public test::ListsFixture
{
protected:
    ListEditorTest()
    {
        NotificationCenter::defaultCenter().addObserver(
            ListEditorDidUpateListNotification, &observerContext,
            [this](const Notification &notification) {
                ++editorNotifications;
                EXPECT_EQ(notification.sender, nullptr);
                EXPECT_TRUE(notification.userInfo.isEmpty());
            });
    }

    ListEditor *openEditor(List *list)
    {
        anchor.resize(200, 40);
        anchor.show();
        auto *editor = new ListEditor(lists(), &anchor);
        editor->setAnimationDuration(0);
        editor->setList(list);
        editor->setDelegate(&delegate);
        editor->popUp(&anchor);
        return editor;
    }

    // Presses and lets go on a swatch of the open grid.
    static void clickSwatch(ListEditor *editor, IndexPath path)
    {
        ColorGridView *grid = editor->colorWell()->colorGridView();
        const QPoint at = ColorGridView::cellFrame(path).center();
        QTest::mousePress(grid, Qt::LeftButton, {}, at);
        QTest::mouseRelease(grid, Qt::LeftButton, {}, at);
    }

    QWidget anchor;
    RecordingDelegate delegate;
    int editorNotifications = 0;
};

} // namespace

TEST_F(ListEditorTest, GridOffersTheTenColoursInRowsOfSixAndFour)
{
    List *list = makeLists({ { "Work", ThemeName::Red } }).front();
    ListEditor *editor = openEditor(list);
    ColorWell *well = editor->colorWell();
    EXPECT_EQ(editor->numberOfRowsInColorWell(well), 2u);
    EXPECT_EQ(editor->numberOfColumnsInColorWell(well), 6u);
    EXPECT_EQ(editor->selectedColor(), Theme { ThemeName::Red });

    QTest::mouseClick(well, Qt::LeftButton);
    ASSERT_TRUE(editor->isColorGridOpen());
    const struct
    {
        IndexPath path;
        std::optional<ThemeName> color;
        QString stored;
    } cases[] = {
        { { 0, 0 }, ThemeName::Yellow, "yellow" },
        { { 5, 0 }, ThemeName::Navy, "navy" },
        { { 1, 1 }, ThemeName::Cyan, "cyan" },
        { { 2, 1 }, ThemeName::LightGreen, "lightGreen" },
        { { 4, 1 }, std::nullopt, "lightGreen" },
        { { 5, 1 }, std::nullopt, "lightGreen" },
        { { 0, 2 }, std::nullopt, "lightGreen" },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << c.path.column << "," << c.path.row);
        const std::optional<QColor> expected
            = c.color ? std::optional(Theme { *c.color }.lightColor()) : std::nullopt;
        EXPECT_EQ(editor->colorAt(well, c.path), expected);
        clickSwatch(editor, c.path);
        EXPECT_EQ(list->color(), c.stored);
    }
    EXPECT_EQ(delegate.names.size(), 1 + 4); // the load writes the colour back once
    test::saveRender(editor, "list-editor-grid-open");

    QTest::mouseClick(well, Qt::LeftButton);
    EXPECT_FALSE(well->isColorGridShown());
    editor->close();
}

TEST_F(ListEditorTest, TypingRenamesTheListAtEveryKeystroke)
{
    List *list = makeLists({ { "Work", ThemeName::Red } }).front();
    ListEditor *editor = openEditor(list);
    EXPECT_EQ(editor->nameTextField()->text(), "Work");
    EXPECT_EQ(delegate.appeared, 1);
    delegate.names.clear();

    editor->nameTextField()->clear();
    QTest::keyClicks(editor->nameTextField(), "Ab");
    EXPECT_EQ(delegate.names, QStringList({ "A", "Ab" }));
    EXPECT_EQ(list->name(), "Ab");

    QPointer<ListEditor> guard(editor);
    QTest::keyClick(editor->nameTextField(), Qt::Key_Return);
    EXPECT_TRUE(guard.isNull() || !guard->isVisible());
    EXPECT_EQ(list->name(), "Ab");
    EXPECT_EQ(editorNotifications, 1);
    EXPECT_EQ(delegate.disappeared, 1);
}

TEST_F(ListEditorTest, DownFromTheFirstRowsLastColoursGoesToTheNearestAndEscapeGoesBack)
{
    for (const ThemeName start : { ThemeName::Purple, ThemeName::Navy }) {
        List *list = makeLists({ { "Work", start } }).back();
        ColorWell *well = openEditor(list)->colorWell();
        for (const Qt::Key key : { Qt::Key_Space, Qt::Key_Down })
            QTest::keyClick(well, key);
        EXPECT_EQ(list->color(), "green");
        QTest::keyClick(well, Qt::Key_Escape);
        EXPECT_EQ(list->color(), rawValue(start));
        QTest::keyClick(well, Qt::Key_Escape);
    }
}

TEST_F(ListEditorTest, AnEmptiedNameIsPutBackAndTheEditIsSavedOnClose)
{
    List *list = makeLists({ { "Work", ThemeName::Red } }).front();
    ObjectContext &context = *lists().managedObjectContext();
    ASSERT_TRUE(
        test::waitFor([&] { return !context.hasChanges() && !context.hasChangesInFlight(); }));

    ListEditor *editor = openEditor(list);
    QTest::mouseClick(editor->colorWell(), Qt::LeftButton);
    clickSwatch(editor, { 1, 1 });
    editor->nameTextField()->selectAll();
    QTest::keyClick(editor->nameTextField(), Qt::Key_Backspace);
    ASSERT_EQ(list->name(), "");
    delegate.names.clear();

    QTest::keyClick(editor, Qt::Key_Escape);
    EXPECT_EQ(list->name(), "Work");
    EXPECT_EQ(list->color(), "cyan");
    EXPECT_EQ(delegate.names, QStringList({ "Work" }));
    EXPECT_EQ(editorNotifications, 1);
    EXPECT_EQ(delegate.disappeared, 1);
    // On its way to the file at once, not at the next save of something else.
    EXPECT_FALSE(context.hasChanges());
    EXPECT_TRUE(test::waitFor([&] { return !context.hasChangesInFlight(); }));
}

TEST_F(ListEditorTest, NewListSheetStartsOnARandomColourAndCreatesOneList)
{
    makeLists({ { "Home" }, { "Work" } });
    QWidget window;
    window.resize(500, 400);
    window.show();
    auto *creator = new ListCreator(lists(), &window);
    creator->setAnimationDuration(0);
    QList<quint32> bounds;
    QList<quint32> draws { 1, 3 };
    creator->setRandomSource([&](quint32 bound) {
        bounds << bound;
        return draws.takeFirst();
    });
    creator->setDelegate(&delegate);
    QPointer<ListCreator> guard(creator);
    creator->open();
    EXPECT_EQ(bounds, QList<quint32>({ 2, 4 }));
    EXPECT_EQ(creator->selectedColor(), Theme { ThemeName::Green });
    EXPECT_EQ(delegate.appeared, 1);
    EXPECT_FALSE(creator->createButton()->isEnabled());
    QTest::keyClick(creator->nameTextField(), Qt::Key_Return); // no name: nothing
    EXPECT_TRUE(creator->isVisible());

    QTest::keyClicks(creator->nameTextField(), "Errands");
    EXPECT_TRUE(creator->createButton()->isEnabled());
    EXPECT_EQ(lists().lists().size(), 2u);
    QTest::mouseClick(creator->colorWell(), Qt::LeftButton);
    test::saveRender(creator, "list-creator-grid-open");

    // A double click makes one list.
    QTest::mouseClick(creator->createButton(), Qt::LeftButton);
    if (guard)
        QTest::mouseClick(creator->createButton(), Qt::LeftButton);
    creator = nullptr;
    const std::vector<List *> after = lists().lists();
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[2]->name(), "Errands");
    EXPECT_EQ(after[2]->color(), "green");
    EXPECT_EQ(selectedList(), 2);
    EXPECT_TRUE(guard.isNull() || !guard->isVisible());
    EXPECT_EQ(delegate.disappeared, 1);
    EXPECT_EQ(editorNotifications, 0);
}

TEST_F(ListEditorTest, NewListSheetWorksFromTheKeyboardColourWellIncluded)
{
    makeLists({ { "Home" } });
    QWidget window;
    window.show();
    auto *creator = new ListCreator(lists(), &window);
    creator->setAnimationDuration(0);
    creator->setRandomSource([](quint32) { return 0u; });
    creator->open();
    QApplication::setActiveWindow(creator);
    QTest::keyClicks(creator->nameTextField(), "Errands");
    QTest::keyClick(creator->nameTextField(), Qt::Key_Tab);
    ASSERT_TRUE(creator->colorWell()->hasFocus());
    EXPECT_EQ(focusRingTarget(), creator->colorWell()) << "the focus is marked";
    ColorWell *well = creator->colorWell();
    // The ring follows the arrows; Return, Space and Escape (undoing them) close the grid only.
    const struct
    {
        Qt::Key key;
        bool open;
        ThemeName color;
    } steps[]
        = { { Qt::Key_Space, true, ThemeName::Yellow }, { Qt::Key_Right, true, ThemeName::Orange },
            { Qt::Key_Down, true, ThemeName::Cyan },    { Qt::Key_Return, false, ThemeName::Cyan },
            { Qt::Key_Space, true, ThemeName::Cyan },   { Qt::Key_Up, true, ThemeName::Orange },
            { Qt::Key_Escape, false, ThemeName::Cyan } };
    for (const auto &step : steps) {
        QTest::keyClick(well, step.key);
        EXPECT_EQ(creator->isColorGridOpen(), step.open) << step.key;
        EXPECT_EQ(creator->selectedColor(), Theme { step.color }) << step.key;
        for (const ColorGridView::Cell &cell : well->colorGridView()->cells())
            EXPECT_TRUE(!step.open
                        || cell.selected == (cell.indexPath == well->selectedIndexPath()));
    }
    ASSERT_TRUE(creator->isVisible());
    ASSERT_EQ(lists().lists().size(), 1u);
    // Return in the name field presses Create.
    QTest::keyClick(creator->colorWell(), Qt::Key_Backtab);
    ASSERT_EQ(QApplication::focusWidget(), creator->nameTextField());
    QTest::keyClick(creator->nameTextField(), Qt::Key_Return);
    ASSERT_EQ(lists().lists().size(), 2u);
    EXPECT_EQ(lists().lists()[1]->color(), "cyan");
}

TEST_F(ListEditorTest, NewListSheetClosesWithoutAListOnEscapeOrCancel)
{
    makeLists({ { "Home" } });
    QWidget window;
    window.show();
    for (const bool escape : { true, false }) {
        auto *creator = new ListCreator(lists(), &window);
        creator->setDelegate(&delegate);
        QPointer<ListCreator> guard(creator);
        creator->open();
        QTest::keyClicks(creator->nameTextField(), "Never");
        if (escape)
            QTest::keyClick(creator->nameTextField(), Qt::Key_Escape);
        else
            QTest::mouseClick(creator->cancelButton(), Qt::LeftButton);
        EXPECT_TRUE(guard.isNull() || !guard->isVisible());
    }
    EXPECT_EQ(lists().lists().size(), 1u);
    EXPECT_EQ(delegate.appeared, 2);
    EXPECT_EQ(delegate.disappeared, 2);
    EXPECT_EQ(editorNotifications, 0);
}

TEST_F(ListEditorTest, ALongNameIsTakenAsFarAsItIsKeptAndReadBackAsTyped)
{
    List *renamed = makeLists({ { "Work" } }).front();
    // Pasted, as such a name would be, with a character of two code units across the limit.
    const QString kept(TextLimits::kShortText - 1, QLatin1Char('w'));
    QApplication::clipboard()->setText(kept + QString::fromUtf8("😀") + QString(500, 'x'));
    ListEditor *editor = openEditor(renamed);
    editor->nameTextField()->selectAll();
    QTest::keySequence(editor->nameTextField(), QKeySequence::Paste);
    QTest::keyClick(editor->nameTextField(), Qt::Key_Return);
    EXPECT_EQ(renamed->name(), kept);
    EXPECT_EQ(services.reopenListsController().lists().front()->name(), kept);
}
