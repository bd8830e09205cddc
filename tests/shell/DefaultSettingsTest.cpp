#include "shell/DefaultSettings.h"

#include "platform/UserDefaults.h"

#include <gtest/gtest.h>

using namespace tanvill;

TEST(DefaultSettings, RegistersSeventeenDefaultsWithoutOverwritingStoredValues)
{
    UserDefaults &defaults = UserDefaults::standard();
    defaults.setValue("AppUpdateInverval", 3600);
    registerDefaultSettings();

    EXPECT_EQ(defaultSettings().size(), 17);
    EXPECT_EQ(defaults.integer("AppUpdateInverval"), 3600);
    EXPECT_TRUE(defaults.boolean("AutomaticallyUpdateApps"));
    EXPECT_TRUE(defaults.boolean("multipleAppWindows"));
    EXPECT_FALSE(defaults.boolean("NotifyAboutChanges.Pricing", true));
    EXPECT_EQ(defaults.string("listSorting"), "none");
    EXPECT_EQ(defaults.string("listGrouping"), "none");
    EXPECT_EQ(defaults.integer("selectedList", -1), 0);
    EXPECT_FALSE(defaults.hasStoredValue("listSorting"));
}

TEST(DefaultSettings, FirstRunTakesTheCountryAndCurrencyOfTheLocale)
{
    writeFirstRunValues(QLocale(QLocale::German, QLocale::Germany));
    UserDefaults &defaults = UserDefaults::standard();
    EXPECT_EQ(defaults.string("storeLocale"), "DE");
    EXPECT_EQ(defaults.string("currencyCode"), "EUR");
    ASSERT_TRUE(defaults.date("firstLaunchDate"));
    EXPECT_LE(defaults.date("firstLaunchDate")->secsTo(QDateTime::currentDateTime()), 5);
}

TEST(DefaultSettings, FirstRunFallsBackToTheUnitedStatesAndDollars)
{
    // The C locale has neither a country nor a currency.
    writeFirstRunValues(QLocale::c());
    EXPECT_EQ(UserDefaults::standard().string("storeLocale"), "US");
    EXPECT_EQ(UserDefaults::standard().string("currencyCode"), "USD");
}

TEST(DefaultSettings, FirstRunPicksTheUnitedStatesForACountryWithoutAStore)
{
    ASSERT_FALSE(storeCountryCodes().isEmpty());
    ASSERT_FALSE(storeCountryCodes().contains("AQ"));
    writeFirstRunValues(QLocale(QLocale::English, QLocale::Antarctica));
    EXPECT_EQ(UserDefaults::standard().string("storeLocale"), "US");
}

TEST(DefaultSettings, FirstRunKeepsWhatIsAlreadyStored)
{
    UserDefaults &defaults = UserDefaults::standard();
    const QDateTime launched = QDateTime::currentDateTime().addDays(-30);
    defaults.setValue("firstLaunchDate", launched);
    defaults.setValue("storeLocale", "FR");
    defaults.setValue("currencyCode", "GBP");
    writeFirstRunValues(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(defaults.date("firstLaunchDate")->toSecsSinceEpoch(), launched.toSecsSinceEpoch());
    EXPECT_EQ(defaults.string("storeLocale"), "FR");
    EXPECT_EQ(defaults.string("currencyCode"), "GBP");
}

TEST(DefaultSettings, FirstRunReplacesAFirstLaunchDateThatIsNotADate)
{
    UserDefaults::standard().setValue("firstLaunchDate", "yesterday");
    UserDefaults::standard().setValue("storeLocale", 12);
    writeFirstRunValues(QLocale(QLocale::French, QLocale::France));
    EXPECT_TRUE(UserDefaults::standard().date("firstLaunchDate"));
    EXPECT_EQ(UserDefaults::standard().string("storeLocale"), "FR");
}
