#pragma once

// The loop that turns the messages of launches into what they ask for: a "tanvill:" link into
// the addition of its app, "reopen" into a window. A message is answered at once: a link is
// kept first (LinkInbox) and then answered taken; it is refused, and the launch told why, when
// LinkInbox::kMaxWaiting links wait already, or when it cannot be kept: a launch is told its
// link was taken only once it is on the disk (this copy's own start link, which nobody else
// would add, is added all the same while the store is this copy's). Messages are handled on a later
// turn of the event loop, once launch has finished, one at a time, in order and while no modal
// window is open; the next waits until the alert about the one before (if any) is answered. A link
// that waits already, or a second reopen, counts once. A link whose app was added is let go once
// the store has committed the app; one the store does not answer for now is put aside, with those
// waiting after it, until the next refresh or start. Of the application it asks only for its
// windows. The application's delegate owns one and hands it what launches send.

#include "platform/InstanceProtocol.h"
#include "shell/LinkInbox.h"

#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace tanvill {

struct Error;
class MainViewController;
class Services;
class UserDefaults;

class LinkLoop : public QObject
{
    Q_OBJECT

public:
    // What the loop asks of the application.
    struct Windows
    {
        // Shows the main window, or the welcome window while there is no list.
        std::function<void()> reopen;
        // Shows the main window; its view adds apps and shows the errors of an addition.
        std::function<MainViewController &()> showMainWindow;
    };

    // Uses `services`, which must outlive the loop; `folderSteps` watches or fails the steps that
    // keep links (tests).
    LinkLoop(Services &services, Windows windows, QString folder = LinkInbox::defaultFolder(),
             LinkFolder::StepHook folderSteps = {});

    // Who sent a message: a later launch, or the launch of this copy.
    enum class From { Launch, ThisLaunch };
    // A message from a launch, this one's own included: a "tanvill:" link or "reopen". This
    // launch's own link, when it cannot be kept, is added all the same while the store is this
    // copy's: nobody else would add it.
    instance::Answer takeMessage(const QString &message, From from = From::Launch);
    // Links taken and not let go yet: neither committed with their apps nor refused.
    int waitingLinkCount() const { return m_inbox.waitingCount(); }

    // Launch has finished with the store open: the links earlier starts and other copies kept
    // come first, oldest first, then the messages that came meanwhile.
    void start();
    // Before each refresh: the links put aside, and those other copies and starts kept, are
    // tried.
    void retry();
    // The end of the process: links are kept as they are taken; what could not be written then
    // is tried once more. What the last save commits lets its links go.
    void keepUnkept();

private:
    void processPendingMessages();
    void handleLink(const QString &link, std::function<void(LinkInbox::Ending)> finished);
    void finish(const QString &link, LinkInbox::Ending ending);
    // The store did not answer about `link`: it and the links still waiting, which would fare
    // no better, wait for the next refresh. The user learns which apps, once a run.
    void putLinksAside(const QString &link, const Error &error,
                       std::function<void(LinkInbox::Ending)> finished);
    // Takes in what other starts and copies kept (and an earlier version in `settings`); tells
    // of files that can never be read.
    void gather(UserDefaults *settings);
    // A start that cannot use its store ends with the alert about it: that alert says the links
    // taken are kept for later.
    void tellKeptForLater();

    Services &m_services;
    Windows m_windows;
    // The links taken, from the moment a launch was told so until each is let go.
    LinkInbox m_inbox;
    bool m_launched = false;
    bool m_handlingMessage = false;
    bool m_inMessageLoop = false;
    bool m_reopenRequested = false;
    // Links whose putting aside the user was told of in this run.
    QSet<QString> m_linksToldPutAside;
    // A number that tells the end of the message being handled from an earlier one's.
    quint64 m_messageGeneration = 0;
    // Takes the next message once a modal window closed or the one before has ended.
    QTimer m_messageTimer;
};

} // namespace tanvill
