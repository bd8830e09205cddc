#include "sharing/ASImportGuideViewController.h"

#include "controls/KeyboardFocus.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "core/SettingsKeys.h"
#include "platform/AlertPresenter.h"
#include "platform/Analytics.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "sharing/ASDownloadViewController.h"

#include <QEvent>
#include <QPropertyAnimation>
#include <QSet>

#include <algorithm>
#include <utility>

namespace tanvill {

namespace {

int &animationDuration()
{
    static int duration = 200;
    return duration;
}

// Every group's applications, group after group.
std::vector<CachedApp> allApps(const AppShopperImporter::Result &groups)
{
    std::vector<CachedApp> all;
    for (const auto &[kind, apps] : groups)
        all.insert(all.end(), apps.begin(), apps.end());
    return all;
}

} // namespace

ASImportGuideViewController::ASImportGuideViewController(ListsController &lists, QWidget *parent)
    : QWidget(parent), m_lists(lists)
{ }

ASImportGuideViewController::~ASImportGuideViewController()
{
    // Stops the page request and the look-ups before anything they report to goes.
    m_importer.reset();
    if (m_observedWindow)
        m_observedWindow->removeEventFilter(this);
}

void ASImportGuideViewController::setAnimationDuration(int milliseconds)
{
    animationDuration() = qMax(0, milliseconds);
}

void ASImportGuideViewController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (m_currentStep)
        return;
    showUserStep();
    m_observedWindow = window();
    m_observedWindow->installEventFilter(this);
}

bool ASImportGuideViewController::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_observedWindow && event->type() == QEvent::Close)
        windowWillClose();
    return QWidget::eventFilter(watched, event);
}

void ASImportGuideViewController::windowWillClose()
{
    if (m_closed)
        return;
    m_closed = true;
    m_importer.reset();
    if (const std::function<void()> completion = completionHandler)
        completion();
}

void ASImportGuideViewController::showStep(QWidget *step)
{
    if (m_currentStep) {
        m_currentStep->hide();
        m_currentStep->deleteLater();
    }
    step->setParent(this);
    step->move(0, 0);
    step->show();
    m_currentStep = step;
    setFocusProxy(step);
    // The step's own control takes the keyboard, its ring with it: a step that has none holds
    // the keys itself.
    setKeyboardFocus(step->focusProxy() ? step->focusProxy() : step);

    // The window takes the step's size; its top-left corner stays where it is. A change still
    // running for the previous step ends here, or its end would put that step's size back.
    QWidget *frame = window();
    if (m_resizeAnimation)
        m_resizeAnimation->stop();
    const QSize target = step->size();
    frame->setMinimumSize(0, 0);
    frame->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (animationDuration() == 0 || !frame->isVisible() || frame->size() == target) {
        frame->setFixedSize(target);
        return;
    }
    m_resizeAnimation = new QPropertyAnimation(frame, "size", this);
    m_resizeAnimation->setDuration(animationDuration());
    m_resizeAnimation->setEasingCurve(QEasingCurve::InOutQuad);
    m_resizeAnimation->setEndValue(target);
    connect(m_resizeAnimation, &QPropertyAnimation::finished, frame,
            [frame, target] { frame->setFixedSize(target); });
    m_resizeAnimation->start(QAbstractAnimation::DeleteWhenStopped);
}

void ASImportGuideViewController::showUserStep()
{
    auto *step = new ASUserViewController;
    step->delegate = this;
    step->usernameTextField()->setText(m_username);
    showStep(step);
}

void ASImportGuideViewController::userViewControllerDidSubmitUsername(ASUserViewController *,
                                                                      const QString &username)
{
    if (m_closed)
        return;
    m_apps.reset();
    m_username = username;
    // A previous importer stops here and reports nothing more.
    m_importer = std::make_unique<AppShopperImporter>(username);
    const QPointer<ASImportGuideViewController> self(this);
    m_importer->identifierDownloadCallback = [self](qint64 count) {
        if (self)
            self->identifiersFound(count);
    };
    m_importer->appDownloadCallback = [self](qint64 downloaded, qint64 overall) {
        if (self)
            self->appsDownloaded(downloaded, overall);
    };
    m_importer->downloadWishlistPage(
        [self](std::optional<AppShopperImporter::Result> result, std::optional<Error> error) {
            if (self)
                self->downloadFinished(std::move(result), std::move(error));
        });
}

