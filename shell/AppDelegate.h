#pragma once

// The application's delegate: the one object that lives from the end of start-up to the end
// of the process. It starts the periodic updater when launch finishes, keeps the Latest
// Changes window, deletes lists on the user's word and saves the store when the application
// terminates. app/main.cpp makes it after the services and calls it.

#include "platform/SharedInstance.h"
#include "store/widgets/ChangesWindowController.h"

#include <QObject>

namespace tanvill {

class Services;

class AppDelegate : public QObject
{
    Q_OBJECT

public:
    // The running application's delegate; null before it is made and after it is gone.
    static AppDelegate *sharedAppDelegate();

    // Uses `services`, which must outlive the delegate.
    explicit AppDelegate(Services &services);
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    // Writes the store and waits for it, so that nothing is lost when the process ends.
    void applicationWillTerminate();

    // Opens the Latest Changes window; the updater shows its changes through it.
    ChangesWindowController &currentChangeWindowController() { return m_changesWindowController; }

    // Asks whether to delete the selected list and deletes it after "Yes".
    void deleteList();

private:
    Services &m_services;
    ChangesWindowController m_changesWindowController;
    SharedRegistration<AppDelegate> m_registration { this };
};

} // namespace tanvill
