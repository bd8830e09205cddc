#pragma once

// The application's delegate: the one object that lives from the start of the process to its
// end. It registers the settings, opens the data core, starts the periodic updater when launch
// finishes, keeps the Latest Changes window, deletes lists on the user's word and saves the
// store when the application terminates. app/main.cpp makes it and calls it.

#include "store/widgets/ChangesWindowController.h"

#include <QObject>

namespace tanvill {

class AppDelegate : public QObject
{
    Q_OBJECT

public:
    // The running application's delegate; null before it is made and after it is gone.
    static AppDelegate *sharedAppDelegate();

    AppDelegate();
    ~AppDelegate() override;

    void applicationDidFinishLaunching();
    // Writes the store and waits for it, so that nothing is lost when the process ends.
    void applicationWillTerminate();

    // Opens the Latest Changes window; the updater shows its changes through it.
    ChangesWindowController &currentChangeWindowController() { return m_changesWindowController; }

    // Asks whether to delete the selected list and deletes it after "Yes".
    void deleteList();

private:
    ChangesWindowController m_changesWindowController;
};

} // namespace tanvill
