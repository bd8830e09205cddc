#include "SharingTestSupport.h"

#include "core/List.h"
#include "core/ListGrouping.h"
#include "core/ListSorting.h"
#include "core/TextLimits.h"
#include "platform/UserDefaults.h"
#include "sharing/ShareReply.h"
#include "sharing/ShareRequest.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

using namespace tanvill;
using namespace tanvill::test;

namespace {

QJsonObject parsed(const QByteArray &body)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << body.toStdString();
    return document.object();
}

QStringList identifiersOf(const QJsonObject &body)
{
    QStringList identifiers;
    for (const QJsonValue &app : body["apps"].toArray())
        identifiers << app["identifier"].toString();
    return identifiers;
}

} // namespace

using ShareRequestTest = ListsTest;

TEST_F(ShareRequestTest, TheBodyCarriesTheListAsItsTableShowsItAndTheSettings)
{
    List *list = lists().createList(QString::fromUtf8("Späť & \"Spiele\""), ThemeName::LightGreen);
    for (CachedApp app : { cachedApp("100000001", AppKind::Phone, 0.99, "A"),
                           cachedApp("100000003", AppKind::Mac, 2.99, "C"),
                           cachedApp("100000002", AppKind::Pad, 1.99, "B") }) {
        app.currencyCode = "EUR";
        lists().addApp({ app }, list);
    }
    setSavedListSorting(ListSorting::Price);
    services.settings().setValue("storeLocale", "DE");
    services.settings().setValue("currencyCode", "EUR");

    const QJsonObject body
        = parsed(ShareRequest::forList(*list, QString(), /*allowModification=*/true).body());
    EXPECT_EQ(body.keys(),
              QStringList({ "affiliateToken", "allowModification", "apps", "countryCode",
                            "currencySymbol", "email", "name", "theme" }));
    EXPECT_EQ(body["name"].toString(), list->name());
    EXPECT_TRUE(body["email"].isNull());
    EXPECT_EQ(body["currencySymbol"].toString(), QString::fromUtf8("€"));
    EXPECT_EQ(body["theme"].toString(), "LightGreen");
    EXPECT_EQ(body["countryCode"].toString(), "DE");
    EXPECT_EQ(body["allowModification"], QJsonValue(true));
    EXPECT_TRUE(body["affiliateToken"].isNull());

    // Sorted by price the table shows A, B, C; the service gets the last row first.
    EXPECT_EQ(identifiersOf(body), QStringList({ "100000003", "100000002", "100000001" }));
    const QJsonObject mac = body["apps"].toArray().at(0).toObject();
    EXPECT_EQ(mac.keys(),
              QStringList({ "developer", "iconUrl", "identifier", "name", "platform", "price" }));
    EXPECT_EQ(mac["platform"].toString(), "OSX");
    EXPECT_EQ(mac["price"], QJsonValue(2.99));
    EXPECT_EQ(mac["name"].toString(), "C");
    EXPECT_EQ(mac["iconUrl"].toString(), "https://store.example/icon/100000003.png");
    EXPECT_EQ(body["apps"].toArray().at(1)["platform"].toString(), "iOS");
    EXPECT_EQ(body["apps"].toArray().at(2)["platform"].toString(), "iOS");
}

TEST_F(ShareRequestTest, NoPriceGoesOutUnderAnotherCurrencysSymbol)
{
    // An application the chosen store does not sell keeps its last price, in its currency.
    List *list = lists().createList("Mixed", ThemeName::Blue);
    for (const auto &[price, currency] : std::vector<std::pair<double, QString>> {
             { 250, "JPY" }, { 22.99, "GBP" }, { 0, "GBP" }, { 1.5, "" } }) {
        CachedApp app
            = cachedApp(QString::number(100000001 + list->apps().size()), AppKind::Phone, price);
        app.currencyCode = currency;
        lists().addApp({ app }, list);
    }
    services.settings().setValue("currencyCode", "JPY");
    const QJsonObject body = parsed(ShareRequest::forList(*list, {}, false).body());
    EXPECT_EQ(body["currencySymbol"].toString(), currencySymbol("JPY", "en"));
    QJsonArray prices;
    for (const QJsonValue &app : body["apps"].toArray())
        prices << app["price"];
    // Free is free in every currency; a price without a currency is in the chosen one.
    EXPECT_EQ(QJsonDocument(prices).toJson(QJsonDocument::Compact).toStdString(),
              "[250,null,0,1.5]");
}

