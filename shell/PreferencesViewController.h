#pragma once

// The preferences window: a toolbar of four panes (General, Notifications, Advanced,
// Integration) over the pane shown. The window takes the size each pane had when it was first
// shown, growing or shrinking with its top-left corner fixed (animated), and takes the pane's
// label as its title. Every opening starts on the first pane. A toolbar that has the keyboard
// keeps it on the pane shown. The application delegate keeps one for the whole run through
// PreferencesWindowController.

#include "platform/LoginItem.h"

#include <QButtonGroup>
#include <QMap>
#include <QSize>
#include <QWidget>

#include <optional>

class QAbstractButton;
class QPropertyAnimation;

namespace tanvill {

class AdvancedPreferencesViewController;
class AlertPresenter;
class AppUpdater;
class GeneralPreferencesViewController;
class IntegrationViewController;
class NotificationsViewController;
class PreferencesPane;
class UserDefaults;
class Workspace;

// What the panes change and use.
struct PreferencesServices
{
    UserDefaults &settings;
    AlertPresenter &alerts;
    AppUpdater &updater;
    Workspace &workspace;
    // Launch at login: the user's autostart folder and this program unless given.
    LoginItem loginItem = LoginItem();
};

class PreferencesViewController : public QWidget
{
    Q_OBJECT
public:
    explicit PreferencesViewController(const PreferencesServices &services,
                                       QWidget *parent = nullptr);
    ~PreferencesViewController() override;

    int tabCount() const { return int(m_panes.size()); }
    int selectedTabIndex() const { return m_selected; }
    PreferencesPane *pane(int index) const;
    QAbstractButton *tabButton(int index) const;

    GeneralPreferencesViewController *generalPane() const { return m_general; }
    NotificationsViewController *notificationsPane() const { return m_notifications; }
    AdvancedPreferencesViewController *advancedPane() const { return m_advanced; }
    IntegrationViewController *integrationPane() const { return m_integration; }

    // Shows the pane at `index` (nothing for the pane shown or an index out of range).
    void selectTab(int index);

    // The size a pane had when it was first selected, by its label; none before that.
    std::optional<QSize> originalSize(const QString &label) const;

    // The window's size while it shows a pane of that size.
    QSize windowSizeForPane(const QSize &paneSize) const;

    // Resizing runs at once instead of animating.
    bool instantAnimations() const { return m_instantAnimations; }
    void setInstantAnimations(bool instant) { m_instantAnimations = instant; }
    static void setInstantAnimationsByDefault(bool instant);
    bool isAnimating() const;

    static constexpr int kToolbarHeight = 62;
    static constexpr int kMinimumPaneWidth = 600;
    static constexpr int kResizeDurationMs = 220;

protected:
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void addPane(PreferencesPane *pane);
    void tabWillSelect(int index);
    void tabDidSelect(int index, bool animated);
    void resizeWindow(const QSize &size, bool animated);
    void layoutContent();

    QWidget *m_toolbar = nullptr;
    QButtonGroup m_tabButtons;
    QList<PreferencesPane *> m_panes;
    GeneralPreferencesViewController *m_general = nullptr;
    NotificationsViewController *m_notifications = nullptr;
    AdvancedPreferencesViewController *m_advanced = nullptr;
    IntegrationViewController *m_integration = nullptr;
    // Keyed by pane label; a size, once recorded, is never replaced.
    QMap<QString, QSize> m_originalSizes;
    int m_selected = -1;
    QPropertyAnimation *m_resizeAnimation = nullptr;
    bool m_instantAnimations;
};

} // namespace tanvill
