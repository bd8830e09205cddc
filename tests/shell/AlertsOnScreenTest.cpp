#include "ShellTestSupport.h"
#include "controls/WindowPlacement.h"
#include "core/ListsController.h"
#include "platform/Strings.h"
#include "shell/MessageBoxAlertPresenter.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <gtest/gtest.h>

#include <memory>
#include <optional>

using namespace tanvill;

namespace {

// The message box on screen now, if any.
QMessageBox *visibleMessageBox()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *box = qobject_cast<QMessageBox *>(widget); box && box->isVisible())
            return box;
    }
    return nullptr;
}

QAbstractButton *buttonNumber(QMessageBox *box, int index)
{
    for (QAbstractButton *button : box->buttons()) {
        if (button->property("alertButtonIndex").toInt() == index)
            return button;
    }
    return nullptr;
}

QString informativeText(QMessageBox *box)
{
    const auto *label = box->findChild<QLabel *>("qt_msgbox_informativelabel");
    return label ? label->text() : QString();
}

bool everyLabelIsPlainText(QMessageBox *box)
{
    const QList<QLabel *> labels = box->findChildren<QLabel *>();
    return std::all_of(labels.begin(), labels.end(), [](const QLabel *label) {
        return label->pixmap().isNull() == false || label->textFormat() == Qt::PlainText;
    });
}

// The application's services with message boxes, started over the store file as it is.
struct AlertsOnScreen : ::testing::Test
{
    void start()
    {
        ServicesOptions options = test::recordingServicesOptions(&unused);
        options.alertPresenter = std::make_unique<MessageBoxAlertPresenter>();
        services.emplace(std::move(options));
    }
    QString dataFolder() const
    {
        return QFileInfo(ListsController::defaultStorePath()).absolutePath();
    }

    test::IsolatedHome home;
    RecordingAlertPresenter *unused = nullptr;
    std::optional<Services> services;
};

} // namespace

TEST_F(AlertsOnScreen, ACorruptStoreAtStartIsShownInAMessageBox)
{
    ASSERT_TRUE(QDir().mkpath(dataFolder()));
    QFile file(ListsController::defaultStorePath());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(8192, 'x'));
    file.close();

    start();
    EXPECT_EQ(visibleMessageBox(), nullptr) << "nothing shows while the services are made";
    ASSERT_TRUE(test::waitFor([] { return visibleMessageBox() != nullptr; }));
    QMessageBox *box = visibleMessageBox();
    box->grab().save(test::testOutputDir("windows") + "/alert-store-set-aside.png");
    EXPECT_EQ(box->text(), Strings::localized("StoreSetAsideNotice"));
    EXPECT_TRUE(informativeText(box).contains("Tanvill.unreadable-"));
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    ASSERT_EQ(box->buttons().size(), 1);
    QTest::mouseClick(box->buttons().front(), Qt::LeftButton);
    EXPECT_TRUE(test::waitFor([] { return visibleMessageBox() == nullptr; }));
}

TEST_F(AlertsOnScreen, AnUnopenableStoreShowsACriticalAlertAndThenQuits)
{
    // A file where the data folder should be.
    QDir().mkpath(QFileInfo(dataFolder()).absolutePath());
    QFile blocker(dataFolder());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    QString shownText;
    QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
    QTimer answering;
    QObject::connect(&answering, &QTimer::timeout, [&] {
        if (QMessageBox *box = visibleMessageBox()) {
            shownText = box->text();
            shownIcon = box->icon();
            QTest::mouseClick(box->buttons().front(), Qt::LeftButton);
        }
    });
    answering.start(20);
    // Ends a program that never quits. It ends with the test: a later test's loop, however
    // much later, is not this one's to end.
    QTimer::singleShot(10000, &answering, [] { QCoreApplication::exit(-2); });

    start();
    // The application's own loop: the program's exit ends it and leaves a later loop free to
    // run, where an inner loop would leave every later one ended at once.
    EXPECT_EQ(QCoreApplication::exec(), 1) << "the program quits with a failure";
    EXPECT_EQ(shownText, Strings::localized("StoreUnavailableNotice"));
    EXPECT_EQ(shownIcon, QMessageBox::Critical);
}

