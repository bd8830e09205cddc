#pragma once

// One watched store application: its store data, the previous price, version and rating
// kept beside the current ones, the user's notes, its list and its ordered screenshots.
// The description and the screenshots are read from the store file on first use (see
// ObjectContext).

#include "core/AppKind.h"
#include "core/Change.h"
#include "core/Decimal.h"
#include "core/Record.h"

#include <QByteArray>
#include <QMetaType>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace tanvill {

class List;
class Screenshot;

class App final : public Record
{
public:
    QString appStoreDescription() const;
    void setAppStoreDescription(const QString &description);
    // The description, but not kept in memory when it was not there yet: a refresh compares
    // every application's with the store's.
    QString peekAppStoreDescription() const;

    QString developer() const { return m_developer; }
    void setDeveloper(const QString &developer) { assign(m_developer, developer); }

    QString name() const { return m_name; }
    void setName(const QString &name) { assign(m_name, name); }

    Decimal price() const { return m_price; }
    void setPrice(const Decimal &price) { assign(m_price, price); }
    Decimal lastPrice() const { return m_lastPrice; }
    void setLastPrice(const Decimal &price) { assign(m_lastPrice, price); }
    // The currency of the price and of the previous price ("GBP"); empty when not known. The
    // two are always in one currency: a price is compared only with one in the same currency.
    QString currencyCode() const { return m_currencyCode; }
    void setCurrencyCode(const QString &code) { assign(m_currencyCode, code); }
    // The store country ("JP") whose answer the price, version and rating are; empty when not
    // known (kept by an older version). Another than the one chosen: the store is asked again.
    QString storeCountry() const { return m_storeCountry; }
    void setStoreCountry(const QString &code) { assign(m_storeCountry, code); }

    float rating() const { return m_rating; }
    void setRating(float rating) { assignFloat(m_rating, rating); }
    float lastRating() const { return m_lastRating; }
    void setLastRating(float rating) { assignFloat(m_lastRating, rating); }

    QString iconUrl() const { return m_iconUrl; }
    void setIconUrl(const QString &url) { assign(m_iconUrl, url); }

    // The list holding the application; setting it appends the application to the end of
    // the new list's stored order.
    List *list() const { return m_list; }
    void setList(List *list);

    // In store order.
    const std::vector<Screenshot *> &screenshots() const;
    // Replaces the screenshots; the ones left out are deleted when the context is saved.
    void setScreenshots(const std::vector<Screenshot *> &screenshots);
    // The links of the screenshots in order, read without making their records when they
    // were not read yet.
    QStringList screenshotUrls() const;
    // Reads the description, the screenshots or both when they are still in the file only;
    // false when the file cannot give them just now (another program holds it), so that
    // nothing is compared with, or written over, what was not read.
    bool loadContent(bool description, bool screenshots) const;
    // True when the file it was read from lacks its description and screenshots (changes kept
    // while the store could not be read, or a damaged file that no longer gave them): they are
    // fetched from the store again.
    bool needsStoreContent() const { return m_contentToFetch; }
    // The store gave them and they were set, or it has none to give any more: the next save
    // writes the description, which tells the file.
    void storeContentFetched();

    // The AppKind tag as stored.
    int kind() const { return m_kind; }
    void setKind(int kind) { assign(m_kind, kind); }

    QString appStoreUrl() const { return m_appStoreUrl; }
    void setAppStoreUrl(const QString &url) { assign(m_appStoreUrl, url); }

    QString identifier() const { return m_identifier; }
    void setIdentifier(const QString &identifier) { assign(m_identifier, identifier); }

    QString version() const { return m_version; }
    void setVersion(const QString &version) { assign(m_version, version); }
    QString lastVersion() const { return m_lastVersion; }
    void setLastVersion(const QString &version) { assign(m_lastVersion, version); }

    std::optional<QString> notes() const { return m_notes; }
    void setNotes(const std::optional<QString> &notes) { assign(m_notes, notes); }

    // kind as an AppKind: 1 Pad, 2 Mac, anything else Phone.
    AppKind appKind() const;
    void setAppKind(AppKind kind);

    // The store page with the affiliate parameters.
    QString affiliatedStoreUrl() const;
    // True when the application's list is the archive list (index -1).
    bool archived() const;
    std::optional<Change<QString>> versionChange() const;
    // Present when the ratings differ by more than 0.1 in 32-bit arithmetic.
    std::optional<Change<float>> ratingChange() const;
    // Present when the prices differ by more than 0.1 in doubles.
    std::optional<Change<Decimal>> priceChange() const;
    bool needsAppHistory() const;
    QString description() const { return m_name; }

private:
    friend class ObjectContext;
    friend class List;
    App(ObjectContext *context, qint64 objectId) : Record(context, objectId) { }
    void markChanged() override;
    // Compares bit patterns so that a NaN rating does not count as a change on every write.
    void assignFloat(float &field, float value);

    QString m_developer;
    QString m_name;
    Decimal m_price;
    Decimal m_lastPrice;
    QString m_currencyCode;
    QString m_storeCountry;
    float m_rating = 0;
    float m_lastRating = 0;
    QString m_iconUrl;
    List *m_list = nullptr;
    // Read on first use, as most applications are never shown in a detail window.
    mutable std::vector<Screenshot *> m_screenshots;
    mutable bool m_screenshotsLoaded = true;
    int m_kind = 0;
    QString m_appStoreUrl;
    QString m_identifier;
    QString m_version;
    QString m_lastVersion;
    std::optional<QString> m_notes;

    // UTF-8 halves the memory of descriptions; absent until read or written.
    mutable std::optional<QByteArray> m_description;
    bool m_descriptionChanged = false;
    bool m_contentToFetch = false;
    qint64 m_position = 0;
};

} // namespace tanvill

Q_DECLARE_METATYPE(tanvill::App *)
