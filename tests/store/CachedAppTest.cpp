#include "store/CachedApp.h"
#include "core/TextLimits.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <vector>

using namespace tanvill;
using json = nlohmann::json;

namespace {

json fixture(const QString &name)
{
    QFile file(test::fixturesDir() + "/store/" + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
    return json::parse(file.readAll().toStdString());
}

std::optional<CachedApp> firstResult(const QString &name)
{
    return CachedApp::fromJson(fixture(name)["results"][0]);
}

// A result that holds every field the parser needs.
json completeResult()
{
    return json { { "kind", "software" },
                  { "trackName", "Name" },
                  { "description", "Text" },
                  { "trackViewUrl", "https://store.example/app/id42" },
                  { "artistName", "Maker" },
                  { "averageUserRating", 4.5 },
                  { "price", 0.99 },
                  { "artworkUrl512", "https://store.example/icon.png" },
                  { "screenshotUrls", { "https://store.example/1.png" } },
                  { "trackId", 42 },
                  { "version", "1.0" },
                  { "currency", "USD" } };
}

} // namespace

TEST(CachedApp, RealLookupRepliesParse)
{
    const auto facebook = firstResult("lookup/iphone-free-universal.json");
    ASSERT_TRUE(facebook);
    EXPECT_EQ(facebook->name, "Facebook");
    EXPECT_EQ(facebook->identifier, "284882215");
    EXPECT_EQ(facebook->kind, AppKind::Phone);
    EXPECT_EQ(facebook->version, "15.0");
    EXPECT_EQ(facebook->price, 0.0);
    EXPECT_FLOAT_EQ(facebook->rating, 3.5f);
    EXPECT_EQ(facebook->screenshotUrls.size(), 5);
    EXPECT_EQ(facebook->currencyCode, "USD");
    EXPECT_TRUE(facebook->iconUrl.endsWith(".png"));

    const auto french = firstResult("lookup/iphone-fr-store.json");
    ASSERT_TRUE(french);
    EXPECT_EQ(french->currencyCode, "EUR");
    EXPECT_EQ(french->developer, "Orange");
    EXPECT_TRUE(french->name.startsWith("118 712"));

    const auto things = firstResult("lookup/mac-things.json");
    ASSERT_TRUE(things);
    EXPECT_EQ(things->kind, AppKind::Mac);
    EXPECT_EQ(things->price, 49.99);
    EXPECT_EQ(things->developer, "Cultured Code GmbH & Co. KG");
    EXPECT_EQ(things->screenshotUrls.size(), 6);

    for (const char *name : { "lookup/mac-slack.json", "lookup/mac-fantastical.json" }) {
        const auto app = firstResult(name);
        ASSERT_TRUE(app) << name;
        EXPECT_EQ(app->kind, AppKind::Mac) << name;
    }
    EXPECT_EQ(firstResult("lookup/mac-fantastical.json")->price, 24.99);
}

TEST(CachedApp, RealSearchRepliesParseEveryResult)
{
    const struct
    {
        const char *file;
        size_t count;
    } replies[] = { { "search/software-37-results.json", 37 },
                    { "search/mac-slack.json", 39 },
                    { "search/mac-things.json", 12 } };
    for (const auto &reply : replies) {
        size_t parsed = 0;
        const json document = fixture(reply.file);
        for (const json &element : document["results"])
            parsed += CachedApp::fromJson(element).has_value();
        EXPECT_EQ(parsed, reply.count) << reply.file;
    }
}

TEST(CachedApp, ACurrencyThatIsNotACodeCountsAsMissing)
{
    json result = completeResult();
    for (const json &odd : { json(nullptr), json(""), json(978), json("EURO"), json("€") }) {
        result["currency"] = odd;
        const auto app = CachedApp::fromJson(result);
        ASSERT_TRUE(app);
        EXPECT_EQ(app->currencyCode, "USD") << odd.dump();
    }
    result["currency"] = "eur";
    EXPECT_EQ(CachedApp::fromJson(result)->currencyCode, "EUR");
}

TEST(CachedApp, FallbacksForMissingAndOddlyTypedFields)
{
    json result = completeResult();
    result.erase("averageUserRating");
    result["averageUserRatingForCurrentVersion"] = 4.5;
    result.erase("currency");
    result["trackId"] = "42";
    result["description"] = nullptr;
    result["price"] = "0.99";
    result["version"] = 2;
    auto app = CachedApp::fromJson(result);
    ASSERT_TRUE(app);
    EXPECT_FLOAT_EQ(app->rating, 4.5f);
    EXPECT_EQ(app->currencyCode, "USD");
    EXPECT_EQ(app->identifier, "42");
    EXPECT_EQ(app->description, "");
    EXPECT_EQ(app->price, 0.99);
    EXPECT_EQ(app->version, "2");

    result.erase("averageUserRatingForCurrentVersion");
    result.erase("description");
    result["artistName"] = "";
    app = CachedApp::fromJson(result);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->rating, 0.0f);
    EXPECT_EQ(app->description, "");
    EXPECT_EQ(app->developer, "");
}