TEST(MessageBoxAlertPresenter, SheetsShowPlainTextAndTheAlertsButtonsAndAnswerWithTheChoice)
{
    QWidget window;
    window.resize(400, 300);
    window.show();
    Alert alert;
    alert.messageText = "Delete the list “<b>Games</b>”?";
    alert.informativeText = "<i>This can't be undone.</i>";
    alert.buttons = { "Delete", "Keep & Archive", "Cancel" };
    alert.showsSuppressionButton = true;
    alert.window = &window;

    struct Case
    {
        int clicked; // -1: Escape
        bool tick;
        int answer;
    };
    for (const Case c : { Case { 1, true, 1 }, Case { 0, false, 0 }, Case { -1, false, 2 } }) {
        std::optional<AlertAnswer> answer;
        MessageBoxAlertPresenter().present(alert, [&](const AlertAnswer &a) { answer = a; });
        QMessageBox *box = visibleMessageBox();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->parentWidget(), &window);
        EXPECT_EQ(box->windowModality(), Qt::WindowModal);
        EXPECT_EQ(box->text(), alert.messageText);
        EXPECT_EQ(informativeText(box), alert.informativeText);
        EXPECT_TRUE(everyLabelIsPlainText(box));
        EXPECT_EQ(box->defaultButton(), buttonNumber(box, 0));
        EXPECT_EQ(box->escapeButton(), buttonNumber(box, 2));
        ASSERT_NE(buttonNumber(box, 1), nullptr);
        EXPECT_EQ(buttonNumber(box, 1)->text(), "Keep && Archive");
        ASSERT_NE(box->checkBox(), nullptr);
        box->checkBox()->setChecked(c.tick);
        if (c.tick)
            box->grab().save(test::testOutputDir("windows") + "/alert-sheet.png");
        if (c.clicked < 0)
            QTest::keyClick(box, Qt::Key_Escape);
        else
            QTest::mouseClick(buttonNumber(box, c.clicked), Qt::LeftButton);
        ASSERT_TRUE(test::waitFor([&] { return answer.has_value(); }));
        EXPECT_EQ(answer->buttonIndex, c.answer);
        EXPECT_EQ(answer->suppressionChecked, c.tick);
        EXPECT_TRUE(test::waitFor([] { return visibleMessageBox() == nullptr; }));
    }
}

