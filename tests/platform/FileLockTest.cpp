#include "platform/FileLock.h"
#include "support/TestEnvironment.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace tanvill;

// Two launches find one stale lock file they may not write and replace it at the same moment:
// whichever moment the other's replacement meets this one's, exactly one of them holds the
// file at the path afterwards.
TEST(FileLock, ReplacingAStaleLockNeverDisplacesOneAnotherLaunchHolds)
{
    for (const LockSupport support : { LockSupport::System, LockSupport::NoFlock }) {
        for (const bool othersTurnFirst : { true, false }) {
            SCOPED_TRACE(testing::Message() << "fcntl only " << (support == LockSupport::NoFlock)
                                            << ", the other's turn first " << othersTurnFirst);
            QTemporaryDir dir;
            const QString path = dir.path() + "/Tanvill.lock";
            QFile stale(path);
            ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
            stale.close();
            ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), 0444), 0);
            const test::WithFilePermissions asAUser;

            FileLock other(support);
            FileLock self(support);
            FileLock::Result othersResult = FileLock::Result::Failed;
            self.whileReplacing = [&](bool holdingTurn) {
                if (holdingTurn != othersTurnFirst && !other.isLocked()) {
                    QString error;
                    othersResult = other.tryLock(path, 0644, false, &error);
                }
            };
            QString error;
            const FileLock::Result result = self.tryLock(path, 0644, false, &error);
            EXPECT_EQ(othersResult == FileLock::Result::Locked, other.isInPlace());
            EXPECT_EQ(result == FileLock::Result::Locked, self.isInPlace()) << error.toStdString();
            EXPECT_EQ(other.isInPlace() + self.isInPlace(), 1);
        }
    }
}
