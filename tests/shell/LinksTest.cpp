// The links kept for later, through the application delegate: what the folder holds is read
// once and as the links it holds, what can never be read is set aside and told of, a link is on
// the disk before its launch hears it was taken, and it is let go once its app is in the file.
#include "ShellTestSupport.h"
#include "core/ListsController.h"
#include "core/store/Database.h"
#include "platform/Strings.h"
#include "shell/AppDelegate.h"
#include "shell/LinkFolder.h"
#include "shell/LinkInbox.h"
#include "shell/MessageBoxAlertPresenter.h"
#include "store/AppUpdater.h"
#include "support/FakeStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace tanvill;

namespace {

// What stands in the links' folder, links to files and FIFOs included.
QStringList folderEntries()
{
    return QDir(LinkInbox::defaultFolder())
        .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                   QDir::Name);
}

// Files by the bytes of their paths, which need not be UTF-8.
bool writeFile(const QByteArray &path, const QByteArray &bytes)
{
    QFile file;
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    return fd >= 0 && file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)
        && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QByteArray &path)
{
    QFile file;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    return fd >= 0 && file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)
        ? file.readAll()
        : "(unreadable)";
}

bool exists(const QByteArray &path)
{
    return ::access(path.constData(), F_OK) == 0;
}

// The read system calls the process has made.
qint64 readCalls()
{
    const QByteArray io = readFile("/proc/self/io");
    const qsizetype at = io.indexOf("syscr: ");
    return at < 0 ? -1 : io.mid(at + 7, io.indexOf('\n', at) - at - 7).toLongLong();
}

using LinksTest = test::ShellTest;

} // namespace

TEST(Links, AnAddedLinkIsLetGoOnlyOnceTheStoreHasCommittedItsApp)
{
    // When the store takes the app again: while the program runs, at quitting, or not even then.
    enum Freed { WhileRunning, AtQuitting, AtTheNextStart };
    const char *refuse = "CREATE TRIGGER refuse BEFORE INSERT ON apps BEGIN "
                         "SELECT RAISE(ABORT, 'disk full'); END";
    const struct
    {
        const char *block, *unblock;
        Freed freed;
    } cases[] = {
        { "BEGIN EXCLUSIVE", "ROLLBACK", WhileRunning },
        { refuse, "DROP TRIGGER refuse", AtQuitting },
        { refuse, "DROP TRIGGER refuse", AtTheNextStart },
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.freed);
        test::IsolatedHome home;
        test::FakeStore store;
        store.setLookup({ "51" });
        RecordingAlertPresenter *alerts = nullptr;
        Database other;
        {
            std::unique_ptr<Services> first = test::anotherStart(&alerts);
            first->listsController().createList("Games");
            first->listsController().saveWithAsync(false);
            AppDelegate delegate(*first);
            delegate.setQuitHandler([] {});
            delegate.applicationDidFinishLaunching();
            ASSERT_TRUE(other.open(ListsController::defaultStorePath(), false));
            ASSERT_TRUE(other.exec(c.block));
            // The same app asked for twice: the second link meets it in the list.
            for (const QString &link : { test::linkTo("51"), test::linkTo("51") + "&source=mail" })
                ASSERT_EQ(delegate.takeMessage(link).kind, instance::Answer::Kind::Taken);
            const QString inList
                = Strings::localizedFormat(QStringLiteral("DuplicateAppNotice"), { "Games" });
            ASSERT_TRUE(test::waitFor([&] {
                return std::any_of(alerts->alerts.begin(), alerts->alerts.end(),
                                   [&](const Alert &alert) { return alert.messageText == inList; });
            }));
            // The app is in memory only: both links stay kept.
            ASSERT_EQ(first->listsController().apps().size(), 1u);
            EXPECT_EQ(folderEntries().size(), 2);
            EXPECT_EQ(delegate.waitingLinkCount(), 2);
            ASSERT_TRUE(c.freed == AtTheNextStart || other.exec(c.unblock));
            if (c.freed == WhileRunning) {
                EXPECT_TRUE(test::waitFor([&] { return delegate.waitingLinkCount() == 0; }));
                EXPECT_TRUE(folderEntries().isEmpty());
            }
            delegate.applicationWillTerminate();
            EXPECT_EQ(folderEntries().size(), c.freed == AtTheNextStart ? 2 : 0);
        }
        ASSERT_TRUE(c.freed != AtTheNextStart || other.exec(c.unblock));
        // The next start has the app: from the store, or from the links kept for it.
        std::unique_ptr<Services> next = test::anotherStart(&alerts);
        AppDelegate delegate(*next);
        delegate.setQuitHandler([] {});
        delegate.applicationDidFinishLaunching();
        EXPECT_TRUE(test::waitFor([&] { return delegate.waitingLinkCount() == 0; }));
        EXPECT_EQ(test::identifiersIn(next->listsController()), QStringList { "51" });
        EXPECT_TRUE(folderEntries().isEmpty());
    }
}