TEST(CachedApp, ControlCharactersAreTakenOutOfEveryText)
{
    json result = completeResult();
    result["trackName"] = std::string("Na\0me\x07", 6);
    result["version"] = "1.0\x1b";
    result["artistName"] = "Ma\u009fker";
    result["description"] = "line\nnext\ttab\r\n\x7f"
                            "end";
    result["screenshotUrls"] = { "https://store.example/1.png\x01", "javascript:alert(1)",
                                 "https://store.example/2.png" };
    const auto app = CachedApp::fromJson(result);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->name, "Name");
    EXPECT_EQ(app->version, "1.0");
    EXPECT_EQ(app->developer, "Maker");
    EXPECT_EQ(app->description, "line\nnext\ttab\r\nend");
    EXPECT_EQ(app->screenshotUrls,
              QStringList({ "https://store.example/1.png", "https://store.example/2.png" }));

    result["trackName"] = std::string("\0\x01", 2);
    EXPECT_FALSE(CachedApp::fromJson(result));
}

TEST(CachedApp, ScreenshotsFallBackToTheTabletOnesAndMakeATabletApp)
{
    json result = completeResult();
    result["kind"] = "mac-software";
    result["screenshotUrls"] = json::array();
    result["ipadScreenshotUrls"] = { "https://store.example/a", "https://store.example/b" };
    auto app = CachedApp::fromJson(result);
    ASSERT_TRUE(app);
    EXPECT_EQ(app->kind, AppKind::Pad);
    EXPECT_EQ(app->screenshotUrls,
              QStringList({ "https://store.example/a", "https://store.example/b" }));

    result.erase("screenshotUrls");
    result["ipadScreenshotUrls"] = json::array();
    app = CachedApp::fromJson(result);
    ASSERT_TRUE(app);
    EXPECT_TRUE(app->screenshotUrls.isEmpty());

    result["screenshotUrls"] = { "a", 7 }; // not all texts: no list
    result.erase("ipadScreenshotUrls");
    EXPECT_FALSE(CachedApp::fromJson(result));
}

TEST(CachedApp, UnusableResultsGiveNoValue)
{
    EXPECT_FALSE(CachedApp::fromJson(json::array()));
    EXPECT_FALSE(CachedApp::fromJson(json("software")));
    for (const char *key : { "kind", "trackName", "trackViewUrl", "artistName", "price",
                             "artworkUrl512", "trackId", "version" }) {
        json result = completeResult();
        result.erase(key);
        EXPECT_FALSE(CachedApp::fromJson(result)) << key;
    }
    // Values a hostile or broken store might send; none may reach a stored record.
    const json empty = "", blank = "  ", object = json::object(), array = json::array();
    const std::pair<const char *, std::vector<json>> bad[] = {
        { "kind", { "podcast", "macSoftware", nullptr } },
        { "trackId", { "12a", -5, 4.5, nullptr, "", std::string(20, '1') } },
        { "trackName", { nullptr, empty, blank, object, array } },
        { "version", { nullptr, empty, blank, object, array } },
        { "artistName", { nullptr, object, array } },
        { "description", { object, array } },
        { "artworkUrl512",
          { nullptr, empty, object, array, 42, "javascript:alert(1)", "icon.png", "file:///x",
            "https://store.example/" + std::string(9000, 'a') } },
        { "trackViewUrl", { nullptr, empty, object, "ftp://store.example/app", "https://" } },
        { "price",
          { "free", nullptr, object, array, "NaN", "Infinity", true, -5, -0.01, 99999999999999.0,
            1e300, 1000000.01 } },
        { "averageUserRating",
          { object, array, "Infinity", 1e39, -7, 1e30, 5.01, nullptr, "great" } },
        { "averageUserRatingForCurrentVersion", { object, -1, 6 } },
    };
    for (const auto &[key, values] : bad) {
        for (const json &value : values) {
            json result = completeResult();
            if (std::string(key) == "averageUserRatingForCurrentVersion")
                result.erase("averageUserRating");
            result[key] = value;
            EXPECT_FALSE(CachedApp::fromJson(result)) << key << " " << value.dump();
        }
    }
    // The limits themselves are readable.
    json result = completeResult();
    result["trackName"] = std::string(4'000'000, 'n');
    EXPECT_EQ(CachedApp::fromJson(result)->name.size(), TextLimits::kShortText);
    result["price"] = 1000000;
    result["averageUserRating"] = 5;
    EXPECT_TRUE(CachedApp::fromJson(result));
    result["price"] = 0;
    result["averageUserRating"] = 0;
    EXPECT_TRUE(CachedApp::fromJson(result));
}

TEST(CachedApp, StoreIdentifiersAreDecimalDigitsOnly)
{
    EXPECT_TRUE(isStoreIdentifier("284882215"));
    for (const char *text : { "", " 42", "42 ", "4 2", "-42", "+42", "42&x=1", "４２", "0x2A" })
        EXPECT_FALSE(isStoreIdentifier(QString::fromUtf8(text))) << text;
}
