#include "details/DetailWindowManager.h"

namespace tanvill {

DetailWindowManager::DetailWindowManager(QObject *parent) : QObject(parent) { }

DetailWindowManager::~DetailWindowManager() = default;

void DetailWindowManager::openDetailWindowWithSummaryController(AppSummaryController *) { }

} // namespace tanvill
