#include "platform/LoginItem.h"
#include "platform/Clipboard.h"
#include "platform/Strings.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

} // namespace

TEST(LoginItem, TurningOnWritesAValidAutostartEntryForThisProgramAndOffRemovesIt)
{
    LoginItem item;
    EXPECT_EQ(item.filePath(),
              qEnvironmentVariable("XDG_CONFIG_HOME") + "/autostart/com.tanvill.Tanvill.desktop");
    EXPECT_FALSE(item.isEnabled());

    ASSERT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_TRUE(item.isEnabled());
    const QString entry = readAll(item.filePath());
    EXPECT_TRUE(entry.contains("\nExec=" + QCoreApplication::applicationFilePath() + "\n"))
        << entry.toStdString();
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    if (!validator.isEmpty()) {
        QProcess process;
        process.start(validator, { item.filePath() });
        ASSERT_TRUE(process.waitForFinished(10000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAll().toStdString();
    }

    // Turning it on twice keeps one entry; off removes it, and off again is no error.
    EXPECT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_EQ(item.setEnabled(false), std::nullopt);
    EXPECT_FALSE(QFile::exists(item.filePath()));
    EXPECT_FALSE(item.isEnabled());
    EXPECT_EQ(item.setEnabled(false), std::nullopt);
}

TEST(LoginItem, AnEntrySwitchedOffByTheDesktopCountsAsOff)
{
    QTemporaryDir folder;
    LoginItem item(folder.path(), "/usr/bin/tanvill");
    QFile file(item.filePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Desktop Entry]\nType=Application\nExec=tanvill\nHidden = true\n");
    file.close();
    EXPECT_FALSE(item.isEnabled());
    ASSERT_EQ(item.setEnabled(true), std::nullopt);
    EXPECT_TRUE(item.isEnabled());
}

TEST(LoginItem, FailuresAreReportedWithTheFileAndChangeNothing)
{
    QTemporaryDir root;
    // A folder below a plain file cannot be made, whoever runs the test.
    QFile blocker(root.path() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    LoginItem unwritable(root.path() + "/file/autostart", "/usr/bin/tanvill");
    const std::optional<Error> writeError = unwritable.setEnabled(true);
    ASSERT_TRUE(writeError.has_value());
    EXPECT_EQ(writeError->domain, "com.tanvill.Tanvill.LoginItem");
    EXPECT_EQ(writeError->code, LoginItem::CannotWrite);
    EXPECT_EQ(writeError->description, Strings::localized("LoginItemAddError Title"));
    EXPECT_TRUE(writeError->recoverySuggestion.contains(unwritable.filePath()));
    EXPECT_FALSE(unwritable.isEnabled());

    // An entry that cannot be removed (here a folder in its place) is reported too.
    LoginItem blocked(root.path() + "/autostart", "/usr/bin/tanvill");
    ASSERT_TRUE(QDir().mkpath(blocked.filePath() + "/inside"));
    const std::optional<Error> removeError = blocked.setEnabled(false);
    ASSERT_TRUE(removeError.has_value());
    EXPECT_EQ(removeError->code, LoginItem::CannotRemove);
    EXPECT_EQ(removeError->description, Strings::localized("LoginItemRemoveError Title"));
    EXPECT_TRUE(QFileInfo(blocked.filePath()).isDir());
}

TEST(LoginItem, ProgramPathsAreQuotedAndEscapedForExec)
{
    const std::pair<QString, QString> cases[] = {
        { "/usr/bin/tanvill", "/usr/bin/tanvill" },
        { "/opt/my apps/tanvill", "\"/opt/my apps/tanvill\"" },
        { "/opt/100%/tanvill", "/opt/100%%/tanvill" },
        { "/opt/a\"b$c`d\\e/tanvill", "\"/opt/a\\\\\"b\\\\$c\\\\`d\\\\\\\\e/tanvill\"" },
        { "/opt/it's/tanvill", "\"/opt/it's/tanvill\"" },
    };
    for (const auto &[program, exec] : cases)
        EXPECT_EQ(LoginItem::execValue(program), exec) << program.toStdString();
}

TEST(Clipboard, KeepsTheTextWithoutADesktopSession)
{
    Clipboard::setText("https://apps.example.com/app/id1");
    EXPECT_EQ(Clipboard::text(), "https://apps.example.com/app/id1");
}
