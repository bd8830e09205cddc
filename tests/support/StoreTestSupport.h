#pragma once

// Helpers of the object store and lists tests: a controller on its own store file in a
// temporary folder, with the test's own services (fresh settings, analytics, a recording
// alert presenter).

#include "core/ListsController.h"
#include "platform/AlertPresenter.h"
#include "support/TestServices.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

namespace tanvill::test {

class StoreTest : public ::testing::Test
{
protected:
    StoreTest();
    ~StoreTest() override;

    QString storePath() const { return m_dir.path() + QStringLiteral("/data/Tanvill.sqlite"); }
    QString dataFolder() const { return m_dir.path() + QStringLiteral("/data"); }
    // Opens (again) a controller on the store file; the previous one is closed first.
    ListsController &reopen();
    // The same with a store opened in the background and taken over, as the application opens
    // it, whose check of the whole file runs at the given times.
    ListsController &reopenInBackground(int checkDelayMs, int checkRetryMs);
    void close() { m_controller.reset(); }
    ListsController &controller() { return *m_controller; }
    ObjectContext &context() { return *m_controller->managedObjectContext(); }

    App *addApp(List *list, const QString &name, int screenshots = 0);
    // A value of one SQL query on the file, read through a connection of its own.
    qint64 countRows(const QString &sql) const;

    TestServices services { { .listsController = false } };
    RecordingAlertPresenter *alerts = &services.alerts();

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ListsController> m_controller;
};

} // namespace tanvill::test
