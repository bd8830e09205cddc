#include "platform/UserDefaults.h"

#include "platform/FileLock.h"
#include "platform/Identity.h"
#include "platform/RegularFile.h"
#include "platform/SharedInstance.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cmath>

namespace tanvill {

namespace {

// Values come back from the ini file as text; typed readers convert with care so that a
// damaged or hand-edited file never yields a nonsense value.
std::optional<double> toNumber(const QVariant &value)
{
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    double number = 0;
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? 1.0 : 0.0;
    if (value.typeId() == QMetaType::QString) {
        const QString text = value.toString().trimmed();
        if (text == QLatin1String("true"))
            return 1.0;
        if (text == QLatin1String("false"))
            return 0.0;
        number = text.toDouble(&ok);
    } else {
        number = value.toDouble(&ok);
    }
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

// QSettings reads its file whole and waits for it: a FIFO or a device in its place would hang
// the program before any window shows. Whatever stands there is moved aside, and settings
// start afresh in a new file.
QString moveAsideUnlessRegular(const QString &filePath)
{
    if (isRegularFileOrAbsent(filePath))
        return filePath;
    const QFileInfo info(filePath);
    const QString aside = info.absolutePath() + QLatin1Char('/') + info.completeBaseName()
        + QStringLiteral(".unreadable-")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"))
        + QLatin1Char('.') + info.suffix();
    if (QFile::rename(filePath, aside)) {
        qWarning().noquote() << filePath << "was no settings file; it was moved to" << aside;
        return filePath;
    }
    // Settings kept for this session only, rather than no session at all.
    const QString instead = QDir::temp().filePath(QStringLiteral("%1-%2.conf")
                                                      .arg(bundleIdentifier())
                                                      .arg(QCoreApplication::applicationPid()));
    qWarning().noquote() << filePath << "is no settings file and cannot be moved; settings go to"
                         << instead << "for now";
    return instead;
}

} // namespace

UserDefaults &UserDefaults::standard()
{
    return SharedInstance<UserDefaults>::get("UserDefaults::standard");
}

QString UserDefaults::defaultFilePath()
{
    return applicationFolder(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Tanvill.conf");
}

void UserDefaults::clearLeftLocks(const QString &filePath)
{
    // QSettings writes under the first and removes a stale first under the second. A copy
    // killed between making one and writing its process into it leaves it empty, which counts
    // as stale only once it is half a minute old.
    for (const QString &suffix : { QStringLiteral(".lock"), QStringLiteral(".lock.rmlock") }) {
        const QString path = filePath + suffix;
        if (!QFileInfo(path).isFile())
            continue;
        FileLock left;
        QString error;
        // A holder is writing now, and lets go soon.
        if (left.tryLock(path, 0644, false, &error) == FileLock::Result::Locked) {
            left.unlock(true);
            qInfo().noquote() << "A lock left beside the settings was removed:" << path;
        }
    }
}

UserDefaults::UserDefaults(const QString &filePath)
    : m_settings(
        std::make_unique<QSettings>(moveAsideUnlessRegular(filePath), QSettings::IniFormat))
{ }

UserDefaults::~UserDefaults()
{
    m_settings->sync();
}

void UserDefaults::registerDefaults(const QVariantMap &defaults)
{
    for (auto it = defaults.begin(); it != defaults.end(); ++it)
        m_registered.insert(it.key(), it.value());
}

QVariant UserDefaults::value(const QString &key) const
{
    const QVariant stored = m_settings->value(key);
    if (stored.isValid())
        return stored;
    return m_registered.value(key);
}

bool UserDefaults::hasStoredValue(const QString &key) const
{
    return m_settings->contains(key);
}

std::optional<double> UserDefaults::readNumber(const QString &key) const
{
    // A stored value that does not read as a number (a hand-edited "abc") counts as absent,
    // so the registered default applies rather than whatever 0 would mean.
    if (const auto stored = toNumber(m_settings->value(key)))
        return stored;
    return toNumber(m_registered.value(key));
}

bool UserDefaults::boolean(const QString &key, bool fallback) const
{
    const auto number = readNumber(key);
    return number ? *number != 0.0 : fallback;
}

qint64 UserDefaults::integer(const QString &key, qint64 fallback) const
{
    const auto number = readNumber(key);
    if (!number || std::abs(*number) > 9.0e18)
        return fallback;
    return qint64(*number);
}

double UserDefaults::number(const QString &key, double fallback) const
{
    return readNumber(key).value_or(fallback);
}

QString UserDefaults::string(const QString &key, const QString &fallback) const
{
    const QVariant stored = value(key);
    if (stored.typeId() == QMetaType::QString)
        return stored.toString();
    if (stored.typeId() == QMetaType::QByteArray)
        return QString::fromUtf8(stored.toByteArray());
    return fallback;
}

std::optional<QDateTime> UserDefaults::date(const QString &key) const
{
    for (const QVariant &candidate : { m_settings->value(key), m_registered.value(key) }) {
        if (candidate.typeId() == QMetaType::QDateTime && candidate.toDateTime().isValid())
            return candidate.toDateTime();
    }
    return std::nullopt;
}

void UserDefaults::setValue(const QString &key, const QVariant &value)
{
    if (!value.isValid()) {
        remove(key);
        return;
    }
    m_settings->setValue(key, value);
    notify(key);
}

void UserDefaults::remove(const QString &key)
{
    if (!m_settings->contains(key))
        return;
    m_settings->remove(key);
    notify(key);
}

bool UserDefaults::sync()
{
    m_settings->sync();
    return m_settings->status() == QSettings::NoError;
}

UserDefaults::Token UserDefaults::observe(const QString &key, QObject *context, Observer observer)
{
    Q_ASSERT(context);
    m_observations.push_back({ m_nextToken++, key, context, std::move(observer), false });
    m_teardown.watch(context);
    return m_observations.back().token;
}

void UserDefaults::removeObserver(Token token)
{
    for (Observation &observation : m_observations) {
        if (observation.token == token)
            observation.removed = true;
    }
}

void UserDefaults::contextTornDown(const QObject *context)
{
    for (Observation &observation : m_observations) {
        if (TeardownWatch::isWithin(observation.context.data(), context))
            observation.removed = true;
    }
}

void UserDefaults::notify(const QString &key)
{
    const QVariant newValue = value(key);
    const Token lastToken = m_nextToken - 1;
    ++m_notifyDepth;
    for (size_t i = 0; i < m_observations.size(); ++i) {
        if (m_observations[i].token > lastToken)
            break;
        if (m_observations[i].removed || m_observations[i].context.isNull()
            || m_observations[i].key != key)
            continue;
        const Observer observer = m_observations[i].observer;
        observer(newValue);
    }
    --m_notifyDepth;
    if (m_notifyDepth == 0) {
        std::erase_if(m_observations,
                      [](const Observation &o) { return o.removed || o.context.isNull(); });
    }
}

} // namespace tanvill
