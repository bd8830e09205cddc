// Entry point of the headless test executables: an isolated user and a Qt event loop.
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    tanvill::test::IsolatedHome home;
    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