TEST_F(LinksTest, ALinkIsOnTheDiskWithItsNameBeforeItsLaunchHearsItWasTaken)
{
    // Each sync of a folder: the folder, and what the links' folder holds then.
    std::vector<std::pair<QString, QStringList>> syncs;
    AppDelegate delegate(services, [&](LinkFolder::Step step, int folderFd) {
        if (step == LinkFolder::Step::SyncFolder)
            syncs.emplace_back(QFile::symLinkTarget(QString("/proc/self/fd/%1").arg(folderFd)),
                               folderEntries());
        return 0;
    });
    // The first link makes the folder, the second finds it.
    for (const char *identifier : { "1", "2" }) {
        const QStringList before = folderEntries();
        ASSERT_EQ(delegate.takeMessage(test::linkTo(identifier)).kind,
                  instance::Answer::Kind::Taken);
        const QStringList after = folderEntries();
        ASSERT_EQ(after.size(), before.size() + 1);
        QString name;
        for (const QString &entry : after)
            name = before.contains(entry) ? name : entry;
        const QString folder = QFileInfo(LinkInbox::defaultFolder()).canonicalFilePath();
        EXPECT_TRUE(std::any_of(syncs.begin(), syncs.end(), [&](const auto &sync) {
            return sync.first == folder && sync.second.contains(name);
        })) << identifier;
        EXPECT_EQ(readFile(QFile::encodeName(folder + "/" + name)),
                  test::linkTo(identifier).toUtf8());
    }
}

TEST(Links, KeptLinksComeBackInTheOrderTheyWereTakenWithinAMillisecondWhoeverNamedThem)
{
    test::IsolatedHome home;
    const QString folder = LinkInbox::defaultFolder();
    ASSERT_TRUE(QDir().mkpath(folder));
    // An earlier version did not pad its count of links; this one does.
    const char *names[] = { "0000000000001-7-9.link", "0000000000001-7-10.link",
                            "0000000000001-0000000007-0000000011.link" };
    for (int n = 0; n < 3; ++n)
        ASSERT_TRUE(writeFile(QFile::encodeName(folder) + "/" + names[n],
                              test::linkTo(QString::number(n)).toUtf8()));
    LinkInbox inbox;
    inbox.gather();
    for (int n = 0; n < 3; ++n)
        EXPECT_EQ(inbox.next().value_or("").toStdString(),
                  test::linkTo(QString::number(n)).toStdString());
    // A name this version gives sorts by its bytes, as every version reads them.
    const QByteArray name = LinkFolder::newName();
    EXPECT_EQ(LinkFolder::orderOf(name), name);
}

TEST_F(LinksTest, TwoThousandKeptLinksAreReadOnceAndLetGoWithoutReadingTheFolderAgain)
{
    // Links this version does not read: each is let go at once.
    ASSERT_TRUE(QDir().mkpath(LinkInbox::defaultFolder()));
    constexpr int kKept = 2000;
    for (int n = 0; n < kKept; ++n)
        ASSERT_TRUE(writeFile(
            QFile::encodeName(LinkInbox::defaultFolder()
                              + QStringLiteral("/%1-1-1.link").arg(n, 13, 10, QChar('0'))),
            QStringLiteral("tanvill:///open?id=%1").arg(n).toUtf8()));
    AppDelegate delegate(services);
    const qint64 before = readCalls();
    ASSERT_GE(before, 0);
    delegate.applicationDidFinishLaunching();
    EXPECT_EQ(delegate.waitingLinkCount(), 0);
    EXPECT_TRUE(folderEntries().isEmpty());
    // Each file read once; reading the folder again for each link made four million reads.
    EXPECT_LT(readCalls() - before, 5 * kKept);
}

