#include "core/StoreResultRecord.h"

#include "core/App.h"
#include "core/ObjectContext.h"
#include "core/Screenshot.h"

namespace tanvill {

namespace {

// An empty answer never replaces what is stored: a store that leaves a field out has not
// said it is gone.
bool update(App &app, QString (App::*getter)() const, void (App::*setter)(const QString &),
            const QString &value)
{
    if (value.isEmpty() || sameStoreText((app.*getter)(), value))
        return false;
    (app.*setter)(value);
    return true;
}

bool sameScreenshots(const App &app, const QStringList &urls)
{
    const std::vector<Screenshot *> &screenshots = app.screenshots();
    if (qsizetype(screenshots.size()) != urls.size())
        return false;
    for (qsizetype i = 0; i < urls.size(); ++i) {
        if (!sameStoreText(screenshots[size_t(i)]->url(), urls[i]))
            return false;
    }
    return true;
}

} // namespace

bool sameStoreText(const QString &a, const QString &b)
{
    return a == b
        || (a.size() != 0 && b.size() != 0
            && a.normalized(QString::NormalizationForm_C)
                == b.normalized(QString::NormalizationForm_C));
}

bool copyStoreContent(App &app, const CachedApp &result, ObjectContext &context)
{
    // What the file cannot give just now is compared and written at a later refresh: new
    // screenshots written blind would stand beside the ones still in the file.
    if (!app.loadContent(!result.description.isEmpty(), !result.screenshotUrls.isEmpty()))
        return false;
    bool written
        = update(app, &App::appStoreDescription, &App::setAppStoreDescription, result.description);
    if (!result.screenshotUrls.isEmpty() && !sameScreenshots(app, result.screenshotUrls)) {
        const std::vector<Screenshot *> old = app.screenshots();
        for (Screenshot *screenshot : old)
            context.deleteObject(screenshot);
        for (const QString &url : result.screenshotUrls)
            context.insertScreenshot(&app)->setUrl(url);
        written = true;
    }
    return written;
}

bool copyStoreDetails(App &app, const CachedApp &result, ObjectContext &context)
{
    bool written = update(app, &App::name, &App::setName, result.name);
    written |= copyStoreContent(app, result, context);
    if (app.appKind() != result.kind) {
        app.setAppKind(result.kind);
        written = true;
    }
    written |= update(app, &App::developer, &App::setDeveloper, result.developer);
    written |= update(app, &App::iconUrl, &App::setIconUrl, result.iconUrl);
    written |= update(app, &App::appStoreUrl, &App::setAppStoreUrl, result.storeUrl);
    return written;
}

void dropStoredDetails(CachedApp &result, const App &app)
{
    const auto drop = [](QString &value, const QString &stored) {
        if (sameStoreText(stored, value))
            value.clear();
    };
    drop(result.name, app.name());
    drop(result.developer, app.developer());
    drop(result.iconUrl, app.iconUrl());
    drop(result.storeUrl, app.appStoreUrl());
    if (!result.description.isEmpty())
        drop(result.description, app.peekAppStoreDescription());
    if (!result.screenshotUrls.isEmpty()) {
        const QStringList stored = app.screenshotUrls();
        bool same = stored.size() == result.screenshotUrls.size();
        for (qsizetype i = 0; same && i < stored.size(); ++i)
            same = sameStoreText(stored[i], result.screenshotUrls[i]);
        if (same)
            result.screenshotUrls.clear();
    }
}

App *insertAppFromStoreResult(ObjectContext &context, List *list, const CachedApp &result)
{
    App *app = context.insertApp(list);
    app->setIdentifier(result.identifier);
    copyStoreDetails(*app, result, context);
    const Decimal price = Decimal::fromDouble(result.price).value_or(Decimal());
    app->setVersion(result.version);
    app->setLastVersion(result.version);
    app->setRating(result.rating);
    app->setLastRating(result.rating);
    app->setPrice(price);
    app->setLastPrice(price);
    app->setCurrencyCode(result.currencyCode);
    app->setStoreCountry(result.countryCode);
    return app;
}

} // namespace tanvill
