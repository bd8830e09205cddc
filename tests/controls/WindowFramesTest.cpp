// The frames windows keep between runs: what the user chose, never what a smaller screen made
// of it.
#include "controls/WindowFrameAutosave.h"
#include "core/SettingsKeys.h"
#include "platform/UserDefaults.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QWidget>
#include <gtest/gtest.h>

using namespace tanvill;

namespace {

std::string frameText(const QRect &frame)
{
    return QString("%1 %2 %3 %4")
        .arg(frame.x())
        .arg(frame.y())
        .arg(frame.width())
        .arg(frame.height())
        .toStdString();
}

} // namespace

TEST(WindowFrames, AFrameFittedOntoASmallerScreenIsNotSavedOnlyTheUsersMovesAndResizesAre)
{
    QTemporaryDir folder;
    UserDefaults settings(folder.filePath("settings.ini"));
    const QString key = windowFrameSettingsKey("MainWindowFrame");
    // Chosen on a larger screen, or at a smaller scale: larger than this screen.
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QRect chosen(screen.topLeft() + QPoint(40, 30), screen.size() + QSize(400, 300));
    settings.setValue(key, QString::fromStdString(frameText(chosen)));
    {
        QWidget window;
        window.setMinimumSize(200, 150);
        setFrameAutosaveName(&window, "MainWindowFrame", settings);
        window.show();
        EXPECT_TRUE(screen.contains(window.frameGeometry())) << "the window fits the screen";
        window.close();
        window.show();
        window.hide();
        EXPECT_EQ(settings.string(key).toStdString(), frameText(chosen))
            << "the fitted frame is not saved";

        // A move keeps the size chosen; a resize replaces it.
        window.show();
        window.move(screen.topLeft() + QPoint(60, 50));
        chosen.moveTopLeft(screen.topLeft() + QPoint(60, 50));
        EXPECT_EQ(settings.string(key).toStdString(), frameText(chosen));
        window.resize(320, 240);
        chosen.setSize({ 320, 240 });
        EXPECT_EQ(settings.string(key).toStdString(), frameText(chosen));
        window.close();
    }
    QWidget nextRun;
    setFrameAutosaveName(&nextRun, "MainWindowFrame", settings);
    EXPECT_EQ(QRect(nextRun.pos(), nextRun.size()), chosen);
}
