#include "SharingTestSupport.h"

#include "sharing/WishlistPage.h"

#include <gtest/gtest.h>

using namespace tanvill;
using namespace tanvill::test;

TEST(WishlistPageTest, UserNamesBecomeOneEncodedPathSegmentOrNone)
{
    const std::vector<std::pair<QString, std::optional<QByteArray>>> cases {
        { "appfan", "appfan" },         { "a b/c?", "a%20b%2Fc%3F" },
        { "x@y:z#1", "x%40y%3Az%231" }, { QString::fromUtf8("Zoë"), "Zo%C3%AB" },
        { "a/../b", "a%2F..%2Fb" },     { "...", "..." },
        { "", std::nullopt },           { ".", std::nullopt },
        { "..", std::nullopt },
    };
    for (const auto &[name, segment] : cases)
        EXPECT_EQ(wishlistUserPathSegment(name), segment) << name.toStdString();
}

TEST(WishlistPageTest, IdentifiersAreTheDigitsOfNineOrTenDigitAttributesInPageOrder)
{
    const QString page = QString::fromUtf8(
        "<li data-appleid=\"123456789\">😀</li>\r\n<li DATA-AppleID=\"1234567890\"></li>"
        "<li data-appleid=\"12345678\"></li><li data-appleid=\"12345678901\"></li>"
        "<li data-appleid=\"12345678a\"></li><li data-appleid='987654321'></li>"
        "<li data-appleid=\"123456789\"></li>\r\n<b>🎲</b><li data-appleid=\"555555555\"></li>");
    EXPECT_EQ(wishlistIdentifiers(page),
              QStringList({ "123456789", "1234567890", "123456789", "555555555" }));
}

TEST(WishlistPageTest, TheNextLinkIsMatchedLiterallyForThisUserOnly)
{
    const auto link = [](const QByteArray &user, const QByteArray &number) {
        return QString::fromLatin1("<p>🎲</p>\r\n<a href=\"/user/" + user + "/wishlist/" + number
                                   + "\" class=\"btn outlined\" >Next</a>");
    };
    struct Case
    {
        QString page;
        QByteArray user;
        std::optional<qint64> next;
    };
    const std::vector<Case> cases {
        { link("user42", "7"), "user42", 7 },
        { link("a%28b%29%2Bc%2A%3F", "12"), "a%28b%29%2Bc%2A%3F", 12 },
        // A regular expression made of the name would match these; a literal one does not.
        { link("aXb", "3"), "a.b", std::nullopt },
        { link("aab", "3"), "a+b", std::nullopt },
        { link("someoneelse", "2"), "appfan", std::nullopt },
        { link("appfan", "99999999999999999999999"), "appfan", std::nullopt },
        { link("appfan", "4").replace("Next", "NEXT"), "appfan", 4 },
        { link("appfan", "4").replace("Next", "Previous"), "appfan", std::nullopt },
    };
    for (const Case &c : cases)
        EXPECT_EQ(wishlistNextPageNumber(c.page, c.user), c.next) << c.page.toStdString();
}

TEST(WishlistPageTest, OnlyValidUtf8Decodes)
{
    EXPECT_EQ(decodeWishlistPage(QByteArray()), QString());
    EXPECT_EQ(decodeWishlistPage("caf\xc3\xa9"), QString::fromUtf8("café"));
    EXPECT_FALSE(decodeWishlistPage("caf\xe9 au lait"));
    EXPECT_FALSE(decodeWishlistPage("\xc3"));
    EXPECT_FALSE(decodeWishlistPage("\xed\xa0\x80")); // an encoded surrogate
}
