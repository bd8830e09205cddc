#include "shell/GeneralPreferencesViewController.h"

#include "core/SettingsKeys.h"
#include "platform/AlertPresenter.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "shell/SettingsBinding.h"
#include "store/AppUpdater.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

namespace tanvill {

GeneralPreferencesViewController::GeneralPreferencesViewController(UserDefaults &settings,
                                                                   AlertPresenter &alerts,
                                                                   LoginItem loginItem,
                                                                   QWidget *parent)
    : PreferencesPane(Strings::localized("PreferencesGeneral"),
                      QStringLiteral("preferences-general"), parent),
      m_settings(settings), m_alerts(alerts), m_loginItem(std::move(loginItem))
{
    m_launchAtLogin = new QCheckBox(Strings::localized("PreferencesLaunchAtLogin"));
    addRow(Strings::localized("PreferencesStartupSection"), m_launchAtLogin);
    // The box shows the setting; a click goes through the login item first.
    SettingsBinding::showBoolean(m_launchAtLogin, m_settings, SettingsKeys::LaunchAtLogin);
    connect(m_launchAtLogin, &QCheckBox::clicked, this,
            &GeneralPreferencesViewController::launchAtLoginCheckboxDidChangeValue);

    addSeparation();
    m_automaticUpdates = new QCheckBox(Strings::localized("PreferencesAutomaticUpdates"));
    SettingsBinding::bindBoolean(m_automaticUpdates, m_settings,
                                 SettingsKeys::AutomaticallyUpdateApps);
    m_updateInterval = new QComboBox;
    m_updateInterval->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    SettingsBinding::enableWhile(m_updateInterval, m_settings,
                                 SettingsKeys::AutomaticallyUpdateApps);
    auto *refreshRow = new QHBoxLayout;
    refreshRow->setSpacing(8);
    refreshRow->addWidget(m_automaticUpdates);
    refreshRow->addWidget(m_updateInterval);
    addRow(Strings::localized("PreferencesRefreshSection"), refreshRow);
    addNote(Strings::localized("PreferencesAutomaticUpdatesNote"));
    showUpdateInterval();
    m_settings.observe(SettingsKeys::AppUpdateInterval, this,
                       [this](const QVariant &) { showUpdateInterval(); });
    connect(m_updateInterval, &QComboBox::activated, this,
            &GeneralPreferencesViewController::updateIntervalChosen);

    addSeparation();
    m_iconBadge = new QCheckBox(Strings::localized("PreferencesIconBadge"));
    SettingsBinding::bindBoolean(m_iconBadge, m_settings, SettingsKeys::DisplayAppCountAsIconBadge);
    addRow(Strings::localized("PreferencesLauncherSection"), m_iconBadge);
    m_platformIcons = new QCheckBox(Strings::localized("PreferencesPlatformIcons"));
    SettingsBinding::bindBoolean(m_platformIcons, m_settings, SettingsKeys::DisplayPlatformIcons);
    addRow(Strings::localized("PreferencesListsSection"), m_platformIcons);
    m_multipleAppWindows = new QCheckBox(Strings::localized("PreferencesMultipleAppWindows"));
    SettingsBinding::bindBoolean(m_multipleAppWindows, m_settings,
                                 SettingsKeys::MultipleAppWindows);
    addRow(Strings::localized("PreferencesWindowsSection"), m_multipleAppWindows);
}

QList<qint64> GeneralPreferencesViewController::updateIntervalChoices()
{
    const auto &offered = AppUpdater::kOfferedIntervalSeconds;
    return QList<qint64>(offered.begin(), offered.end());
}

QString GeneralPreferencesViewController::updateIntervalTitle(qint64 seconds)
{
    if (seconds > 0 && seconds % 86400 == 0)
        return Strings::localizedFormat(QStringLiteral("RefreshEveryDays"), { seconds / 86400 });
    if (seconds > 0 && seconds % 3600 == 0)
        return Strings::localizedFormat(QStringLiteral("RefreshEveryHours"), { seconds / 3600 });
    if (seconds > 0 && seconds % 60 == 0)
        return Strings::localizedFormat(QStringLiteral("RefreshEveryMinutes"), { seconds / 60 });
    return Strings::localizedFormat(QStringLiteral("RefreshEverySeconds"), { seconds });
}

void GeneralPreferencesViewController::showUpdateInterval()
{
    // The interval the updater really uses: a missing or unusable value means its default.
    const qint64 current = std::llround(
        AppUpdater::updateIntervalSeconds(m_settings.value(SettingsKeys::AppUpdateInterval)));
    QList<qint64> choices = updateIntervalChoices();
    if (!choices.contains(current)) {
        choices.append(current);
        std::sort(choices.begin(), choices.end());
    }
    const QSignalBlocker blocker(m_updateInterval);
    m_updateInterval->clear();
    for (const qint64 seconds : choices)
        m_updateInterval->addItem(updateIntervalTitle(seconds), seconds);
    m_updateInterval->setCurrentIndex(int(choices.indexOf(current)));
}

void GeneralPreferencesViewController::updateIntervalChosen(int index)
{
    if (index < 0 || index >= m_updateInterval->count())
        return;
    const qint64 seconds = m_updateInterval->itemData(index).toLongLong();
    // Choosing the interval in force again would restart the updater for nothing.
    if (std::llround(
            AppUpdater::updateIntervalSeconds(m_settings.value(SettingsKeys::AppUpdateInterval)))
        == seconds)
        return;
    m_settings.setValue(SettingsKeys::AppUpdateInterval, seconds);
}

void GeneralPreferencesViewController::launchAtLoginCheckboxDidChangeValue(bool on)
{
    if (const std::optional<Error> error = m_loginItem.setEnabled(on)) {
        m_settings.setValue(SettingsKeys::LaunchAtLogin, !on);
        // The setting may already hold that value; the box shows it either way.
        const QSignalBlocker blocker(m_launchAtLogin);
        m_launchAtLogin->setChecked(!on);
        Alert alert;
        alert.style = Alert::Style::Warning;
        alert.messageText = error->description;
        alert.informativeText = error->recoverySuggestion;
        alert.window = window();
        m_alerts.runModal(alert);
        return;
    }
    m_settings.setValue(SettingsKeys::LaunchAtLogin, on);
}

void GeneralPreferencesViewController::showEvent(QShowEvent *event)
{
    PreferencesPane::showEvent(event);
    // The autostart entry is the truth: the user may have removed it with another tool.
    const bool enabled = m_loginItem.isEnabled();
    if (m_settings.boolean(SettingsKeys::LaunchAtLogin) != enabled)
        m_settings.setValue(SettingsKeys::LaunchAtLogin, enabled);
}

} // namespace tanvill
