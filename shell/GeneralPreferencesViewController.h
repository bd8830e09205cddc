#pragma once

// The General preference pane: launch at login, automatic refreshing and its interval, the
// app count on the launcher icon, platform icons in the lists and one detail window per app.
// Part of the preferences window (PreferencesViewController).

#include "platform/LoginItem.h"
#include "shell/PreferencesPane.h"

#include <QList>

class QCheckBox;
class QComboBox;

namespace tanvill {

class AlertPresenter;
class UserDefaults;

class GeneralPreferencesViewController : public PreferencesPane
{
    Q_OBJECT
public:
    GeneralPreferencesViewController(UserDefaults &settings, AlertPresenter &alerts,
                                     LoginItem loginItem, QWidget *parent = nullptr);

    QCheckBox *launchAtLoginCheckbox() const { return m_launchAtLogin; }
    QCheckBox *automaticUpdatesCheckbox() const { return m_automaticUpdates; }
    QComboBox *updateIntervalPopUpButton() const { return m_updateInterval; }
    QCheckBox *iconBadgeCheckbox() const { return m_iconBadge; }
    QCheckBox *platformIconsCheckbox() const { return m_platformIcons; }
    QCheckBox *multipleAppWindowsCheckbox() const { return m_multipleAppWindows; }

    // The refresh intervals offered, in seconds; a stored interval that is none of them is
    // offered too while it is stored.
    static QList<qint64> updateIntervalChoices();
    // "every 15 minutes", "every hour", …
    static QString updateIntervalTitle(qint64 seconds);

    // The checkbox's action: adds or removes the autostart entry; when that fails the box and
    // "launchAtLogin" keep their previous state and the user is told why.
    void launchAtLoginCheckboxDidChangeValue(bool on);

protected:
    void showEvent(QShowEvent *event) override;

private:
    void showUpdateInterval();
    void updateIntervalChosen(int index);

    UserDefaults &m_settings;
    AlertPresenter &m_alerts;
    LoginItem m_loginItem;
    QCheckBox *m_launchAtLogin = nullptr;
    QCheckBox *m_automaticUpdates = nullptr;
    QComboBox *m_updateInterval = nullptr;
    QCheckBox *m_iconBadge = nullptr;
    QCheckBox *m_platformIcons = nullptr;
    QCheckBox *m_multipleAppWindows = nullptr;
};

} // namespace tanvill
