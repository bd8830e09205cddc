#include "core/AppKind.h"
#include "core/Either.h"
#include "core/Theme.h"

#include <gtest/gtest.h>

#include <unordered_set>

using namespace tanvill;

TEST(AppKind, ReadsOnlyTheStoreKindStringsExactly)
{
    EXPECT_EQ(appKindFromRawValue("software"), AppKind::Phone);
    EXPECT_EQ(appKindFromRawValue("iPadSoftware"), AppKind::Pad);
    EXPECT_EQ(appKindFromRawValue("mac-software"), AppKind::Mac);
    // The search scope's name for Mac software is not a kind.
    EXPECT_FALSE(appKindFromRawValue("macSoftware"));
    EXPECT_FALSE(appKindFromRawValue("Software"));
    EXPECT_FALSE(appKindFromRawValue(""));
}

TEST(AppKind, RoundTripsAndShowsPlatformNames)
{
    for (const AppKind kind : { AppKind::Phone, AppKind::Pad, AppKind::Mac })
        EXPECT_EQ(appKindFromRawValue(rawValue(kind)), kind);
    EXPECT_EQ(description(AppKind::Phone), "iPhone");
    EXPECT_EQ(description(AppKind::Pad), "iPad");
    EXPECT_EQ(description(AppKind::Mac), "Mac");
    EXPECT_EQ(tag(AppKind::Mac), 2);
}

TEST(ThemeName, MatchesRawValuesCaseSensitively)
{
    EXPECT_EQ(themeNameFromRawValue("lightGreen"), ThemeName::LightGreen);
    EXPECT_FALSE(themeNameFromRawValue("LightGreen"));
    EXPECT_FALSE(themeNameFromRawValue(""));
    QStringList raw;
    for (const ThemeName name : allThemeNames()) {
        EXPECT_EQ(themeNameFromRawValue(rawValue(name)), name);
        raw << rawValue(name);
    }
    EXPECT_EQ(raw.join(','), "yellow,orange,pink,red,purple,navy,blue,cyan,lightGreen,green");
}

TEST(Theme, GivesOpaqueLightAndDarkColoursOfTheTable)
{
    const QColor light = Theme { ThemeName::Cyan }.lightColor();
    const QColor dark = Theme { ThemeName::Cyan }.darkColor();
    EXPECT_NEAR(light.redF(), 0.587, 1e-4);
    EXPECT_NEAR(light.greenF(), 0.91, 1e-4);
    EXPECT_NEAR(light.blueF(), 0.991, 1e-4);
    EXPECT_NEAR(dark.redF(), 0.0, 1e-4);
    EXPECT_NEAR(dark.greenF(), 0.515, 1e-4);
    EXPECT_NEAR(dark.blueF(), 0.581, 1e-4);
    EXPECT_EQ(dark.alphaF(), 1.0);
    const QColor green = Theme { ThemeName::Green }.darkColor();
    EXPECT_NEAR(green.redF(), 0.136, 1e-4);
    EXPECT_NEAR(green.blueF(), 0.127, 1e-4);
}

namespace {
struct Named
{
    QString name;
    QString description() const { return name; }
    friend bool operator==(const Named &, const Named &) = default;
};
} // namespace

template<> struct std::hash<Named>
{
    std::size_t operator()(const Named &value) const noexcept { return qHash(value.name); }
};

TEST(Either, DifferentCasesAreNeverEqualEvenWhenDescribedAlike)
{
    using Row = Either<QString, QString>;
    EXPECT_NE(Row::This("Games"), Row::That("Games"));
    EXPECT_EQ(Row::This("Games").description(), Row::That("Games").description());
    EXPECT_EQ(Row::That("Games"), Row::That("Games"));
    EXPECT_NE(Row::That("Games"), Row::That("Tools"));
}

TEST(Either, HashesAndDescribesItsPayload)
{
    using Value = Either<Named, QString>;
    std::unordered_set<Value> set { Value::This({ "a" }), Value::That("a"), Value::This({ "a" }) };
    EXPECT_EQ(set.size(), 2u);
    EXPECT_EQ(Value::That("Utilities").description(), "Utilities");
    EXPECT_EQ(Value::That("x").hash(), std::hash<QString> {}("x"));
}

TEST(Either, DescribesARecordPayloadByItsOwnDescription)
{
    const Named notes { "Notes" };
    EXPECT_EQ((Either<const Named *, QString>::This(&notes).description()), "Notes");
    EXPECT_EQ((Either<Named, QString>::This(notes).description()), "Notes");
}
