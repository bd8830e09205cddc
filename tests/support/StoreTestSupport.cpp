#include "support/StoreTestSupport.h"

#include "core/store/Database.h"

#include <QDir>

namespace tanvill::test {

StoreTest::StoreTest()
{
    reopen();
}

StoreTest::~StoreTest()
{
    m_controller.reset();
}

ListsController &StoreTest::reopen()
{
    m_controller.reset();
    m_controller = std::make_unique<ListsController>(storePath());
    return *m_controller;
}

ListsController &StoreTest::reopenInBackground(int checkDelayMs, int checkRetryMs)
{
    m_controller.reset();
    auto store = std::make_unique<ObjectStore>();
    store->setCheckTimes(checkDelayMs, checkRetryMs);
    store->openInBackground(storePath());
    m_controller = std::make_unique<ListsController>(std::move(store));
    m_controller->takeOverStore();
    return *m_controller;
}

App *StoreTest::addApp(List *list, const QString &name, int screenshots)
{
    App *app = context().insertApp(list);
    app->setName(name);
    app->setIdentifier(QString::number(qHash(name) % 100000000));
    app->setCurrencyCode(QStringLiteral("USD"));
    app->setAppStoreDescription(name + QStringLiteral(" does many things."));
    for (int i = 0; i < screenshots; ++i)
        context().insertScreenshot(app)->setUrl(name + QStringLiteral("/shot%1.png").arg(i));
    return app;
}

qint64 StoreTest::countRows(const QString &sql) const
{
    Database database;
    if (!database.open(storePath(), false))
        return -1;
    return database.queryInteger(sql).value_or(-1);
}

} // namespace tanvill::test
