#pragma once

// The user's settings: stored values over registered defaults, with typed getters that
// take the registered default when the stored value does not read as their type (and the
// caller's fallback when neither is usable), and observers that run synchronously after
// every change of their key.

#include "platform/TeardownWatch.h"

#include <QDateTime>
#include <QObject>
#include <QPointer>
#include <QSettings>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tanvill {

class UserDefaults
{
public:
    using Observer = std::function<void(const QVariant &newValue)>;
    using Token = quint64;

    // The application's settings (see SharedInstance.h).
    static UserDefaults &standard();
    // The user's settings file: $XDG_CONFIG_HOME/com.tanvill.Tanvill/Tanvill.conf.
    static QString defaultFilePath();

    explicit UserDefaults(const QString &filePath);
    // For the one copy of the application that writes the settings at filePath, as it starts:
    // removes the lock files a copy killed as it wrote them left beside them, unless somebody
    // holds them. QSettings would wait half a minute on such a file at every write.
    static void clearLeftLocks(const QString &filePath);
    ~UserDefaults();

    // The file the settings are kept in (another one than asked for when that path held no
    // settings file and could not be cleared).
    QString filePath() const { return m_settings->fileName(); }

    // Registered values answer for keys that hold no stored value; registering never
    // overwrites or stores anything.
    void registerDefaults(const QVariantMap &defaults);

    // The stored value, else the registered one, else an invalid QVariant.
    QVariant value(const QString &key) const;
    // True when a value is stored for key (registered defaults do not count).
    bool hasStoredValue(const QString &key) const;

    // A stored value that does not read as the getter's type counts as absent: the
    // registered default answers, else the fallback.
    bool boolean(const QString &key, bool fallback = false) const;
    qint64 integer(const QString &key, qint64 fallback = 0) const;
    double number(const QString &key, double fallback = 0.0) const;
    // Strings only: a stored number or date is not a string.
    QString string(const QString &key, const QString &fallback = {}) const;
    std::optional<QDateTime> date(const QString &key) const;

    void setValue(const QString &key, const QVariant &value);
    void remove(const QString &key);
    // Writes what changed and reads what other processes wrote meanwhile; false when the file
    // could not be written.
    bool sync();

    // Calls `observer` with the new value after every change of key, until the teardown of
    // `context`, or of an object it lies in as it is added, begins (see NotificationCenter).
    Token observe(const QString &key, QObject *context, Observer observer);
    void removeObserver(Token token);

private:
    struct Observation
    {
        Token token = 0;
        QString key;
        QPointer<QObject> context;
        Observer observer;
        bool removed = false;
    };

    void notify(const QString &key);
    void contextTornDown(const QObject *context);
    std::optional<double> readNumber(const QString &key) const;

    std::unique_ptr<QSettings> m_settings;
    QVariantMap m_registered;
    std::vector<Observation> m_observations;
    Token m_nextToken = 1;
    int m_notifyDepth = 0;
    TeardownWatch m_teardown { [this](const QObject *context) {
        contextTornDown(context);
    } };
};

} // namespace tanvill
