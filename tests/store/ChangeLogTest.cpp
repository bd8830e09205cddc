#include "store/ChangeLog.h"
#include "core/PriceFormatter.h"
#include "platform/Strings.h"
#include "support/TestServices.h"

#include <QLocale>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

Decimal price(const char *text)
{
    return *Decimal::fromString(QString::fromLatin1(text));
}

QStringList phrases(const QString &prefix, int count)
{
    QStringList result;
    for (int i = 1; i <= count; ++i)
        result << Strings::localized(prefix + QString::number(i));
    return result;
}

struct ChangeLogTest : ::testing::Test
{
    ChangeLogTest() { QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates)); }
    test::TestServices services { { .listsController = false } };
};

} // namespace

TEST_F(ChangeLogTest, PriceDropsAreGoodNewsAndZeroReadsFree)
{
    const QStringList positive = phrases("PositivePriceChange", 6);
    const QStringList negative = phrases("NegativePriceChange", 5);
    QSet<QString> seen;
    for (int i = 0; i < 60; ++i) {
        const QString drop = ChangeLog::priceChangeDescription({ price("0.99"), price("0.00") });
        bool matched = false;
        for (const QString &phrase : positive) {
            if (drop
                == Strings::format(Strings::localized("PriceChangePositiveDescription"),
                                   { phrase, "$0.99", Strings::localized("free") })) {
                matched = true;
                seen.insert(phrase);
            }
        }
        ASSERT_TRUE(matched) << drop.toStdString();
    }
    EXPECT_GT(seen.size(), 1) << "the phrase is picked at random";

    const QString rise = ChangeLog::priceChangeDescription({ price("0"), price("1.99") });
    bool matched = false;
    for (const QString &phrase : negative)
        matched = matched
            || rise
                == Strings::format(Strings::localized("PriceChangeNegativeDescription"),
                                   { phrase, Strings::localized("free"), "$1.99" });
    EXPECT_TRUE(matched) << rise.toStdString();

    const QString same = ChangeLog::priceChangeDescription({ price("2.99"), price("2.990") });
    EXPECT_TRUE(same.contains("$2.99")) << same.toStdString();
    EXPECT_EQ(ChangeLog::priceChangeDescription({ price("1000"), price("2.5") }, false),
              Strings::format(Strings::localized("PriceChangeShortDescription"),
                              { "$1,000.00", "$2.50" }));
}

TEST_F(ChangeLogTest, RatingTextsPerFormAndRoundingHalfToEven)
{
    EXPECT_EQ(ChangeLog::ratingText(4.5f), QString::fromUtf8("4.5★"));
    EXPECT_EQ(ChangeLog::ratingText(4.0f), QString::fromUtf8("4★"));
    EXPECT_EQ(ChangeLog::ratingText(4.25f), QString::fromUtf8("4.2★"));
    EXPECT_EQ(ChangeLog::ratingText(3.7f), QString::fromUtf8("3.7★"));

    EXPECT_EQ(ChangeLog::ratingChangeDescription({ 4.5f, 0.0f }),
              Strings::localizedFormat("NoRatingLongDescription", { QString::fromUtf8("4.5★") }));
    EXPECT_EQ(ChangeLog::ratingChangeDescription({ 4.5f, 0.0f }, false),
              Strings::localizedFormat("NoRatingShortDescription", { QString::fromUtf8("4.5★") }));
    const QString rated = ChangeLog::ratingChangeDescription({ 0.0f, 4.0f }, false);
    EXPECT_EQ(rated,
              Strings::localizedFormat("RatingAvailableDescription", { QString::fromUtf8("4★") }));
    EXPECT_EQ(ChangeLog::ratingChangeDescription({ 0.0f, 4.0f }), rated + ".") << "a sentence";

    const QString shortText = ChangeLog::ratingChangeDescription({ 3.5f, 4.0f }, false);
    EXPECT_EQ(shortText,
              Strings::localizedFormat("RatingChangeLongDescription",
                                       { QString::fromUtf8("3.5★"), QString::fromUtf8("4★") }));
    EXPECT_EQ(ChangeLog::ratingChangeDescription({ 3.5f, 4.0f }, true),
              shortText + Strings::localized("UpdateNotificationSubtitleSuffix"));
}

