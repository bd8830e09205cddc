#include "platform/Strings.h"

#include <QFile>
#include <QHash>
#include <QLocale>

#include <nlohmann/json.hpp>

#include <optional>

static void initStringResources()
{
    Q_INIT_RESOURCE(tanvill_strings);
}

namespace tanvill {

namespace {

struct Table
{
    QHash<QString, QString> texts;
    // Keys with plural forms: category ("one", "other") -> text. Their "other" form is in texts.
    QHash<QString, QHash<QString, QString>> plurals;
    bool loaded = false;
};

Table &table()
{
    static Table instance;
    return instance;
}

void load(const QString &path)
{
    Table &t = table();
    t.texts.clear();
    t.plurals.clear();
    t.loaded = true;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning("Cannot read the string table %s", qPrintable(path));
        return;
    }
    const QByteArray bytes = file.readAll();
    const auto json = nlohmann::json::parse(bytes.begin(), bytes.end(), nullptr, false);
    if (!json.is_object()) {
        qWarning("The string table %s is not a JSON object", qPrintable(path));
        return;
    }
    for (auto it = json.begin(); it != json.end(); ++it) {
        const QString key = QString::fromStdString(it.key());
        if (it.value().is_string()) {
            t.texts.insert(key, QString::fromStdString(it.value().get<std::string>()));
            continue;
        }
        if (!it.value().is_object())
            continue;
        QHash<QString, QString> forms;
        for (auto form = it.value().begin(); form != it.value().end(); ++form) {
            if (form.value().is_string())
                forms.insert(QString::fromStdString(form.key()),
                             QString::fromStdString(form.value().get<std::string>()));
        }
        if (!forms.contains(QStringLiteral("other")))
            continue;
        t.texts.insert(key, forms.value(QStringLiteral("other")));
        t.plurals.insert(key, forms);
    }
}

void ensureLoaded()
{
    if (!table().loaded) {
        initStringResources();
        load(QStringLiteral(":/strings/en.json"));
    }
}

// The plural category of a count in the table's language, English: "one" for exactly one.
QString pluralCategory(qlonglong count)
{
    return count == 1 ? QStringLiteral("one") : QStringLiteral("other");
}

QString argumentText(const QVariant &argument, QChar conversion, int precision)
{
    if (conversion == QLatin1Char('@'))
        return argument.toString();
    if (conversion == QLatin1Char('f')) {
        return QString::number(argument.toDouble(), 'f', precision < 0 ? 6 : precision);
    }
    if (conversion == QLatin1Char('u'))
        return QString::number(argument.toULongLong());
    return QString::number(argument.toLongLong());
}

} // namespace

QString Strings::localized(const QString &key)
{
    ensureLoaded();
    return table().texts.value(key, key);
}

QString Strings::localized(const char *key)
{
    return localized(QString::fromUtf8(key));
}

bool Strings::contains(const QString &key)
{
    ensureLoaded();
    return table().texts.contains(key);
}

QString Strings::format(const QString &format, const QVariantList &arguments)
{
    QString result;
    result.reserve(format.size() + 16);
    int nextArgument = 0;
    const qsizetype length = format.size();
    qsizetype i = 0;
    while (i < length) {
        const QChar c = format.at(i);
        if (c != QLatin1Char('%') || i + 1 >= length) {
            result.append(c);
            ++i;
            continue;
        }
        if (format.at(i + 1) == QLatin1Char('%')) {
            result.append(QLatin1Char('%'));
            i += 2;
            continue;
        }
        // %[N$][.P][l|ll](@|d|i|u|f)
        qsizetype j = i + 1;
        std::optional<int> position;
        qsizetype digitsEnd = j;
        while (digitsEnd < length && format.at(digitsEnd).isDigit())
            ++digitsEnd;
        if (digitsEnd > j && digitsEnd < length && format.at(digitsEnd) == QLatin1Char('$')) {
            position = format.mid(j, digitsEnd - j).toInt() - 1;
            j = digitsEnd + 1;
        }
        int precision = -1;
        if (j < length && format.at(j) == QLatin1Char('.')) {
            qsizetype k = j + 1;
            while (k < length && format.at(k).isDigit())
                ++k;
            precision = format.mid(j + 1, k - j - 1).toInt();
            j = k;
        }
        while (j < length && format.at(j) == QLatin1Char('l'))
            ++j;
        if (j >= length) {
            result.append(format.mid(i));
            break;
        }
        const QChar conversion = format.at(j);
        static const QString conversions = QStringLiteral("@diuf");
        if (!conversions.contains(conversion) || (position && *position < 0)) {
            result.append(format.mid(i, j - i + 1));
            i = j + 1;
            continue;
        }
        const int index = position ? *position : nextArgument++;
        if (index < arguments.size())
            result.append(argumentText(arguments.at(index), conversion, precision));
        i = j + 1;
    }
    return result;
}

QString Strings::localizedFormat(const QString &key, const QVariantList &arguments)
{
    ensureLoaded();
    const auto plural = table().plurals.constFind(key);
    if (plural == table().plurals.cend())
        return format(localized(key), arguments);
    for (const QVariant &argument : arguments) {
        if (argument.typeId() == QMetaType::Int || argument.typeId() == QMetaType::LongLong
            || argument.typeId() == QMetaType::UInt || argument.typeId() == QMetaType::ULongLong) {
            const QString text = plural->value(pluralCategory(argument.toLongLong()));
            return format(text.isEmpty() ? plural->value(QStringLiteral("other")) : text,
                          arguments);
        }
    }
    return format(plural->value(QStringLiteral("other")), arguments);
}

void Strings::loadTable(const QString &path)
{
    if (path.isEmpty()) {
        initStringResources();
        load(QStringLiteral(":/strings/en.json"));
    } else {
        load(path);
    }
}

} // namespace tanvill