TEST(MessageBoxAlertPresenter, AHugeMessageIsShortenedSoTheBoxAndItsButtonFitTheScreen)
{
    Alert alert;
    alert.messageText = QStringLiteral("word ").repeated(20'000);
    alert.informativeText = QStringLiteral("line\n").repeated(10'000);
    const std::unique_ptr<QMessageBox> box(MessageBoxAlertPresenter::messageBox(alert));
    box->show();
    EXPECT_LE(box->frameGeometry().height(), box->screen()->availableGeometry().height());
    const QAbstractButton *ok = box->buttons().constFirst();
    EXPECT_LE(ok->mapTo(box.get(), ok->rect().bottomLeft()).y(), box->height());
}

TEST(MessageBoxAlertPresenter, AnAlertWhoseWindowIsNotOnScreenOpensCentredOnTheScreen)
{
    QWidget window;
    Alert alert;
    alert.messageText = Strings::localized("LinkOpenFailedPageTitle");
    alert.window = &window;
    MessageBoxAlertPresenter presenter;
    presenter.present(alert);
    QMessageBox *box = visibleMessageBox();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->parentWidget(), nullptr);
    const QPoint centre = box->screen()->availableGeometry().center();
    EXPECT_LE((box->frameGeometry().center() - centre).manhattanLength(), 2);
    box->close();
    // One over another alert goes to the window under both: the first takes its children along.
    window.show();
    presenter.present(alert);
    alert.window = window.findChild<QMessageBox *>();
    presenter.present(alert);
    EXPECT_EQ(window.findChildren<QMessageBox *>(Qt::FindDirectChildrenOnly).size(), 2);
}

TEST(MessageBoxAlertPresenter, ALongNameWithoutSpacesIsShortenedInTheMiddleAndTheSentenceFits)
{
    QWidget window;
    window.resize(420, 640);
    window.show();
    Alert alert;
    alert.messageText = Strings::localizedFormat("DuplicateAppNotice", { QString(1024, 'W') });
    alert.window = &window;
    MessageBoxAlertPresenter().present(alert);
    QMessageBox *box = visibleMessageBox();
    ASSERT_NE(box, nullptr);
    box->grab().save(test::testOutputDir("windows") + "/alert-long-name.png");
    EXPECT_LE(box->width(), window.width());
    EXPECT_TRUE(QRegularExpression("“W{8,}…W{8,}”\\.$").match(box->text()).hasMatch());
    const auto *label = box->findChild<QLabel *>("qt_msgbox_label");
    EXPECT_LE(label->sizeHint().width(), label->width()) << "the sentence fits the box";
    box->close();
}

TEST(MessageBoxAlertPresenter, AnAlertNamingAFileShowsItsPathWholeAndLetsItBeCopied)
{
    const QString path = "/home/someone/AVeryLongFolderNameThatTheUserGaveTheirHomeFolder"
                         "/.local/share/com.tanvill.Tanvill/Tanvill.unsaved-20240501-100000.sqlite";
    Alert beneath, inHeading;
    beneath.messageText = Strings::localized("StoreSetAsideNotice");
    beneath.informativeText = Strings::localizedFormat("StoreSetAsideSuggestion", { path });
    inHeading.messageText = "Your changes were kept in " + path + ".";
    for (const Alert &alert : { beneath, inHeading }) {
        const std::unique_ptr<QMessageBox> box(MessageBoxAlertPresenter::messageBox(alert));
        box->show();
        const auto *label = box->findChild<QLabel *>(
            alert.informativeText.isEmpty() ? "qt_msgbox_label" : "qt_msgbox_informativelabel");
        EXPECT_TRUE(label->text().contains(path)) << label->text().toStdString();
        EXPECT_TRUE(label->textInteractionFlags() & Qt::TextSelectableByMouse);
        EXPECT_LE(label->sizeHint().width(), label->width()) << "the path wraps inside the box";
        box->grab().save(test::testOutputDir("windows") + "/alert-file-path.png");

        // The keyboard alone copies it: Tab to the text, Ctrl+A, Ctrl+C.
        QApplication::setActiveWindow(box.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(box.get()));
        EXPECT_EQ(QApplication::focusWidget(), box->defaultButton()) << "Space still answers";
        for (int tabs = 0; tabs < 5 && QApplication::focusWidget() != label; ++tabs)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QApplication::clipboard()->text(), label->text());
    }
}

// An alert of a window opens over it and on the screen, also where the window hangs off the
// screen's corner; one the window system puts off the screen, or away from its window, as it
// maps it is put back over its window.
TEST(MessageBoxAlertPresenter, AnAlertOpensOverItsWindowOnTheScreenWhereverTheSystemFirstPutsIt)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const std::pair<QPoint, std::optional<QPoint>> cases[] = {
        { screen.bottomRight() - QPoint(200, 100), std::nullopt },
        { screen.topLeft() + QPoint(150, 150), screen.topLeft() - QPoint(40, 30) },
        { screen.topLeft() + QPoint(300, 300), screen.topLeft() },
    };
    for (const auto &[windowAt, systemPutsItAt] : cases) {
        QWidget window;
        window.setGeometry(QRect(windowAt, QSize(400, 260)));
        window.show();
        Alert alert;
        alert.messageText = "The store's server failed to answer (HTTP status 500).";
        alert.window = &window;
        MessageBoxAlertPresenter().present(alert);
        QMessageBox *box = visibleMessageBox();
        ASSERT_NE(box, nullptr);
        if (systemPutsItAt)
            box->windowHandle()->setPosition(*systemPutsItAt);
        test::drainEvents(); // the window system's news of where it put the box
        const bool centred = screen.contains(window.frameGeometry());
        EXPECT_TRUE(test::waitFor([&] {
            const QRect frame = box->frameGeometry();
            return frameLiesOnScreen(frame) && frame.intersects(window.frameGeometry())
                && (!centred || std::abs(frame.center().x() - window.geometry().center().x()) <= 1);
        })) << windowAt.x()
            << "," << windowAt.y();
        box->close();
    }
}
