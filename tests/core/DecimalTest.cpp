#include "core/Decimal.h"

#include <gtest/gtest.h>

using tanvill::Decimal;

TEST(Decimal, KeepsStorePricesExact)
{
    EXPECT_EQ(Decimal::fromDouble(0.99)->toString(), "0.99");
    EXPECT_EQ(Decimal::fromDouble(4.99)->toString(), "4.99");
    EXPECT_EQ(Decimal::fromDouble(1000)->toString(), "1000");
    EXPECT_EQ(Decimal::fromDouble(-2.5)->toString(), "-2.5");
    EXPECT_EQ(Decimal::fromString("0.10")->toString(), "0.1");
    EXPECT_EQ(Decimal::fromString("0.05")->toDouble(), 0.05);
    EXPECT_EQ(Decimal::fromString("007.000")->toString(), "7");
}

TEST(Decimal, ReadsEverySpellingOfANumber)
{
    const std::pair<const char *, const char *> cases[] = {
        { "-0.00", "0" },
        { ".5", "0.5" },
        { "5.", "5" },
        { "+1.50", "1.5" },
        { " 2.50 ", "2.5" },
        { "-12.340", "-12.34" },
        { "0000000000000000000001", "1" },
        { "123456789012345678", "123456789012345678" },
        { "1000", "1000" },
    };
    for (const auto &[text, value] : cases) {
        const std::optional<Decimal> decimal = Decimal::fromString(text);
        ASSERT_TRUE(decimal) << text;
        EXPECT_EQ(decimal->toString(), value) << text;
    }
    for (const char *text : { "-", "-.", "1.2.3", "--1", "1-", "1234567890123456789" })
        EXPECT_FALSE(Decimal::fromString(text)) << text;
}

TEST(Decimal, ComparesValuesNotRepresentations)
{
    EXPECT_EQ(*Decimal::fromString("1.50"), *Decimal::fromString("1.5"));
    EXPECT_LT(*Decimal::fromString("0.99"), *Decimal::fromString("1"));
    EXPECT_GT(*Decimal::fromString("-0.5"), *Decimal::fromString("-1"));
}

TEST(Decimal, RefusesWhatIsNotAPlainNumber)
{
    EXPECT_FALSE(Decimal::fromString("abc"));
    EXPECT_FALSE(Decimal::fromString("1e5"));
    EXPECT_FALSE(Decimal::fromString(""));
    EXPECT_FALSE(Decimal::fromString("."));
    EXPECT_FALSE(Decimal::fromString("1234567890123456789012"));
    EXPECT_FALSE(Decimal::fromDouble(std::numeric_limits<double>::quiet_NaN()));
    EXPECT_FALSE(Decimal::fromDouble(std::numeric_limits<double>::infinity()));
}

TEST(Decimal, ConvertsToTheNearestDouble)
{
    // The text of the exact value parses to the nearest double; the conversion must agree.
    for (const qint64 units :
         { qint64(1), qint64(99), qint64(199), qint64(123456789), qint64(9007199254740993),
           qint64(-4999), qint64(100000000000000001) }) {
        for (int scale = 0; scale <= 18; ++scale) {
            const Decimal value = Decimal::fromUnits(units, scale);
            EXPECT_EQ(value.toDouble(), value.toString().toDouble()) << units << "e-" << scale;
        }
    }
    EXPECT_EQ(Decimal::fromString("0.1")->toDouble(), 0.1);
    EXPECT_EQ(Decimal::fromString("4.35")->toDouble(), 4.35);
}
