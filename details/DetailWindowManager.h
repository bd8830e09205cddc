#pragma once

// Decides where an application's details are shown: the list table hands it the summary
// controller of the row the user clicked. The detail windows themselves are built on this
// class; until then opening shows nothing.

#include <QObject>

namespace tanvill {

class AppSummaryController;

class DetailWindowManager : public QObject
{
    Q_OBJECT
public:
    explicit DetailWindowManager(QObject *parent = nullptr);
    ~DetailWindowManager() override;

    // Shows the details of the controller's application. A manager that keeps the controller
    // beyond the call takes a share of it (controller->shared_from_this()).
    virtual void openDetailWindowWithSummaryController(AppSummaryController *controller);
};

} // namespace tanvill
