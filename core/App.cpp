#include "core/App.h"

#include "core/List.h"
#include "core/ObjectContext.h"
#include "core/Screenshot.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace tanvill {

namespace {

// The store's web host for application pages and the affiliate token of our links.
constexpr char kStorePageBase[] = "https://itunes.apple.com/app/id";
constexpr char kAffiliateToken[] = "k4pz7qm";

} // namespace

void App::markChanged()
{
    context()->markChanged(this);
}

void App::assignFloat(float &field, float value)
{
    if (isDeleted() || std::bit_cast<quint32>(field) == std::bit_cast<quint32>(value))
        return;
    field = value;
    markChanged();
}

QString App::appStoreDescription() const
{
    if (!m_description) {
        // A failed read is not kept: an empty text would stand for the real one all session.
        std::optional<QByteArray> loaded = context()->loadDescription(this);
        if (!loaded)
            return QString();
        m_description = std::move(loaded);
    }
    return QString::fromUtf8(*m_description);
}

QString App::peekAppStoreDescription() const
{
    if (m_description)
        return QString::fromUtf8(*m_description);
    return QString::fromUtf8(context()->loadDescription(this).value_or(QByteArray()));
}

void App::setAppStoreDescription(const QString &description)
{
    if (isDeleted())
        return;
    QByteArray utf8 = description.toUtf8();
    if (!m_description)
        m_description = context()->loadDescription(this);
    if (m_description && *m_description == utf8)
        return;
    m_description = std::move(utf8);
    m_descriptionChanged = true;
    markChanged();
}

bool App::loadContent(bool description, bool screenshots) const
{
    using Failure = ObjectContext::ReadFailure;
    Failure failure = Failure::Lost;
    if (description && !m_description) {
        m_description = context()->loadDescription(this, &failure);
        if (!m_description && failure == Failure::Retry)
            return false;
    }
    failure = Failure::Lost;
    return !screenshots || m_screenshotsLoaded || context()->loadScreenshots(this, false, &failure)
        || failure != Failure::Retry;
}

void App::storeContentFetched()
{
    // A description the file cannot give just now is left for the next start to fetch.
    if (isDeleted() || !m_contentToFetch || !m_description)
        return;
    m_contentToFetch = false;
    m_descriptionChanged = true;
    markChanged();
}

const std::vector<Screenshot *> &App::screenshots() const
{
    if (!m_screenshotsLoaded)
        context()->loadScreenshots(this);
    return m_screenshots;
}

QStringList App::screenshotUrls() const
{
    QStringList urls;
    if (!m_screenshotsLoaded) {
        if (std::optional<std::vector<ScreenshotRow>> rows = context()->readScreenshots(this)) {
            for (const ScreenshotRow &row : *rows)
                urls << row.url;
            return urls;
        }
    }
    for (const Screenshot *screenshot : screenshots())
        urls << screenshot->url();
    return urls;
}

void App::setList(List *list)
{
    if (isDeleted() || list == m_list || (list && list->isDeleted()))
        return;
    if (m_list)
        m_list->removeApp(this);
    m_list = list;
    if (list)
        list->appendApp(this);
    markChanged();
}

void App::setScreenshots(const std::vector<Screenshot *> &screenshots)
{
    if (isDeleted())
        return;
    // The ones stored must be known to be left out.
    this->screenshots();
    std::vector<Screenshot *> kept;
    kept.reserve(screenshots.size());
    for (Screenshot *screenshot : screenshots) {
        if (screenshot && !screenshot->isDeleted()
            && std::find(kept.begin(), kept.end(), screenshot) == kept.end())
            kept.push_back(screenshot);
    }
    if (kept == m_screenshots)
        return;
    for (Screenshot *old : m_screenshots) {
        if (std::find(kept.begin(), kept.end(), old) == kept.end()) {
            old->m_app = nullptr;
            old->markChanged();
        }
    }
    for (Screenshot *screenshot : kept) {
        if (screenshot->m_app && screenshot->m_app != this) {
            auto &others = screenshot->m_app->m_screenshots;
            others.erase(std::remove(others.begin(), others.end(), screenshot), others.end());
        }
        screenshot->m_app = this;
        screenshot->markChanged();
    }
    m_screenshots = std::move(kept);
    for (std::size_t position = 0; position < m_screenshots.size(); ++position)
        m_screenshots[position]->m_position = qint64(position);
}

AppKind App::appKind() const
{
    switch (m_kind) {
    case 1:
        return AppKind::Pad;
    case 2:
        return AppKind::Mac;
    default:
        return AppKind::Phone;
    }
}

void App::setAppKind(AppKind kind)
{
    setKind(tag(kind));
}

QString App::affiliatedStoreUrl() const
{
    return QLatin1String(kStorePageBase) + m_identifier + QStringLiteral("?mt=")
        + (appKind() == AppKind::Mac ? QStringLiteral("12") : QStringLiteral("8"))
        + QStringLiteral("&at=") + QLatin1String(kAffiliateToken) + QStringLiteral("&ct=tanvill");
}

bool App::archived() const
{
    return m_list && m_list->index() == -1;
}

std::optional<Change<QString>> App::versionChange() const
{
    if (m_version == m_lastVersion)
        return std::nullopt;
    return Change<QString> { m_lastVersion, m_version };
}

std::optional<Change<float>> App::ratingChange() const
{
    const float difference = std::fabs(m_rating - m_lastRating);
    if (!(difference > 0.1f))
        return std::nullopt;
    return Change<float> { m_lastRating, m_rating };
}

std::optional<Change<Decimal>> App::priceChange() const
{
    const double difference = std::fabs(m_price.toDouble() - m_lastPrice.toDouble());
    if (!(difference > 0.1))
        return std::nullopt;
    return Change<Decimal> { m_lastPrice, m_price };
}

bool App::needsAppHistory() const
{
    return versionChange() || ratingChange() || priceChange();
}

} // namespace tanvill
