#include "platform/UserDefaults.h"

#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using tanvill::UserDefaults;

class UserDefaultsTest : public ::testing::Test
{
protected:
    QString path() const { return m_dir.filePath("Tanvill.conf"); }
    QTemporaryDir m_dir;
};

TEST_F(UserDefaultsTest, RegisteredDefaultsNeverOverwriteStoredValues)
{
    {
        UserDefaults defaults(path());
        defaults.setValue("AppUpdateInverval", 300);
    }
    UserDefaults defaults(path());
    defaults.registerDefaults(
        { { "AppUpdateInverval", 900 }, { "AutomaticallyUpdateApps", true } });
    EXPECT_EQ(defaults.integer("AppUpdateInverval"), 300);
    EXPECT_TRUE(defaults.boolean("AutomaticallyUpdateApps"));
    EXPECT_FALSE(defaults.hasStoredValue("AutomaticallyUpdateApps"));
}

TEST_F(UserDefaultsTest, TypedGettersSurviveAReopenAndFallBackOnUnusableValues)
{
    {
        UserDefaults defaults(path());
        defaults.setValue("flag", true);
        defaults.setValue("count", 42);
        defaults.setValue("name", "US");
        defaults.setValue("garbage", "not a number");
        defaults.setValue("when", QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5), Qt::UTC));
    }
    UserDefaults defaults(path());
    EXPECT_TRUE(defaults.boolean("flag"));
    EXPECT_EQ(defaults.integer("count"), 42);
    EXPECT_EQ(defaults.string("name"), "US");
    EXPECT_EQ(defaults.integer("garbage", 900), 900);
    EXPECT_EQ(defaults.integer("missing", 7), 7);
    EXPECT_EQ(defaults.string("missing", "USD"), "USD");
    ASSERT_TRUE(defaults.date("when").has_value());
    EXPECT_EQ(defaults.date("when")->date(), QDate(2026, 1, 2));
    EXPECT_FALSE(defaults.date("name").has_value());
}

TEST_F(UserDefaultsTest, ObserversFireAfterEveryChangeWhileTheirContextLives)
{
    UserDefaults defaults(path());
    QList<QVariant> seen;
    auto context = std::make_unique<QObject>();
    defaults.observe("selectedList", context.get(), [&](const QVariant &value) {
        EXPECT_EQ(defaults.integer("selectedList"), value.toInt());
        seen << value;
    });
    defaults.setValue("selectedList", 2);
    defaults.setValue("otherKey", 5);
    defaults.remove("selectedList");
    context.reset();
    defaults.setValue("selectedList", 3);
    ASSERT_EQ(seen.size(), 2);
    EXPECT_EQ(seen[0].toInt(), 2);
    EXPECT_FALSE(seen[1].isValid());
}

TEST_F(UserDefaultsTest, AStoredValueOfTheWrongTypeCountsAsTheRegisteredDefault)
{
    {
        QSettings file(path(), QSettings::IniFormat);
        file.setValue("AutomaticallyUpdateApps", "abc");
        file.setValue("AppUpdateInverval", "soon");
        file.setValue("selectedList", "");
        file.setValue("firstLaunchDate", "yesterday");
        file.setValue("NotifyAboutChanges.Pricing", "1");
    }
    UserDefaults defaults(path());
    const QDateTime registeredDate(QDate(2020, 5, 6), QTime(7, 8), Qt::UTC);
    defaults.registerDefaults({ { "AutomaticallyUpdateApps", true },
                                { "AppUpdateInverval", 900 },
                                { "selectedList", 2 },
                                { "firstLaunchDate", registeredDate },
                                { "NotifyAboutChanges.Pricing", false } });
    EXPECT_TRUE(defaults.boolean("AutomaticallyUpdateApps"));
    EXPECT_EQ(defaults.integer("AppUpdateInverval"), 900);
    EXPECT_EQ(defaults.number("AppUpdateInverval"), 900.0);
    EXPECT_EQ(defaults.integer("selectedList"), 2);
    EXPECT_EQ(defaults.date("firstLaunchDate"), registeredDate);
    // A readable stored value still wins over the registered one.
    EXPECT_TRUE(defaults.boolean("NotifyAboutChanges.Pricing"));
    // Without a registered default the caller's fallback answers.
    defaults.setValue("unregistered", "abc");
    EXPECT_TRUE(defaults.boolean("unregistered", true));
}
