#pragma once

// The rows of one save: every record inserted or changed since the last save, as plain
// values the writer thread can own, and the ids of deleted records. Positions keep the
// order of a list's applications and of an application's screenshots.

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace tanvill {

struct ListRow
{
    qint64 id = 0;
    int index = 0;
    QString name;
    std::optional<QString> color;
};

struct AppRow
{
    qint64 id = 0;
    std::optional<qint64> listId;
    qint64 position = 0;
    QString identifier;
    QString name;
    QString developer;
    // Present only when the description was written since the last save.
    std::optional<QByteArray> description;
    QString price;
    QString lastPrice;
    QString currencyCode;
    QString storeCountry;
    double rating = 0;
    double lastRating = 0;
    QString iconUrl;
    int kind = 0;
    QString appStoreUrl;
    QString version;
    QString lastVersion;
    std::optional<QString> notes;
};

struct ScreenshotRow
{
    qint64 id = 0;
    qint64 appId = 0;
    qint64 position = 0;
    QString url;
};

struct ChangeSet
{
    std::vector<ListRow> lists;
    std::vector<AppRow> apps;
    std::vector<ScreenshotRow> screenshots;
    std::vector<qint64> deletedLists;
    std::vector<qint64> deletedApps;
    std::vector<qint64> deletedScreenshots;
    // Applications whose description and screenshots are not among the rows (only a copy of
    // the whole graph has any): the file marks them to be fetched from the store again.
    std::vector<qint64> contentToFetch;

    bool isEmpty() const
    {
        return lists.empty() && apps.empty() && screenshots.empty() && deletedLists.empty()
            && deletedApps.empty() && deletedScreenshots.empty() && contentToFetch.empty();
    }
};

} // namespace tanvill
