#include "shell/DefaultSettings.h"

#include "core/SettingsKeys.h"
#include "platform/UserDefaults.h"
#include "support/TestServices.h"

#include <QSet>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

struct DefaultSettings : ::testing::Test
{
    test::TestServices services { { .listsController = false } };
    UserDefaults &defaults = services.settings();
};

} // namespace

TEST_F(DefaultSettings, RegistersSeventeenDefaultsWithoutOverwritingStoredValues)
{
    defaults.setValue("AppUpdateInverval", 3600);
    registerDefaultSettings(defaults);

    EXPECT_EQ(defaultSettings().size(), 17);
    QSet<QString> names;
    for (const SettingsKey *key : SettingsKeys::all())
        names.insert(key->name);
    EXPECT_EQ(names.size(), qsizetype(SettingsKeys::all().size())) << "every key spelt once";
    EXPECT_EQ(defaults.integer("AppUpdateInverval"), 3600);
    EXPECT_TRUE(defaults.boolean("AutomaticallyUpdateApps"));
    EXPECT_TRUE(defaults.boolean("multipleAppWindows"));
    EXPECT_FALSE(defaults.boolean("NotifyAboutChanges.Pricing", true));
    EXPECT_EQ(defaults.string("listSorting"), "none");
    EXPECT_EQ(defaults.string("listGrouping"), "none");
    EXPECT_EQ(defaults.integer("selectedList", -1), 0);
    EXPECT_FALSE(defaults.hasStoredValue("listSorting"));
}

TEST_F(DefaultSettings, FirstRunTakesTheCountryAndCurrencyOfTheLocale)
{
    writeFirstRunValues(defaults, QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(defaults.string("storeLocale"), "DE");
    EXPECT_EQ(defaults.string("currencyCode"), "EUR");
    ASSERT_TRUE(defaults.date("firstLaunchDate"));
    EXPECT_LE(defaults.date("firstLaunchDate")->secsTo(QDateTime::currentDateTime()), 5);
}

TEST_F(DefaultSettings, FirstRunFallsBackToTheUnitedStatesAndDollars)
{
    // The C locale has neither a country nor a currency.
    writeFirstRunValues(defaults, QLocale::c());
    EXPECT_EQ(defaults.string("storeLocale"), "US");
    EXPECT_EQ(defaults.string("currencyCode"), "USD");
}

TEST_F(DefaultSettings, FirstRunPicksTheUnitedStatesForACountryWithoutAStore)
{
    ASSERT_FALSE(storeCountryCodes().isEmpty());
    ASSERT_FALSE(storeCountryCodes().contains("AQ"));
    writeFirstRunValues(defaults, QLocale(QLocale::English, QLocale::Antarctica));
    EXPECT_EQ(defaults.string("storeLocale"), "US");
}

TEST_F(DefaultSettings, FirstRunKeepsWhatIsAlreadyStored)
{
    const QDateTime launched = QDateTime::currentDateTime().addDays(-30);
    defaults.setValue("firstLaunchDate", launched);
    defaults.setValue("storeLocale", "FR");
    defaults.setValue("currencyCode", "GBP");
    writeFirstRunValues(defaults, QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(defaults.date("firstLaunchDate")->toSecsSinceEpoch(), launched.toSecsSinceEpoch());
    EXPECT_EQ(defaults.string("storeLocale"), "FR");
    EXPECT_EQ(defaults.string("currencyCode"), "GBP");
}

TEST_F(DefaultSettings, FirstRunReplacesAFirstLaunchDateThatIsNotADate)
{
    defaults.setValue("firstLaunchDate", "yesterday");
    defaults.setValue("storeLocale", 12);
    writeFirstRunValues(defaults, QLocale(QLocale::French, QLocale::France));
    EXPECT_TRUE(defaults.date("firstLaunchDate"));
    EXPECT_EQ(defaults.string("storeLocale"), "FR");
}

TEST_F(DefaultSettings, EveryStoreCountryIsANamedTwoLetterCountryCodeListedOnce)
{
    const QList<StoreLocale> locales = storeLocales();
    ASSERT_GE(locales.size(), 100);
    QSet<QString> codes;
    for (const StoreLocale &locale : locales) {
        SCOPED_TRACE(locale.code.toStdString());
        EXPECT_FALSE(locale.country.isEmpty());
        EXPECT_EQ(locale.code.size(), 2);
        EXPECT_NE(QLocale::codeToTerritory(locale.code), QLocale::AnyTerritory);
        EXPECT_FALSE(codes.contains(locale.code));
        codes.insert(locale.code);
    }
    EXPECT_TRUE(codes.contains("US"));
}