TEST_F(LinksTest, AKeptFileIsReadAsTheLinkItHoldsOrSetAsideUnderAnotherNameAndToldOfOnce)
{
    services.listsController().createList("Games");
    test::FakeStore store;
    for (const char *identifier : { "61", "62", "63", "64" })
        store.setLookup({ identifier });
    const QString folder = LinkInbox::defaultFolder();
    ASSERT_TRUE(QDir().mkpath(folder));
    struct Kept
    {
        const char *name;
        QByteArray bytes;
        bool readable;
    };
    const Kept kept[] = {
        { "0000000000001-1-1", "tanvill:///addApp?id=61\n", true },
        { "0000000000001-1-2", "  tanvill:///addApp?id=62 \r\n", true },
        { "0000000000001-1-3", "", false },
        { "0000000000001-1-4", " \n\t", false },
        { "0000000000001-1-5", "tanvill:///addApp?id=\xff\xfe", false },
        { "0000000000001-1-6", QByteArray(16 * 1024 + 1, 'a'), false },
        // Names that are not UTF-8, from another system's copy or a user's hand.
        { "0000000000001-1-7\xff", "tanvill:///addApp?id=64", true },
        { "0000000000001-1-8\xfe", "", false },
    };
    const QByteArray folderBytes = QFile::encodeName(folder);
    for (const Kept &file : kept)
        ASSERT_TRUE(writeFile(folderBytes + "/" + file.name + ".link", file.bytes));
    // What is no regular file is neither followed nor touched.
    const QString outside = home.path() + "/outside";
    ASSERT_TRUE(writeFile(QFile::encodeName(outside), test::linkTo("63").toUtf8()));
    ASSERT_TRUE(QFile::link(outside, folder + "/0000000000002-1-1.link"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder + "/0000000000002-1-2.link").constData(), 0600), 0);
    ASSERT_TRUE(QDir().mkpath(folder + "/0000000000002-1-3.link"));
    AppDelegate delegate(services);
    delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(test::waitFor([&] { return services.listsController().apps().size() == 3; }));
    EXPECT_EQ(test::identifiersIn(services.listsController()), QStringList({ "61", "62", "64" }));
    EXPECT_TRUE(test::waitFor([&] { return delegate.waitingLinkCount() == 0; }));
    EXPECT_EQ(store.lookupCount("63"), 0);
    ASSERT_EQ(alerts->alerts.size(), 1u);
    const Alert &told = alerts->alerts[0];
    EXPECT_EQ(told.messageText,
              Strings::localizedFormat(QStringLiteral("LinksSetAsideTitle"), { qint64(5) }));
    for (const Kept &file : kept) {
        const QByteArray aside = folderBytes + "/" + file.name + ".unreadable";
        EXPECT_FALSE(exists(folderBytes + "/" + file.name + ".link")) << file.name;
        EXPECT_EQ(exists(aside), !file.readable) << file.name;
        if (!file.readable) {
            EXPECT_EQ(readFile(aside), file.bytes) << file.name;
            EXPECT_TRUE(told.informativeText.contains(QFile::decodeName(aside))) << file.name;
        }
    }
    EXPECT_EQ(QFileInfo(folder + "/0000000000002-1-1.link").symLinkTarget(), outside);
    EXPECT_EQ(readFile(QFile::encodeName(outside)), test::linkTo("63").toUtf8());
    EXPECT_TRUE(QFileInfo(folder + "/0000000000002-1-2.link").exists());
    EXPECT_TRUE(QFileInfo(folder + "/0000000000002-1-3.link").isDir());
    // The next refresh reads the folder again, and has nothing new to tell.
    services.appUpdater().update();
    EXPECT_EQ(alerts->alerts.size(), 1u);
}

TEST_F(LinksTest, TheAlertAboutLinksPutAsideAtAStartSaysItAllInTheMiddleOfTheScreenAtAnyCount)
{
    services.listsController().createList("Games");
    test::FakeStore store;
    store.setDefaultResponse(test::FakeResponse::withStatus(503, "busy"));
    for (const int count : { 1, 25, LinkInbox::kMaxWaiting }) {
        SCOPED_TRACE(count);
        QDir(LinkInbox::defaultFolder()).removeRecursively();
        QStringList identifiers;
        for (int n = 0; n < count; ++n) {
            identifiers << QString::number(1'000'000'000'000'000'000 + n); // the longest there are
            ASSERT_TRUE(LinkInbox().take(test::linkTo(identifiers.back())));
        }
        alerts->alerts.clear();
        AppDelegate start(services);
        start.applicationDidFinishLaunching();
        ASSERT_TRUE(test::waitFor([&] { return alerts->alerts.size() == 1; }));
        // An alert of its own, not a sheet on the main window.
        EXPECT_EQ(alerts->alerts[0].window, nullptr);
        const std::unique_ptr<QMessageBox> box(
            MessageBoxAlertPresenter::messageBox(alerts->alerts[0]));
        box->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(box.get()));
        test::drainEvents();
        // Every text shown whole, none cut at the side; a long one may scroll.
        QString shown;
        for (const QLabel *label : box->findChildren<QLabel *>()) {
            if (!label->isVisibleTo(box.get()) || label->text().isEmpty())
                continue;
            shown += label->text() + "\n";
            EXPECT_EQ(label->visibleRegion().boundingRect().width(), label->width());
        }
        for (const QString &text : identifiers << Strings::localized("LinksPutAsideMessage"))
            EXPECT_TRUE(shown.contains(text)) << text.toStdString();
        // Centred also once it has taken another size on screen.
        const QRect screen = box->screen()->availableGeometry();
        box->setFixedWidth(box->width() + 60);
        EXPECT_TRUE(test::waitFor([&] {
            const QRect frame = box->frameGeometry();
            return screen.contains(frame)
                && (frame.center() - screen.center()).manhattanLength() <= 2;
        }));
    }
}
