// Entry point of the widget test executables: an isolated user, offscreen by default, and
// the application's own dark look.
#include "controls/DarkStyle.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    tanvill::test::IsolatedHome home;
    QApplication app(argc, argv);
    tanvill::applyDarkStyle(app);
    return RUN_ALL_TESTS();
}