TEST_F(ShareRequestTest, GroupedAndEmptyListsSendOnlyApplicationRows)
{
    List *list = lists().createList("Mixed", ThemeName::Navy);
    lists().addApp({ cachedApp("100000001", AppKind::Phone), cachedApp("100000002", AppKind::Mac) },
                   list);
    setSavedListGrouping(ListGrouping::Platform);
    const QJsonObject grouped
        = parsed(ShareRequest::forList(*list, "me@example.org", false).body());
    EXPECT_EQ(identifiersOf(grouped).size(), 2);
    EXPECT_EQ(grouped["theme"].toString(), "Navy");
    EXPECT_EQ(grouped["email"].toString(), "me@example.org");
    EXPECT_EQ(grouped["allowModification"], QJsonValue(false));

    List *empty = lists().createList("Empty", ThemeName::Yellow);
    const QJsonObject none = parsed(ShareRequest::forList(*empty, QString(), false).body());
    EXPECT_TRUE(none["apps"].isArray());
    EXPECT_TRUE(none["apps"].toArray().isEmpty());
}

TEST_F(ShareRequestTest, AnAffiliateTokenIsSentWhenSetEvenWhenEmpty)
{
    List *list = lists().createList("Tokens", ThemeName::Red);
    services.settings().setValue("affiliateToken", "");
    EXPECT_EQ(parsed(ShareRequest::forList(*list, {}, false).body())["affiliateToken"],
              QJsonValue(""));
    services.settings().setValue("affiliateToken", "tok-1");
    EXPECT_EQ(parsed(ShareRequest::forList(*list, {}, false).body())["affiliateToken"],
              QJsonValue("tok-1"));
    services.settings().remove("affiliateToken");
    EXPECT_TRUE(parsed(ShareRequest::forList(*list, {}, false).body())["affiliateToken"].isNull());
}

TEST(ShareRequestValuesTest, CurrencySymbolsComeFromTheCodeElseDollar)
{
    const std::vector<std::tuple<QString, QString, QString>> cases {
        { "USD", "en", "$" },
        { "EUR", "de", QString::fromUtf8("€") },
        { "GBP", "en", QString::fromUtf8("£") },
        { "eur", "fr", QString::fromUtf8("€") },
        { "XQZ", "en", "$" },
        { "", "en", "$" },
        { "EUR", "", QString::fromUtf8("€") },
    };
    for (const auto &[code, language, symbol] : cases)
        EXPECT_EQ(currencySymbol(code, language), symbol) << code.toStdString();
}

TEST(ShareReplyTest, OnlyAnUsableLinkOnSuccessGivesALink)
{
    using Kind = ShareReply::Kind;
    struct Case
    {
        int status;
        QByteArray body;
        ShareReply reply;
    };
    const std::vector<Case> cases {
        { 200,
          R"({"url":"https://lists.example/l/1"})",
          { Kind::Link, "https://lists.example/l/1" } },
        { 201,
          R"({"url":"http://lists.example/l/1","extra":[1]})",
          { Kind::Link, "http://lists.example/l/1" } },
        { 200, R"({"error":{"message":"Nope"}})", { Kind::ServiceError, "Nope" } },
        { 200, R"({"error":{"message":true}})", { Kind::ServiceError, "true" } },
        { 200, R"({"error":{"message":42}})", { Kind::ServiceError, "42" } },
        { 200,
          R"({"error":{"message":"Full"},"url":"https://lists.example/l/1"})",
          { Kind::ServiceError, "Full" } },
        { 500,
          R"({"error":{"message":"Database down"}})",
          { Kind::ServiceError, "Database down" } },
        { 500, R"({"url":"https://lists.example/l/1"})", {} },
        { 404, "", {} },
        { 200, R"({"error":true})", {} },
        { 200, R"({"error":{}})", {} },
        { 200, R"({"error":{"message":["x"]}})", {} },
        { 200, R"({"url":5})", {} },
        { 200, R"j({"url":"javascript:alert(1)"})j", {} },
        { 200, R"({"url":"ftp://lists.example/l/1"})", {} },
        { 200, R"({"url":"https:///nohost"})", {} },
        { 200, R"({"url":"https://lists.example/l 1"})", {} },
        { 200, "<html>Bad gateway</html>", {} },
        { 200, R"(["https://lists.example/l/1"])", {} },
        { 200, "", {} },
        { 200, R"({"url":"https://lists.example/)" + QByteArray(9'000'000, 'l') + R"("})", {} },
        { 200,
          R"({"error":{"message":")" + QByteArray(100'000, 'm') + R"("}})",
          { Kind::ServiceError, QString(TextLimits::kMessage, 'm') } },
    };
    for (const Case &c : cases)
        EXPECT_EQ(ShareReply::parse(c.status, c.body), c.reply)
            << c.status << ' ' << c.body.left(200).toStdString();
}
