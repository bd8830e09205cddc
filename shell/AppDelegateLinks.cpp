// The links side of the application delegate: what a launch hands over is taken (a link kept
// at once by the LinkInbox) and answered, then handled one at a time once launch has finished.

#include "core/ListsController.h"
#include "core/ListsControllerError.h"
#include "core/store/ObjectStore.h"
#include "lists/MainViewController.h"
#include "lists/MainWindowController.h"
#include "platform/AlertPresenter.h"
#include "platform/Analytics.h"
#include "platform/SingleInstance.h"
#include "platform/Strings.h"
#include "shell/AppDelegate.h"
#include "shell/Services.h"
#include "shell/UrlEvent.h"

#include <QApplication>
#include <QDebug>

namespace tanvill {

namespace {

// How long a link waits before it is tried again while a modal window is open.
constexpr int kMessageRetryMs = 250;

LinkInbox::Ending endingOf(MainViewController::AdditionEnd end)
{
    switch (end) {
    case MainViewController::AdditionEnd::Added:
        return LinkInbox::Ending::Added;
    case MainViewController::AdditionEnd::Refused:
        break;
    case MainViewController::AdditionEnd::PassingFailure:
        return LinkInbox::Ending::PutAside;
    }
    return LinkInbox::Ending::Refused;
}

// The store identifier a link names, for telling the user which app it is.
QString identifierOfLink(const QString &link)
{
    return addAppIdentifierFromLink(link).value_or(link);
}

} // namespace

instance::Answer AppDelegate::takeMessage(const QString &message)
{
    if (message == SingleInstance::kReopenMessage) {
        m_reopenRequested = true;
    } else if (!m_linkInbox.isWaiting(message)) {
        if (m_linkInbox.waitingCount() >= LinkInbox::kMaxWaiting) {
            qWarning("A link was refused: %d are waiting already", LinkInbox::kMaxWaiting);
            return instance::Answer::refused(Strings::localizedFormat(
                QStringLiteral("LinkRefusedTooMany"), { qint64(LinkInbox::kMaxWaiting) }));
        }
        QString error;
        if (!m_linkInbox.take(message, &error)) {
            qCritical().noquote() << "A link could not be kept for later:" << error;
            // This copy adds it now, unless it has no store to add it to.
            if (!ObjectStore::isUsable(m_services.listsController().openResult().outcome)) {
                m_linkInbox.finish(message, LinkInbox::Ending::Refused);
                return instance::Answer::refused(
                    Strings::localizedFormat(QStringLiteral("LinkRefusedNotKept"), { error }));
            }
            if (!std::exchange(m_toldLinksNotKept, true)) {
                Alert alert;
                alert.style = Alert::Style::Warning;
                alert.messageText = Strings::localized("LinksNotKeptTitle");
                alert.informativeText
                    = Strings::localizedFormat(QStringLiteral("LinksNotKeptMessage"), { error });
                alert.selectableText = true;
                m_services.alertPresenter().present(alert);
            }
        }
    }
    // Handled on a fresh turn: the launch has its answer first.
    m_messageTimer.start(0);
    return instance::Answer::taken();
}

void AppDelegate::processPendingMessages()
{
    // One at a time: an alert shown for one link runs its own event loop, in which the next
    // link may arrive; it waits until this one is done, its alert answered included.
    if (!m_launched || m_handlingMessage)
        return;
    while (m_reopenRequested || m_linkInbox.hasNext()) {
        if (QApplication::activeModalWidget()) {
            if (!m_messageTimer.isActive())
                m_messageTimer.start(kMessageRetryMs);
            return;
        }
        const std::optional<QString> link
            = std::exchange(m_reopenRequested, false) ? std::nullopt : m_linkInbox.next();
        m_handlingMessage = true;
        const quint64 generation = ++m_messageGeneration;
        auto finished
            = [self = QPointer<AppDelegate>(this), generation, link](LinkInbox::Ending ending) {
                  if (!self || self->m_messageGeneration != generation || !self->m_handlingMessage)
                      return;
                  if (link)
                      self->m_linkInbox.finish(*link, ending);
                  self->m_handlingMessage = false;
                  // Ended later, from an answered alert: the next is taken on a fresh turn.
                  if (!self->m_inMessageLoop)
                      self->m_messageTimer.start(0);
              };
        m_inMessageLoop = true;
        if (link) {
            handleLink(*link, finished);
        } else {
            applicationShouldHandleReopen();
            finished(LinkInbox::Ending::Added);
        }
        m_inMessageLoop = false;
        if (m_handlingMessage)
            return;
    }
}

void AppDelegate::handleLink(const QString &link, std::function<void(LinkInbox::Ending)> finished)
{
    const std::optional<QString> identifier = addAppIdentifierFromLink(link);
    if (!identifier) {
        finished(LinkInbox::Ending::Refused);
        return;
    }
    if (m_services.listsController().lists().empty()) {
        applicationShouldHandleReopen();
        Alert alert;
        alert.style = Alert::Style::Warning;
        alert.messageText = Strings::localized("AddAppNoListNotice");
        m_services.alertPresenter().runModal(alert);
        m_services.analytics().track(QStringLiteral("Safari Extension"));
        finished(LinkInbox::Ending::Refused);
        return;
    }
    showMainWindow();
    // A link kept by an earlier start or another copy whose app a list holds already was
    // added then, or by hand since: it has come to its end without a word.
    const bool keptBefore = m_linkInbox.wasKeptBefore(link);
    const QPointer<MainViewController> main = mainWindowController().contentViewController();
    main->tryAddingApp(
        *identifier,
        [self = QPointer<AppDelegate>(this), main, link, keptBefore,
         finished](MainViewController::AdditionEnd end, const std::optional<Error> &error) {
            if (end == MainViewController::AdditionEnd::Added || !error || !self || !main) {
                finished(endingOf(end));
                return;
            }
            if (end == MainViewController::AdditionEnd::PassingFailure) {
                self->putLinksAside(link, *error, finished);
                return;
            }
            if (keptBefore && isAlreadyInListError(*error)) {
                finished(LinkInbox::Ending::Refused);
                return;
            }
            main->presentError(*error, [finished] { finished(LinkInbox::Ending::Refused); });
        },
        false);
    m_services.analytics().track(QStringLiteral("Safari Extension"));
}

void AppDelegate::putLinksAside(const QString &link, const Error &error,
                                std::function<void(LinkInbox::Ending)> finished)
{
    // Put aside at once, so that a refresh that starts while the alert is open tries it again.
    m_linkInbox.finish(link, LinkInbox::Ending::PutAside);
    QStringList heldBack { link };
    while (const std::optional<QString> waiting = m_linkInbox.next()) {
        if (addAppIdentifierFromLink(*waiting)) {
            m_linkInbox.finish(*waiting, LinkInbox::Ending::PutAside);
            heldBack << *waiting;
        } else {
            m_linkInbox.finish(*waiting, LinkInbox::Ending::Refused);
        }
    }
    QStringList identifiers;
    bool allKept = true;
    bool toldAll = true;
    for (const QString &held : std::as_const(heldBack)) {
        identifiers << identifierOfLink(held);
        allKept = allKept && m_linkInbox.isKept(held);
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
    alert.messageText
        = Strings::localizedFormat(identifiers.size() == 1 ? QStringLiteral("LinkPutAsideTitle")
                                                           : QStringLiteral("LinksPutAsideTitle"),
                                   { identifiers.join(QStringLiteral(", ")) });
    alert.informativeText = error.description + QStringLiteral("\n\n")
        + Strings::localized(allKept ? "LinksPutAsideMessage" : "LinksPutAsideNotKeptMessage");
    alert.window = m_mainWindowController.get();
    m_services.alertPresenter().present(
        alert, [finished](const AlertAnswer &) { finished(LinkInbox::Ending::PutAside); });
}

void AppDelegate::retryLinks()
{
    m_linkInbox.retryPutAside();
    m_linkInbox.gather();
    processPendingMessages();
}

} // namespace tanvill