void ASImportGuideViewController::identifiersFound(qint64 count)
{
    auto *step = qobject_cast<ASDownloadViewController *>(m_currentStep);
    if (!step) {
        step = new ASDownloadViewController;
        showStep(step);
    }
    step->setText(Strings::localizedFormat(QStringLiteral("Found %li apps..."), { count }));
}

void ASImportGuideViewController::appsDownloaded(qint64 downloaded, qint64 overall)
{
    auto *step = qobject_cast<ASDownloadViewController *>(m_currentStep);
    if (!step)
        return;
    step->setText(
        Strings::localizedFormat(QStringLiteral("Downloaded %li apps..."), { downloaded }));
    if (overall > 0)
        step->setPercentage(std::clamp(double(downloaded) / double(overall) * 100.0, 0.0, 100.0));
}

void ASImportGuideViewController::downloadFinished(std::optional<AppShopperImporter::Result> result,
                                                   std::optional<Error> error)
{
    if (error) {
        showUserStep();
        AlertPresenter::current().runModal(alertForError(*error, window()));
        return;
    }
    if (!result)
        return;

    // Applications already kept anywhere, and any the wish list named twice, are left out.
    AppShopperImporter::Result importable;
    QSet<QString> taken;
    qint64 total = 0;
    for (const auto &[kind, apps] : *result) {
        std::vector<CachedApp> &group = importable[kind];
        for (const CachedApp &app : apps) {
            if (taken.contains(app.identifier)
                || !m_lists.hasAddedAppWithIdentifier(app.identifier))
                continue;
            taken.insert(app.identifier);
            group.push_back(app);
        }
        total += qint64(group.size());
    }

    if (total == 0) {
        showUserStep();
        Alert alert;
        alert.style = Alert::Style::Informational;
        alert.messageText = Strings::localized(QStringLiteral("No apps to import!"));
        alert.informativeText = Strings::localized(QStringLiteral("ASImportNoAppsHint"));
        alert.buttons = { Strings::localized(QStringLiteral("OK")) };
        alert.window = window();
        AlertPresenter::current().runModal(alert);
        return;
    }
    m_apps = std::move(importable);
    auto *step = new ASImportViewController(m_lists.lists());
    step->delegate = this;
    showStep(step);
    step->setAppCount(total);
}

bool ASImportGuideViewController::beginImport()
{
    if (m_imported || !m_apps)
        return false;
    m_imported = true;
    if (m_currentStep)
        m_currentStep->setEnabled(false);
    return true;
}

void ASImportGuideViewController::importViewControllerDidSelectList(List *list)
{
    const std::vector<List *> visible = m_lists.lists();
    if (!list || std::find(visible.begin(), visible.end(), list) == visible.end())
        return;
    if (!beginImport())
        return;
    // The list is selected first, so that the lists' notifications name the list shown.
    UserDefaults::standard().setValue(SettingsKeys::SelectedList, list->index());
    m_lists.addApp(allApps(*std::exchange(m_apps, std::nullopt)), list);
    Analytics::shared().track(QStringLiteral("AppShopper Import"));
    window()->close();
}

void ASImportGuideViewController::importViewControllerWantsNewList()
{
    if (!beginImport())
        return;
    // A new list is saved with its applications in one go: an import cut short while it
    // saves leaves no empty list behind.
    m_lists.createList(Strings::localized(QStringLiteral("AppShopper Import")), ThemeName::Yellow,
                       allApps(*std::exchange(m_apps, std::nullopt)));
    Analytics::shared().track(QStringLiteral("AppShopper Import"));
    window()->close();
}

void ASImportGuideViewController::importViewControllerWantsSeparateLists()
{
    if (!beginImport())
        return;
    const AppShopperImporter::Result apps = *std::exchange(m_apps, std::nullopt);
    for (const auto &[kind, group] : apps) {
        if (group.empty())
            continue;
        const QString name = Strings::localizedFormat(QStringLiteral("%@ AppShopper Import"),
                                                      { description(kind) });
        m_lists.createList(name, ThemeName::Yellow, group);
    }
    Analytics::shared().track(QStringLiteral("AppShopper Import"));
    window()->close();
}

} // namespace tanvill
