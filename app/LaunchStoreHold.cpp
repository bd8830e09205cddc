#include "app/LaunchStoreHold.h"

#include "core/store/ObjectStore.h"

namespace tanvill {

LaunchStoreHold::LaunchStoreHold(QString storePath)
    : LaunchStoreHold(std::move(storePath), std::make_unique<ObjectStore>())
{ }

LaunchStoreHold::LaunchStoreHold(QString storePath, std::unique_ptr<ObjectStore> store)
    : m_path(std::move(storePath)), m_store(std::move(store))
{
    m_store->openInBackground(m_path, ObjectStore::kKeeperLockWaitMs,
                              ObjectStore::FileChanges::AwaitPermission);
}

LaunchStoreHold::~LaunchStoreHold() = default;

void LaunchStoreHold::letGoToHandOver()
{
    m_store.reset();
}

bool LaunchStoreHold::heldByAnother()
{
    return ObjectStore::isInUse(m_path);
}

std::unique_ptr<ObjectStore> LaunchStoreHold::runOn()
{
    if (m_store) {
        m_store->allowFileChanges();
    } else {
        m_store = std::make_unique<ObjectStore>();
        m_store->openInBackground(m_path, ObjectStore::kKeeperLockWaitMs);
    }
    return std::move(m_store);
}

} // namespace tanvill
