// The add field on its own: what it makes of a text, and its buttons.
#include "controls/BorderedButton.h"
#include "lists/AddAppViewController.h"
#include "platform/Strings.h"

#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

// Records what the field hands over.
class Submissions : public QObject, public AddAppViewControllerDelegate
{
public:
    void addAppViewControllerDidAppear(AddAppViewController *) override { ++appeared; }
    void addAppViewControllerSubmittedIdentifier(AddAppViewController *,
                                                 const QString &identifier) override
    {
        identifiers << identifier;
    }
    void addAppViewControllerSubmittedAppName(AddAppViewController *, const QString &term) override
    {
        terms << term;
    }
    void addAppViewControllerDidDisappear(AddAppViewController *) override { ++disappeared; }

    QStringList identifiers;
    QStringList terms;
    int appeared = 0;
    int disappeared = 0;
};

struct Case
{
    QString text;
    // What go hands over: an identifier, or (empty) the text as a search term.
    QString identifier;
    QString goTitle;
};

} // namespace

TEST(AddField, GoHandsOverTheIdentifierOfALinkOrOfBareDigitsAndSearchesForAnythingElse)
{
    const QString add = Strings::localized("Add");
    const QString search = Strings::localized("Search");
    const std::vector<Case> cases {
        { "https://apps.apple.com/us/app/things-3/id904280696", "904280696", add },
        { "https://itunes.apple.com/gb/app/slack/id803453959?mt=12", "803453959", add },
        { "904280696", "904280696", add },
        { "1234567890", "1234567890", add },
        // Eight or eleven digits, a blank in front or a line break after: a search term.
        { "12345678", "", search },
        { "12345678901", "", search },
        { " 123456789", "", search },
        { "123456789\n", "", search },
        { "foo id123456789", "", search },
        // The first ten of a longer run of digits.
        { "ab/id1234567890123", "1234567890", add },
        // The identifier is the digits only, whatever the case of "id".
        { "ab/ID123456789", "123456789", add },
        // A link without an identifier of nine or ten digits is searched for as typed.
        { "apps.apple.com/us/", "", add },
        { "https://apps.apple.com/us/app/x/id12345", "", add },
        { "things", "", search },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        AddAppViewController field;
        Submissions submissions;
        field.setDelegate(&submissions);
        field.searchTextField()->setText(c.text);
        EXPECT_EQ(field.goButton()->title(), c.goTitle);
        EXPECT_TRUE(field.goButton()->isEnabled());
        field.go();
        if (c.identifier.isEmpty()) {
            EXPECT_EQ(submissions.terms, QStringList { c.text });
            EXPECT_TRUE(submissions.identifiers.isEmpty());
        } else {
            EXPECT_EQ(submissions.identifiers, QStringList { c.identifier });
            EXPECT_TRUE(submissions.terms.isEmpty());
        }
    }
}

TEST(AddField, GoIsOnlyOfferedForTextAndReturnUsesIt)
{
    AddAppViewController field;
    Submissions submissions;
    field.setDelegate(&submissions);
    EXPECT_FALSE(field.goButton()->isEnabled());
    QTest::keyClicks(field.searchTextField(), "x");
    EXPECT_TRUE(field.goButton()->isEnabled());
    EXPECT_EQ(field.goButton()->title(), Strings::localized("Search"));
    QTest::keyClick(field.searchTextField(), Qt::Key_Backspace);
    EXPECT_FALSE(field.goButton()->isEnabled());
    QTest::keyClick(field.searchTextField(), Qt::Key_Return);
    EXPECT_TRUE(submissions.terms.isEmpty());

    QTest::keyClicks(field.searchTextField(), "   ");
    QTest::keyClick(field.searchTextField(), Qt::Key_Return);
    EXPECT_EQ(submissions.terms, QStringList { "   " });
}

TEST(AddField, DisablingItDisablesFieldAndButtonsAndResultsRetitleCancel)
{
    AddAppViewController field;
    field.searchTextField()->setText("things");
    field.setEnabled(false);
    EXPECT_FALSE(field.searchTextField()->isEnabled());
    EXPECT_FALSE(field.goButton()->isEnabled());
    EXPECT_FALSE(field.cancelButton()->isEnabled());
    field.setEnabled(true);
    EXPECT_TRUE(field.goButton()->isEnabled());
    EXPECT_TRUE(field.cancelButton()->isEnabled());

    EXPECT_EQ(field.cancelButton()->title(), Strings::localized("Cancel"));
    field.setSearchResultsController(nullptr);
    EXPECT_EQ(field.cancelButton()->title(), Strings::localized("Done"));
}

TEST(AddField, ADelegateThatIsGoneHearsNothing)
{
    AddAppViewController field;
    auto submissions = std::make_unique<Submissions>();
    field.setDelegate(submissions.get());
    submissions.reset();
    field.searchTextField()->setText("904280696");
    field.go();
    field.viewDidAppear();
    field.viewWillDisappear();
    EXPECT_EQ(field.delegate(), nullptr);
}
