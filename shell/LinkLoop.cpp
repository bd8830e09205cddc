#include "shell/LinkLoop.h"

#include "core/ListsController.h"
#include "core/ListsControllerError.h"
#include "core/store/ObjectStore.h"
#include "lists/MainViewController.h"
#include "platform/AlertPresenter.h"
#include "platform/Analytics.h"
#include "platform/SingleInstance.h"
#include "platform/Strings.h"
#include "shell/Services.h"
#include "shell/UrlEvent.h"

#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QPointer>

namespace tanvill {

namespace {

// How long a link waits before it is tried again while a modal window is open.
constexpr int kMessageRetryMs = 250;

// A link whose app a list holds already has come to its end as one whose app was added: it
// goes once that app is committed too.
LinkInbox::Ending endingOf(MainViewController::AdditionEnd end, const std::optional<Error> &error)
{
    switch (end) {
    case MainViewController::AdditionEnd::Added:
        return LinkInbox::Ending::Added;
    case MainViewController::AdditionEnd::Refused:
        break;
    case MainViewController::AdditionEnd::PassingFailure:
        return LinkInbox::Ending::PutAside;
    }
    return error && isAlreadyInListError(*error) ? LinkInbox::Ending::Added
                                                 : LinkInbox::Ending::Refused;
}

// The store identifier a link names, for telling the user which app it is.
QString identifierOfLink(const QString &link)
{
    return addAppIdentifierFromLink(link).value_or(link);
}

} // namespace

LinkLoop::LinkLoop(Services &services, Windows windows, QString folder,
                   LinkFolder::StepHook folderSteps)
    : m_services(services), m_windows(std::move(windows)),
      m_inbox(std::move(folder), std::move(folderSteps))
{
    m_messageTimer.setSingleShot(true);
    connect(&m_messageTimer, &QTimer::timeout, this, &LinkLoop::processPendingMessages);
}

instance::Answer LinkLoop::takeMessage(const QString &message, From from)
{
    if (message == SingleInstance::kReopenMessage) {
        m_reopenRequested = true;
    } else if (!m_inbox.isWaiting(message)) {
        if (m_inbox.waitingCount() >= LinkInbox::kMaxWaiting) {
            qWarning("A link was refused: %d are waiting already", LinkInbox::kMaxWaiting);
            return instance::Answer::refused(Strings::localizedFormat(
                QStringLiteral("LinkRefusedTooMany"), { qint64(LinkInbox::kMaxWaiting) }));
        }
        QString error;
        // Taken is a promise that nothing ends the link now, a kill or a logout included: one
        // that is not on the disk is refused, and its launch tells its user why. (Holding the
        // answer until the app is in the store instead would keep launches waiting on the
        // network and on another program's hold on the store, beyond what they wait.)
        const bool storeUsable
            = ObjectStore::isUsable(m_services.listsController().openResult().outcome);
        if (!m_inbox.take(message, &error)) {
            if (from == From::Launch || !storeUsable) {
                qCritical().noquote() << "A link could not be kept, and was not taken:" << error;
                return instance::Answer::refused(
                    Strings::localizedFormat(QStringLiteral("LinkRefusedNotKept"), { error }));
            }
            // Straight into the store: the user hears only if its app cannot be added now
            // either (the alert about links put aside says they are not kept).
            qWarning().noquote() << "This launch's link could not be kept for later; its app is "
                                    "added now:"
                                 << error;
            m_inbox.holdUnkept(message);
        }
        if (!storeUsable)
            tellKeptForLater();
    }
    // Handled on a fresh turn: the launch has its answer first.
    m_messageTimer.start(0);
    return instance::Answer::taken();
}

void LinkLoop::tellKeptForLater()
{
    ListsController &lists = m_services.listsController();
    lists.setUnusableStoreNote(Strings::localizedFormat(
        lists.openResult().runningCopy > 0 ? QStringLiteral("StoreLinksKeptForRunningCopy")
                                           : QStringLiteral("StoreLinksKeptForLaterStart"),
        { qint64(m_inbox.waitingCount()) }));
}

void LinkLoop::start()
{
    // The links earlier starts and other copies kept come first, oldest first.
    gather(&m_services.settings());
    m_launched = true;
    processPendingMessages();
}

void LinkLoop::retry()
{
    m_inbox.retryPutAside();
    gather(nullptr);
    processPendingMessages();
}

void LinkLoop::keepUnkept()
{
    QString error;
    const QStringList unkept = m_inbox.keepUnkept(&error);
    if (!unkept.isEmpty())
        qCritical().noquote() << "Links not added yet could not be kept for the next start ("
                + error + "):" << unkept.join(' ');
}

void LinkLoop::gather(UserDefaults *settings)
{
    const QStringList setAside = m_inbox.gather(settings);
    if (setAside.isEmpty())
        return;
    QStringList shown;
    for (const QString &path : setAside)
        shown << QDir::toNativeSeparators(path);
    qCritical().noquote() << "Kept links that cannot be read were set aside:" << shown.join(' ');
    Alert alert;
    alert.style = Alert::Style::Warning;
    alert.messageText = Strings::localizedFormat(QStringLiteral("LinksSetAsideTitle"),
                                                 { qint64(setAside.size()) });
    alert.informativeText = Strings::localizedFormat(QStringLiteral("LinksSetAsideMessage"),
                                                     { shown.join(QLatin1Char('\n')) });
    alert.selectableText = true;
    m_services.alertPresenter().present(alert);
}

void LinkLoop::processPendingMessages()
{
    // One at a time: an alert shown for one link runs its own event loop, in which the next
    // link may arrive; it waits until this one is done, its alert answered included.
    if (!m_launched || m_handlingMessage)
        return;
    while (m_reopenRequested || m_inbox.hasNext()) {
        if (QApplication::activeModalWidget()) {
            if (!m_messageTimer.isActive())
                m_messageTimer.start(kMessageRetryMs);
            return;
        }
        const std::optional<QString> link
            = std::exchange(m_reopenRequested, false) ? std::nullopt : m_inbox.next();
        m_handlingMessage = true;
        const quint64 generation = ++m_messageGeneration;
        auto finished
            = [self = QPointer<LinkLoop>(this), generation, link](LinkInbox::Ending ending) {
                  if (!self || self->m_messageGeneration != generation || !self->m_handlingMessage)
                      return;
                  if (link)
                      self->finish(*link, ending);
                  self->m_handlingMessage = false;
                  // Ended later, from an answered alert: the next is taken on a fresh turn.
                  if (!self->m_inMessageLoop)
                      self->m_messageTimer.start(0);
              };
        m_inMessageLoop = true;
        if (link) {
            handleLink(*link, finished);
        } else {
            m_windows.reopen();
            finished(LinkInbox::Ending::Added);
        }
        m_inMessageLoop = false;
        if (m_handlingMessage)
            return;
    }
}

void LinkLoop::finish(const QString &link, LinkInbox::Ending ending)
{
    m_inbox.finish(link, ending);
    if (ending != LinkInbox::Ending::Added)
        return;
    // Its app is in memory, and its save may wait (another program holds the store): the link
    // stays kept until the app is in the file, whatever ends the program meanwhile.
    m_services.listsController().whenCommitted([self = QPointer<LinkLoop>(this), link] {
        if (self)
            self->m_inbox.committed(link);
    });
}

void LinkLoop::handleLink(const QString &link, std::function<void(LinkInbox::Ending)> finished)
{
    const std::optional<QString> identifier = addAppIdentifierFromLink(link);
    if (!identifier) {
        finished(LinkInbox::Ending::Refused);
        return;
    }
    if (m_services.listsController().lists().empty()) {
        m_windows.reopen();
        Alert alert;
        alert.style = Alert::Style::Warning;
        alert.messageText = Strings::localized("AddAppNoListNotice");
        m_services.alertPresenter().runModal(alert);
        m_services.analytics().track(QStringLiteral("Safari Extension"));
        finished(LinkInbox::Ending::Refused);
        return;
    }
    // A link kept by an earlier start or another copy whose app a list holds already was
    // added then, or by hand since: it has come to its end without a word.
    const bool keptBefore = m_inbox.wasKeptBefore(link);
    const QPointer<MainViewController> main = &m_windows.showMainWindow();
    main->tryAddingApp(
        *identifier,
        [self = QPointer<LinkLoop>(this), main, link, keptBefore,
         finished](MainViewController::AdditionEnd end, const std::optional<Error> &error) {
            if (end == MainViewController::AdditionEnd::Added)
                qInfo().noquote() << "The app of a link was added; the link is kept until the "
                                     "store has it:"
                                  << link;
            if (end == MainViewController::AdditionEnd::Added || !error || !self || !main) {
                finished(endingOf(end, error));
                return;
            }
            if (end == MainViewController::AdditionEnd::PassingFailure) {
                self->putLinksAside(link, *error, finished);
                return;
            }
            if (keptBefore && isAlreadyInListError(*error)) {
                finished(endingOf(end, error));
                return;
            }
            main->presentError(*error, [finished, end, error] { finished(endingOf(end, error)); });
        },
        false);
    m_services.analytics().track(QStringLiteral("Safari Extension"));
}

void LinkLoop::putLinksAside(const QString &link, const Error &error,
                             std::function<void(LinkInbox::Ending)> finished)
{
    // Put aside at once, so that a refresh that starts while the alert is open tries it again.
    m_inbox.finish(link, LinkInbox::Ending::PutAside);
    QStringList heldBack { link };
    while (const std::optional<QString> waiting = m_inbox.next()) {
        if (addAppIdentifierFromLink(*waiting)) {
            m_inbox.finish(*waiting, LinkInbox::Ending::PutAside);
            heldBack << *waiting;
        } else {
            m_inbox.finish(*waiting, LinkInbox::Ending::Refused);
        }
    }
    QStringList identifiers;
    bool allKept = true;
    bool toldAll = true;
    for (const QString &held : std::as_const(heldBack)) {
        identifiers << identifierOfLink(held);
        allKept = allKept && m_inbox.isKept(held);
        toldAll = toldAll && m_linksToldPutAside.contains(held);
        m_linksToldPutAside.insert(held);
    }
    qWarning().noquote() << "Links wait for the next refresh (" + error.description + "):"
                         << heldBack.join(' ');
    // Told once a run: a store that stays away is not announced at every refresh.
    if (toldAll) {
        finished(LinkInbox::Ending::PutAside);
        return;
    }
    Alert alert;
    alert.style = Alert::Style::Warning;
    alert.informativeText = error.description + QStringLiteral("\n\n")
        + Strings::localized(allKept ? "LinksPutAsideMessage" : "LinksPutAsideNotKeptMessage");
    // The apps are named whole, each of them, wrapped where they must be; a long list of them
    // comes last, where it may scroll without hiding what became of them.
    if (identifiers.size() == 1) {
        alert.messageText = Strings::localizedFormat(QStringLiteral("LinkPutAsideTitle"),
                                                     { identifiers.front() });
    } else {
        alert.messageText = Strings::localizedFormat(QStringLiteral("LinksPutAsideTitle"),
                                                     { qint64(identifiers.size()) });
        alert.informativeText += QStringLiteral("\n\n")
            + Strings::localizedFormat(QStringLiteral("LinksPutAsideIdentifiers"),
                                       { identifiers.join(QStringLiteral(", ")) });
    }
    alert.selectableText = true;
    // An alert of its own in the middle of the screen, as the other notices about links are: a
    // window manager may put a sheet on the main window, opened a moment before at a start, at
    // the screen's corner with its title bar off the screen.
    m_services.alertPresenter().present(
        alert, [finished](const AlertAnswer &) { finished(LinkInbox::Ending::PutAside); });
}

} // namespace tanvill
