// Feeds arbitrary bytes to the store-result parser, as a lookup or search reply would bring
// them, and checks what every readable result promises the rest of the program: an
// identifier of digits, a non-empty name and version, web links, a price and a rating in
// range and no control characters in any text. A broken promise aborts, as a crash does.

#include "platform/WebLink.h"
#include "store/CachedApp.h"

#include <nlohmann/json.hpp>

#include <QUrl>

#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace tanvill;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool hasControlCharacters(const QString &text)
{
    for (const QChar c : text) {
        if (c.category() == QChar::Other_Control && c != QLatin1Char('\t') && c != QLatin1Char('\n')
            && c != QLatin1Char('\r'))
            return true;
    }
    return false;
}

void check(const CachedApp &app)
{
    require(isStoreIdentifier(app.identifier));
    require(!app.name.trimmed().isEmpty() && !app.version.trimmed().isEmpty());
    require(isWebLink(app.storeUrl) && isWebLink(app.iconUrl));
    for (const QString &url : app.screenshotUrls)
        require(isWebLink(url) && !hasControlCharacters(url));
    require(std::isfinite(app.price) && app.price >= 0 && app.price <= 1'000'000);
    require(std::isfinite(app.rating) && app.rating >= 0 && app.rating <= 5);
    require(app.currencyCode.size() == 3);
    for (const QString *text :
         { &app.name, &app.version, &app.developer, &app.description, &app.storeUrl, &app.iconUrl })
        require(!hasControlCharacters(*text));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const auto document = nlohmann::json::parse(data, data + size, nullptr, false);
    if (document.is_discarded())
        return 0;
    // A whole reply, as the store sends it, or one result on its own.
    const auto results = document.is_object() ? document.find("results") : document.end();
    if (results != document.end() && results->is_array()) {
        for (const auto &element : *results) {
            if (const auto app = CachedApp::fromJson(element))
                check(*app);
        }
    } else if (const auto app = CachedApp::fromJson(document)) {
        check(*app);
    }
    return 0;
}
