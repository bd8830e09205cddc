#include "shell/NotificationsViewController.h"

#include "core/SettingsKeys.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "shell/SettingsBinding.h"

#include <QCheckBox>
#include <QLabel>

namespace tanvill {

NotificationsViewController::NotificationsViewController(UserDefaults &settings, QWidget *parent)
    : PreferencesPane(Strings::localized("PreferencesNotifications"),
                      QStringLiteral("preferences-notifications"), parent),
      m_settings(settings)
{
    m_infoLabel = new QLabel;
    m_infoLabel->setTextFormat(Qt::PlainText);
    m_infoLabel->setWordWrap(true);
    addWideRow(m_infoLabel);
    addSeparation();

    const auto bound = [this](const char *titleKey, const QString &settingKey) {
        auto *box = new QCheckBox(Strings::localized(titleKey));
        SettingsBinding::bindBoolean(box, m_settings, settingKey);
        return box;
    };
    m_price = bound("PreferencesNotifyPricing", SettingsKeys::NotifyAboutPricing);
    m_version = bound("PreferencesNotifyVersion", SettingsKeys::NotifyAboutVersion);
    m_rating = bound("PreferencesNotifyRating", SettingsKeys::NotifyAboutRating);
    addRow(Strings::localized("PreferencesNotifySection"), m_price);
    addRow(QString(), m_version);
    addRow(QString(), m_rating);

    addSeparation();
    m_quitWarning = new QCheckBox(Strings::localized("PreferencesQuitWarning"));
    // The setting says the warning is suppressed; the box asks for it.
    SettingsBinding::bindBoolean(m_quitWarning, m_settings, SettingsKeys::SuppressQuitWarning,
                                 true);
    addRow(Strings::localized("PreferencesQuitSection"), m_quitWarning);

    updateInfoLabel();
    // Automatic refreshing is switched on the General pane or elsewhere while this one shows.
    m_settings.observe(SettingsKeys::AutomaticallyUpdateApps, this,
                       [this](const QVariant &) { updateInfoLabel(); });
}

void NotificationsViewController::showEvent(QShowEvent *event)
{
    PreferencesPane::showEvent(event);
    updateInfoLabel();
}

void NotificationsViewController::updateInfoLabel()
{
    const bool updating = m_settings.boolean(SettingsKeys::AutomaticallyUpdateApps);
    QFont infoFont = m_infoLabel->font();
    infoFont.setPixelSize(kTextPixelSize);
    infoFont.setBold(!updating);
    m_infoLabel->setFont(infoFont);
    m_infoLabel->setText(Strings::localized(updating ? "NotificationsPrefsDefaultTitle"
                                                     : "NotificationsPrefsUpdatesDisabledNotice"));
}

} // namespace tanvill
