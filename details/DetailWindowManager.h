#pragma once

// Decides which window shows an application's details: the list table hands it the summary
// controller of the row the user clicked. With "multipleAppWindows" on, every application gets
// a window of its own and clicking it again brings that window forward; with it off one window
// is shared and shows the application clicked last, and turning the setting off closes all
// windows but one. Each window is listed in the Window menu under its application's name. When
// a detail window gains the keyboard focus the manager posts
// DetailWindowManagerFocussedAppChanged with that window's summary controller, and when it
// loses it (or closes while focused) the same notification without one, so that the App menu
// acts on the focused window's application. The manager owns its windows; a closed window is
// forgotten at once and deleted once control returns to the event loop.

#include <QObject>
#include <QPointer>
#include <QString>

#include <map>
#include <vector>

namespace tanvill {

class AppSummaryController;
class DetailWindow;
class ListsController;
class UserDefaults;
struct Notification;

// Posted by the manager (sender: the manager) when the focused detail window changes.
inline const QString DetailWindowManagerFocussedAppChanged
    = QStringLiteral("Tavnill.DetailWindowManagerFocussedAppChanged");
// Its user-info key: the summary controller of the focused window; absent when none is focused.
inline const QString DetailWindowManagerResponsibleSummaryController
    = QStringLiteral("Tanvill.DetailWindowManagerResponsibleSummaryController");
// The controller named by such a notification, or null (no detail window is focused, or the
// controller is gone).
AppSummaryController *responsibleSummaryController(const Notification &notification);

// How the user asked for an application's details: by the keyboard (Return on a row), the window
// shows its ring where the keyboard starts.
enum class DetailWindowRequest { Pointer, Keyboard };

class DetailWindowManager : public QObject
{
    Q_OBJECT
public:
    // Uses the application's lists controller and settings.
    explicit DetailWindowManager(QObject *parent = nullptr);
    DetailWindowManager(ListsController &lists, UserDefaults &settings, QObject *parent = nullptr);
    // Deletes the windows still open, without notifying anyone.
    ~DetailWindowManager() override;

    // Shows the details of the controller's application (nothing for a deleted one). The
    // window keeps a share of the controller (controller->shared_from_this()). A window that
    // shows the application anew starts the keyboard on its screenshots (see
    // AppDetailViewController::firstFocusControl), never on a button that opens a page, buys or
    // archives; one already showing it keeps the focus where it was.
    virtual void openDetailWindowWithSummaryController(AppSummaryController *controller,
                                                       DetailWindowRequest request
                                                       = DetailWindowRequest::Pointer);

    // The open windows by store identifier.
    const std::map<QString, QPointer<DetailWindow>> &windowControllers() const { return m_windows; }
    DetailWindow *windowForIdentifier(const QString &identifier) const;

    // The autosave name the windows keep their frame under.
    static inline const QString kFrameAutosaveName = QStringLiteral("DetailWindowFrame");

private:
    void observePolicy();
    void policyDidChange();
    DetailWindow *makeWindow();
    void showWindow(DetailWindow *window);
    void focusFirstControl(DetailWindow *window, DetailWindowRequest request);
    void detailWindowWillClose(DetailWindow *window);
    void detailWindowDidBecomeKey(DetailWindow *window);
    void detailWindowDidResignKey(DetailWindow *window);
    std::map<QString, QPointer<DetailWindow>>::iterator entryOf(const DetailWindow *window);
    ListsController &lists() const;
    UserDefaults &settings() const;

    ListsController *m_lists = nullptr;
    UserDefaults *m_settings = nullptr;
    std::map<QString, QPointer<DetailWindow>> m_windows;
    QPointer<DetailWindow> m_keyWindow;
    // The windows open, oldest first: the next one cascades from the newest of them, so that
    // closing the newest frees its place for the next one rather than losing the cascade.
    std::vector<QPointer<DetailWindow>> m_openOrder;
};

} // namespace tanvill
