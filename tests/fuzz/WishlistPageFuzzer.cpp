// Feeds arbitrary bytes to the wish-list page reader. The first line, when short, also serves
// as the user name whose "Next" link is looked for. Stops on a crash, a sanitizer finding or
// an identifier that is not 9 or 10 digits.

#include "sharing/WishlistPage.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

bool isIdentifier(const QString &text)
{
    if (text.size() < 9 || text.size() > 10)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return true;
}

bool isPathSegment(const QByteArray &segment)
{
    for (const char c : segment) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
            || (c >= '0' && c <= '9') || c == '-' || c == '.' || c == '_' || c == '~' || c == '%';
        if (!plain)
            return false;
    }
    return !segment.isEmpty() && segment != "." && segment != "..";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<QString> page = tanvill::decodeWishlistPage(bytes);
    if (!page)
        return 0;

    for (const QString &identifier : tanvill::wishlistIdentifiers(*page)) {
        if (!isIdentifier(identifier))
            std::abort();
    }
    if (const auto next = tanvill::wishlistNextPageNumber(*page, "appfan"); next && *next < 0)
        std::abort();

    const QString firstLine = page->section(QLatin1Char('\n'), 0, 0);
    if (firstLine.size() <= 64) {
        if (const auto segment = tanvill::wishlistUserPathSegment(firstLine)) {
            if (!isPathSegment(*segment))
                std::abort();
            if (const auto next = tanvill::wishlistNextPageNumber(*page, *segment);
                next && *next < 0)
                std::abort();
        }
    }
    return 0;
}
