#include "details/DetailWindowManager.h"

#include "controls/AppShell.h"
#include "controls/KeyboardFocus.h"
#include "controls/WindowFrameAutosave.h"
#include "controls/WindowPlacement.h"
#include "core/App.h"
#include "core/ListsController.h"
#include "core/SettingsKeys.h"
#include "details/AppDetailViewController.h"
#include "details/AppSummaryController.h"
#include "details/DetailWindow.h"
#include "platform/NotificationCenter.h"
#include "platform/SharedInstance.h"
#include "platform/UserDefaults.h"

#include <algorithm>

namespace tanvill {

namespace {

// A new window that would cover an open one is moved down and right by this much.
constexpr int kCascadeOffset = 24;

} // namespace

AppSummaryController *responsibleSummaryController(const Notification &notification)
{
    const QVariant value
        = notification.userInfo.value(DetailWindowManagerResponsibleSummaryController);
    return qobject_cast<AppSummaryController *>(value.value<QObject *>());
}

DetailWindowManager::DetailWindowManager(QObject *parent) : QObject(parent)
{
    observePolicy();
}

DetailWindowManager::DetailWindowManager(ListsController &lists, UserDefaults &settings,
                                         QObject *parent)
    : QObject(parent), m_lists(&lists), m_settings(&settings)
{
    observePolicy();
}

DetailWindowManager::~DetailWindowManager()
{
    const auto windows = std::exchange(m_windows, {});
    for (const auto &[identifier, window] : windows) {
        if (window) {
            window->disconnect(this);
            delete window.data();
        }
    }
}

ListsController &DetailWindowManager::lists() const
{
    return m_lists ? *m_lists : ListsController::sharedController();
}

UserDefaults &DetailWindowManager::settings() const
{
    return m_settings ? *m_settings : UserDefaults::standard();
}

void DetailWindowManager::observePolicy()
{
    // A manager made where no settings exist (a list table on its own) has no policy to follow.
    UserDefaults *defaults = m_settings ? m_settings : SharedInstance<UserDefaults>::find();
    if (defaults)
        defaults->observe(SettingsKeys::MultipleAppWindows, this,
                          [this](const QVariant &) { policyDidChange(); });
}

DetailWindow *DetailWindowManager::windowForIdentifier(const QString &identifier) const
{
    const auto found = m_windows.find(identifier);
    return found != m_windows.end() ? found->second.data() : nullptr;
}

void DetailWindowManager::openDetailWindowWithSummaryController(AppSummaryController *controller,
                                                                DetailWindowRequest request)
{
    if (!controller || !controller->app() || controller->app()->isDeleted())
        return;
    const std::shared_ptr<AppSummaryController> shared = controller->weak_from_this().lock();
    if (!shared) {
        qWarning("DetailWindowManager: a summary controller not made by create() is not shown");
        return;
    }
    const QString identifier = controller->app()->identifier();
    const QString name = controller->app()->name();

    if (DetailWindow *open = windowForIdentifier(identifier)) {
        showWindow(open);
        return;
    }

    if (!settings().boolean(SettingsKeys::MultipleAppWindows, true) && !m_windows.empty()) {
        const auto first = m_windows.begin();
        QPointer<DetailWindow> window = first->second;
        m_windows.erase(first);
        if (window) {
            m_windows[identifier] = window;
            window->contentViewController()->setSummaryController(shared);
            window->setWindowTitle(name);
            showWindow(window);
            focusFirstControl(window, request);
            if (AppShell *shell = AppShell::current())
                shell->changeWindowsItem(window, name);
            // The focused window now stands for another application.
            if (window == m_keyWindow)
                detailWindowDidBecomeKey(window);
            return;
        }
    }

    DetailWindow *window = makeWindow();
    window->setWindowTitle(name);
    window->contentViewController()->setSummaryController(shared);
    m_windows[identifier] = window;
    showWindow(window);
    focusFirstControl(window, request);
    if (AppShell *shell = AppShell::current())
        shell->addWindowsItem(window, name);
}

DetailWindow *DetailWindowManager::makeWindow()
{
    auto *window = new DetailWindow(lists());
    connect(window, &DetailWindow::willClose, this, &DetailWindowManager::detailWindowWillClose);
    connect(window, &DetailWindow::didBecomeKey, this,
            &DetailWindowManager::detailWindowDidBecomeKey);
    connect(window, &DetailWindow::didResignKey, this,
            &DetailWindowManager::detailWindowDidResignKey);

    // Every detail window opens where one was last moved or resized to (and keeps saving its
    // frame there), or else where the window manager puts it; the next ones cascade from there,
    // each down and right of the last and within the screen, rather than covering it.
    setFrameAutosaveName(window, kFrameAutosaveName, settings());
    QList<const QWidget *> open;
    for (const auto &[identifier, other] : m_windows)
        open.append(other.data());
    std::erase_if(m_openOrder, [](const QPointer<DetailWindow> &other) { return !other; });
    const auto newest = std::find_if(m_openOrder.rbegin(), m_openOrder.rend(),
                                     [](const DetailWindow *other) { return other->isVisible(); });
    cascadeAmong(window, newest != m_openOrder.rend() ? newest->data() : nullptr, open,
                 kCascadeOffset);
    m_openOrder.push_back(window);
    return window;
}

void DetailWindowManager::showWindow(DetailWindow *window)
{
    window->show();
    window->raise();
    window->activateWindow();
}

void DetailWindowManager::focusFirstControl(DetailWindow *window, DetailWindowRequest request)
{
    // Shown, the window has its rows and screenshots; it becomes active later, and gives the
    // focus where it was set now.
    QWidget *first = window->contentViewController()->firstFocusControl();
    if (request == DetailWindowRequest::Keyboard)
        setKeyboardFocus(first);
    else
        first->setFocus(Qt::OtherFocusReason);
}

std::map<QString, QPointer<DetailWindow>>::iterator
DetailWindowManager::entryOf(const DetailWindow *window)
{
    for (auto it = m_windows.begin(); it != m_windows.end(); ++it) {
        if (it->second == window)
            return it;
    }
    return m_windows.end();
}

void DetailWindowManager::detailWindowWillClose(DetailWindow *window)
{
    const auto entry = entryOf(window);
    if (entry == m_windows.end())
        return;
    m_windows.erase(entry);
    std::erase(m_openOrder, window);
    if (AppShell *shell = AppShell::current())
        shell->removeWindowsItem(window);
    if (window == m_keyWindow) {
        m_keyWindow.clear();
        NotificationCenter::defaultCenter().post(DetailWindowManagerFocussedAppChanged, this);
    }
    // Still inside the window's own close: it goes once control is back in the event loop.
    window->disconnect(this);
    window->deleteLater();
}

void DetailWindowManager::detailWindowDidBecomeKey(DetailWindow *window)
{
    if (entryOf(window) == m_windows.end())
        return;
    // Qt activates the new window before it deactivates the old one: the old one's resignation
    // is told first, so the last word names the window that has the focus.
    if (m_keyWindow && m_keyWindow != window) {
        m_keyWindow.clear();
        NotificationCenter::defaultCenter().post(DetailWindowManagerFocussedAppChanged, this);
    }
    m_keyWindow = window;
    AppSummaryController *controller = window->contentViewController()->summaryController();
    NotificationCenter::defaultCenter().post(
        DetailWindowManagerFocussedAppChanged, this,
        { { DetailWindowManagerResponsibleSummaryController,
            QVariant::fromValue(static_cast<QObject *>(controller)) } });
}

void DetailWindowManager::detailWindowDidResignKey(DetailWindow *window)
{
    // A window that is no longer the focused one (another took the focus first) says nothing.
    if (window != m_keyWindow)
        return;
    m_keyWindow.clear();
    NotificationCenter::defaultCenter().post(DetailWindowManagerFocussedAppChanged, this);
}

void DetailWindowManager::policyDidChange()
{
    if (settings().boolean(SettingsKeys::MultipleAppWindows, true) || m_windows.size() <= 1)
        return;
    // Closing a window takes its entry out of the table: go through a copy.
    const QString kept = m_windows.begin()->first;
    const auto snapshot = m_windows;
    for (const auto &[identifier, window] : snapshot) {
        if (identifier != kept && window)
            window->close();
    }
}

} // namespace tanvill
