// Every text the code looks up by key has an entry in the string table, and every drawing the
// windows ask for by name is a resource: a missing one would show its key, or nothing.
#include "controls/Images.h"
#include "platform/Strings.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

QString sourceRoot()
{
    return QDir::cleanPath(test::fixturesDir() + QStringLiteral("/../.."));
}

QString unescape(QString literal)
{
    return literal.replace(QStringLiteral("\\\""), QStringLiteral("\""))
        .replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
}

// The text from `from` (just after an opening parenthesis) to its closing one.
QString argumentsAt(const QString &source, qsizetype from)
{
    int depth = 1;
    bool inLiteral = false;
    for (qsizetype i = from; i < source.size(); ++i) {
        const QChar c = source[i];
        if (inLiteral) {
            if (c == QLatin1Char('\\'))
                ++i;
            else if (c == QLatin1Char('"'))
                inLiteral = false;
        } else if (c == QLatin1Char('"')) {
            inLiteral = true;
        } else if (c == QLatin1Char('(')) {
            ++depth;
        } else if (c == QLatin1Char(')') && --depth == 0) {
            return source.mid(from, i - from);
        }
    }
    return {};
}

// The keys one source file looks up: literals handed to localized() and localizedFormat(),
// both sides of a choice between two literals handed to them, and literals handed to the
// file's own helpers that take a `const char *key` and look it up.
QSet<QString> keysIn(const QString &source)
{
    static const QString literal
        = QStringLiteral(R"re((?:QStringLiteral\(\s*)?"((?:[^"\\]|\\.)*)")re");
    static const QRegularExpression direct(QStringLiteral(R"(\blocalized(?:Format)?\(\s*)")
                                           + literal);
    static const QRegularExpression choice(QStringLiteral(R"(\blocalized(?:Format)?\([^;?]*\?\s*)")
                                           + literal + QStringLiteral(R"(\)?\s*:\s*)") + literal);
    static const QRegularExpression helper(QStringLiteral(
        R"(\b(\w+)\s*\([^(){};]*const char \*key[^(){};]*\)\s*\{[^}]*(?:\blocalized|\btext\())"));
    static const QRegularExpression anyLiteral(literal);

    QSet<QString> keys;
    for (const QRegularExpressionMatch &m : direct.globalMatch(source))
        keys.insert(unescape(m.captured(1)));
    for (const QRegularExpressionMatch &m : choice.globalMatch(source)) {
        keys.insert(unescape(m.captured(1)));
        keys.insert(unescape(m.captured(2)));
    }
    for (const QRegularExpressionMatch &h : helper.globalMatch(source)) {
        const QRegularExpression call(
            QStringLiteral(R"((?<![\w:])%1\()").arg(QRegularExpression::escape(h.captured(1))));
        for (const QRegularExpressionMatch &c : call.globalMatch(source)) {
            const QString arguments = argumentsAt(source, c.capturedEnd());
            for (const QRegularExpressionMatch &l : anyLiteral.globalMatch(arguments))
                keys.insert(unescape(l.captured(1)));
        }
    }
    // Templates whose number is filled in first ("EmptySearchPlaceholder%1") name no key.
    keys.removeIf([](const QString &key) {
        return key.contains(QRegularExpression(QStringLiteral("%[0-9]")));
    });
    return keys;
}

} // namespace

TEST(StringKeys, EveryKeyTheCodeLooksUpIsInTheTable)
{
    int files = 0;
    QSet<QString> found;
    QStringList missing;
    for (const char *folder : { "app", "core", "store", "lists", "details", "sharing", "shell",
                                "controls", "platform" }) {
        QDirIterator it(sourceRoot() + QLatin1Char('/') + QLatin1String(folder),
                        { QStringLiteral("*.cpp"), QStringLiteral("*.h") }, QDir::Files,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
            ++files;
            const QSet<QString> keys = keysIn(QString::fromUtf8(file.readAll()));
            found.unite(keys);
            for (const QString &key : keys) {
                if (!Strings::contains(key))
                    missing << QFileInfo(file).fileName() + QStringLiteral(": ") + key;
            }
        }
    }
    EXPECT_GT(files, 100);
    EXPECT_GT(found.size(), 120);
    EXPECT_TRUE(missing.isEmpty()) << missing.join(QLatin1Char('\n')).toStdString();
}

TEST(StringKeys, EveryDrawingNamedForTheWindowsIsAResource)
{
    for (const char *name : { "working_animation_1", "working_animation_2", "working_animation_3",
                              "working_animation_4", "star-full", "star-half", "star-empty" }) {
        EXPECT_TRUE(Images::contains(QString::fromLatin1(name))) << name;
    }
    EXPECT_TRUE(QFile::exists(QStringLiteral(":/icons/com.tanvill.Tanvill.svg")));
}
