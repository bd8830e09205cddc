#pragma once

// The launch's hold on the store. The store begins to load at once, before anything else is
// made, while the launch does not know yet whether it runs on or only hands its link to a
// running Tanvill. Until it knows, it only reads (creating, migrating, setting aside or
// repairing the store is left to the launch that keeps it), and it waits for a store another
// process holds for as long as it does not know. A launch that hands its link over lets go of
// the store first: the running copy, started at the same moment, may be waiting for it. A launch
// that runs on after all (the copy it met was quitting, or what listened was no Tanvill) opens
// the store again. main() takes these steps in turn; the single-instance handshake asks for the
// first two.

#include "platform/SingleInstance.h"

#include <QString>

#include <memory>

namespace tanvill {

class ObjectStore;

class LaunchStoreHold : public SingleInstance::LaunchHold
{
public:
    explicit LaunchStoreHold(QString storePath);
    // For tests: holds `store`, which opens as the launch's store does.
    LaunchStoreHold(QString storePath, std::unique_ptr<ObjectStore> store);
    ~LaunchStoreHold() override;

    // Lets go of the store, so that the running copy may have it.
    void letGoToHandOver() override;
    // True when another process holds the store (or nobody can tell): a running Tanvill would.
    bool heldByAnother() override;
    // This launch runs on: the store it holds, now allowed to change its files, or the store
    // opened anew when it had let go of it.
    std::unique_ptr<ObjectStore> runOn();

private:
    QString m_path;
    std::unique_ptr<ObjectStore> m_store;
};

} // namespace tanvill
