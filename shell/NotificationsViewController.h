#pragma once

// The Notifications preference pane: which changes found by a refresh are announced in a
// system notification, whether quitting warns while they are, and a text that says whether
// automatic refreshing (which finds the changes) is on. Part of the preferences window.

#include "shell/PreferencesPane.h"

class QCheckBox;
class QLabel;

namespace tanvill {

class UserDefaults;

class NotificationsViewController : public PreferencesPane
{
    Q_OBJECT
public:
    explicit NotificationsViewController(UserDefaults &settings, QWidget *parent = nullptr);

    QLabel *infoLabel() const { return m_infoLabel; }
    QCheckBox *priceCheckbox() const { return m_price; }
    QCheckBox *versionCheckbox() const { return m_version; }
    QCheckBox *ratingCheckbox() const { return m_rating; }
    QCheckBox *quitWarningCheckbox() const { return m_quitWarning; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void updateInfoLabel();

    UserDefaults &m_settings;
    QLabel *m_infoLabel = nullptr;
    QCheckBox *m_price = nullptr;
    QCheckBox *m_version = nullptr;
    QCheckBox *m_rating = nullptr;
    QCheckBox *m_quitWarning = nullptr;
};

} // namespace tanvill
