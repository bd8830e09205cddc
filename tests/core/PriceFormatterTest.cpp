#include "core/PriceFormatter.h"

#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "support/TestServices.h"

#include <gtest/gtest.h>

using namespace tanvill;

namespace {

const QString kThousand = Strings::localized("ThousandShortSuffix");
const QString kMillion = Strings::localized("MillionShortSuffix");
const QString kBillion = Strings::localized("BillionShortSuffix");

void useStore(const QString &country, const QString &currency)
{
    UserDefaults::standard().setValue("storeLocale", country);
    UserDefaults::standard().setValue("currencyCode", currency);
}

struct PriceFormatterTest : ::testing::Test
{
    test::TestServices services { { .listsController = false } };
};

} // namespace

TEST_F(PriceFormatterTest, ScalesUsDollarsFromAThousandOn)
{
    useStore("US", "USD");
    EXPECT_EQ(localizedPriceStringFromNumber(999.99, "en"), "$999.99");
    EXPECT_EQ(localizedPriceStringFromNumber(1000.0, "en"), "$1.00" + kThousand);
    EXPECT_EQ(localizedPriceStringFromNumber(2500000.0, "en"), "$2.50" + kMillion);
    EXPECT_EQ(localizedPriceStringFromNumber(3e9, "en"), "$3.00" + kBillion);
    EXPECT_EQ(localizedPriceStringFromNumber(0.0, "en"), "$0.00");
}

TEST_F(PriceFormatterTest, PutsTheScaleAfterTheEuroSignForGermany)
{
    useStore("DE", "EUR");
    const QString space(QChar(0x00A0));
    EXPECT_EQ(localizedPriceStringFromNumber(999.99, "de"), "999,99" + space + "€");
    EXPECT_EQ(localizedPriceStringFromNumber(1000.0, "de"), "1,00" + space + "€" + kThousand);
    EXPECT_EQ(localizedPriceStringFromNumber(2500000.0, "de"), "2,50" + space + "€" + kMillion);
}

TEST_F(PriceFormatterTest, FormatsExactDecimalsLikeDoubles)
{
    useStore("US", "USD");
    EXPECT_EQ(localizedPriceStringFromNumber(*Decimal::fromString("0.99"), "en"), "$0.99");
    EXPECT_EQ(localizedPriceStringFromNumber(*Decimal::fromString("999.99"), "en"), "$999.99");
    EXPECT_EQ(localizedPriceStringFromNumber(*Decimal::fromString("2500000"), "en"),
              "$2.50" + kMillion);
    EXPECT_EQ(localizedPriceStringFromNumber(*Decimal::fromString("1234.5"), "en"),
              "$1.23" + kThousand);
}

TEST_F(PriceFormatterTest, ScaledPricesKeepTheDigitsOfADollarPriceInEveryCurrency)
{
    useStore("JP", "JPY");
    const std::pair<const char *, QString> cases[] = {
        { "2308", "¥2.31" + kThousand },   { "1098", "¥1.10" + kThousand },
        { "11522", "¥11.52" + kThousand }, { "-2308", "-¥2.31" + kThousand },
        { "2500000", "¥2.50" + kMillion }, { "218", "¥218" },
    };
    for (const auto &[amount, expected] : cases) {
        // Rows show exact prices, headers totals in doubles.
        const Decimal price = *Decimal::fromString(amount);
        EXPECT_EQ(localizedPriceStringFromNumber(price, "en"), expected) << amount;
        EXPECT_EQ(localizedPriceStringFromNumber(price.toDouble(), "en"), expected) << amount;
    }
    // An application's price in its own currency, which the latest answers' need not be.
    EXPECT_EQ(localizedPriceStringInCurrency(*Decimal::fromString("1.99"), "GBP", "en"), "£1.99");
}

TEST_F(PriceFormatterTest, FallsBackToUsDollarsWhenNeitherSettingIsStored)
{
    EXPECT_EQ(localizedPriceStringFromNumber(1.99, "en"), "$1.99");
    EXPECT_EQ(localizedPriceStringFromNumber(2500000.0, "en"), "$2.50" + kMillion);
    // Settings that are not text count as missing.
    UserDefaults::standard().setValue("currencyCode", 5);
    EXPECT_EQ(localizedPriceStringFromNumber(1.99, "en"), "$1.99");
}

TEST_F(PriceFormatterTest, KeepsTheSignOfLargeNegativeAmounts)
{
    useStore("US", "USD");
    EXPECT_EQ(localizedPriceStringFromNumber(-2500.0, "en"), "-$2.50" + kThousand);
}

TEST_F(PriceFormatterTest, UsesThePreferredLanguageByDefault)
{
    useStore("US", "USD");
    EXPECT_FALSE(preferredLanguageCode().isEmpty());
    EXPECT_EQ(localizedPriceStringFromNumber(1.5),
              localizedPriceStringFromNumber(1.5, preferredLanguageCode()));
}
