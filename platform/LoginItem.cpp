#include "platform/LoginItem.h"

#include "platform/Identity.h"
#include "platform/RegularFile.h"
#include "platform/Strings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace tanvill {

namespace {
// An autostart entry is a few lines; more is not ours.
constexpr qint64 kMaxEntryBytes = 64 * 1024;
} // namespace

LoginItem::LoginItem()
    : LoginItem(defaultAutostartFolder(), QCoreApplication::applicationFilePath())
{ }

LoginItem::LoginItem(QString autostartFolder, QString programPath)
    : m_folder(std::move(autostartFolder)), m_program(std::move(programPath))
{ }

QString LoginItem::defaultAutostartFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/autostart");
}

QString LoginItem::filePath() const
{
    return m_folder + QLatin1Char('/') + bundleIdentifier() + QStringLiteral(".desktop");
}

bool LoginItem::isEnabled() const
{
    const std::optional<QByteArray> entry = readRegularFile(filePath(), kMaxEntryBytes);
    if (!entry)
        return false;
    for (const QByteArray &line : entry->split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0 && line.left(equals).trimmed() == "Hidden"
            && line.mid(equals + 1).trimmed() == "true")
            return false;
    }
    return true;
}

std::optional<Error> LoginItem::setEnabled(bool enabled)
{
    return enabled ? writeEntry() : removeEntry();
}

QString LoginItem::execValue(const QString &program)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString value;
    bool needsQuotes = program.isEmpty();
    for (const QChar c : program) {
        if (reserved.contains(c))
            needsQuotes = true;
        // Inside quotes ", `, $ and \ take a backslash; a literal % is written %%.
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$')
            || c == QLatin1Char('\\'))
            value += QLatin1Char('\\');
        if (c == QLatin1Char('%'))
            value += QLatin1Char('%');
        value += c;
    }
    if (needsQuotes)
        value = QLatin1Char('"') + value + QLatin1Char('"');
    // The key file's own escapes come on top: every backslash is doubled, and a line break
    // cannot stand in a value.
    value.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    value.replace(QLatin1Char('\n'), QStringLiteral("\\n"));
    value.replace(QLatin1Char('\t'), QStringLiteral("\\t"));
    return value;
}

std::optional<Error> LoginItem::writeEntry() const
{
    if (!QDir().mkpath(m_folder))
        return makeError(CannotWrite, QStringLiteral("the folder cannot be created"));

    QSaveFile file(filePath());
    if (!file.open(QIODevice::WriteOnly))
        return makeError(CannotWrite, file.errorString());
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=Tanvill\n"
                                         "Comment=Watches the prices of applications\n"
                                         "Exec=%1\n"
                                         "Icon=%2\n"
                                         "Terminal=false\n"
                                         "X-GNOME-Autostart-enabled=true\n")
                              .arg(execValue(m_program), bundleIdentifier());
    file.write(entry.toUtf8());
    if (!file.commit())
        return makeError(CannotWrite, file.errorString());
    return std::nullopt;
}

std::optional<Error> LoginItem::removeEntry() const
{
    QFile file(filePath());
    if (!file.exists() && !QFileInfo(filePath()).isSymLink())
        return std::nullopt;
    if (!file.remove())
        return makeError(CannotRemove, file.errorString());
    return std::nullopt;
}

Error LoginItem::makeError(int code, const QString &reason) const
{
    Error error;
    error.domain = Error::domainFor(QStringLiteral("LoginItem"));
    error.code = code;
    error.description
        = Strings::localized(code == CannotWrite ? QStringLiteral("LoginItemAddError Title")
                                                 : QStringLiteral("LoginItemRemoveError Title"));
    error.recoverySuggestion = filePath() + QStringLiteral(": ") + reason;
    return error;
}

} // namespace tanvill