TEST_F(ChangeLogTest, VersionTextNamesBothVersionsAsStoredAndEndsLikeTheOthers)
{
    const QString text = ChangeLog::versionChangeDescription({ "1.0 <b>", "2.0" }, false);
    EXPECT_EQ(text, Strings::localizedFormat("VersionChangeDescription", { "1.0 <b>", "2.0" }));
    EXPECT_EQ(ChangeLog::versionChangeDescription({ "1.0 <b>", "2.0" }), text + ".");
}

TEST_F(ChangeLogTest, LabelsFillFromTheTopInPriceRatingVersionOrder)
{
    struct Case
    {
        bool price, rating, version;
        QStringList expectedKinds; // per label: "price", "rating", "version" or "untouched"
        int n;
    };
    const std::vector<Case> cases {
        { true, true, true, { "price", "rating", "version" }, 3 },
        { true, true, false, { "price", "rating", "untouched" }, 2 },
        { true, false, true, { "price", "version", "untouched" }, 2 },
        { false, true, true, { "rating", "version", "untouched" }, 2 },
        { false, false, true, { "version", "untouched", "untouched" }, 1 },
        { false, false, false, { "untouched", "untouched", "untouched" }, 1 },
    };
    for (const Case &c : cases) {
        AppUpdate update("App",
                         c.price ? std::optional(Change<Decimal> { price("1"), price("2") })
                                 : std::nullopt,
                         c.rating ? std::optional(Change<float> { 3.0f, 4.0f }) : std::nullopt,
                         c.version ? std::optional(Change<QString> { "1", "2" }) : std::nullopt);
        QStringList labels { "untouched", "untouched", "untouched" };
        QStringList order;
        int completed = -1;
        auto setter = [&](int i) {
            return [&, i](const QString &text) {
                labels[i] = text.contains("$")              ? "price"
                    : text.contains(QString::fromUtf8("★")) ? "rating"
                                                            : "version";
            };
        };
        auto closure = [&](const char *name) {
            return [&, name] {
                order << name;
            };
        };
        ChangeLog::updateDescription(setter(0), closure("1"), setter(1), closure("2"), setter(2),
                                     closure("3"), update, true, [&](int n) { completed = n; });
        EXPECT_EQ(labels, c.expectedKinds);
        EXPECT_EQ(completed, c.n);
        EXPECT_EQ(order.size(), c.n);
    }
}

TEST_F(ChangeLogTest, AMissingLabelKeepsItsPosition)
{
    AppUpdate update("App", Change<Decimal> { price("1"), price("2") }, std::nullopt,
                     Change<QString> { "1.0", "1.1" });
    QString first;
    QString third = "untouched";
    int closuresRun = 0;
    ChangeLog::updateDescription([&](const QString &t) { first = t; }, {}, {},
                                 [&] { ++closuresRun; }, [&](const QString &t) { third = t; },
                                 [&] { ++closuresRun; }, update, false);
    EXPECT_TRUE(first.contains("$1.00"));
    EXPECT_EQ(third, "untouched") << "the version text went to the missing second label";
    EXPECT_EQ(closuresRun, 1) << "closures 1 and 2 run; only 2 was given";
}

TEST_F(ChangeLogTest, ChangeTextsWritePricesInTheirOwnCurrencyAndAUsStoresInDollarsUnderEnUsAndC)
{
    for (const char *name : { "en_US", "C" }) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        EXPECT_EQ(localizedPriceStringFromNumber(price("2.99"),
                                                 preferredLanguageCode(QLocale().uiLanguages())),
                  "$2.99");
        EXPECT_EQ(ChangeLog::priceChangeDescription({ price("2.99"), price("0.99") }, false),
                  Strings::localizedFormat("PriceChangeShortDescription", { "$2.99", "$0.99" }));
        EXPECT_EQ(
            ChangeLog::priceChangeDescription({ price("1098"), price("980") }, false, "GBP"),
            Strings::localizedFormat("PriceChangeShortDescription", { "£1,098.00", "£980.00" }));
    }
}
