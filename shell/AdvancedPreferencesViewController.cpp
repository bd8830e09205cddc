#include "shell/AdvancedPreferencesViewController.h"

#include "controls/KeyboardFocus.h"
#include "core/SettingsKeys.h"
#include "platform/AlertPresenter.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "store/AppUpdater.h"

#include <QApplication>
#include <QComboBox>
#include <QHideEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPointer>
#include <QRegularExpression>
#include <QSignalBlocker>

namespace tanvill {

namespace {

constexpr int kTokenFieldWidth = 180;

} // namespace

AdvancedPreferencesViewController::AdvancedPreferencesViewController(UserDefaults &settings,
                                                                     AlertPresenter &alerts,
                                                                     AppUpdater &updater,
                                                                     QWidget *parent)
    : PreferencesPane(Strings::localized("PreferencesAdvanced"),
                      QStringLiteral("preferences-advanced"), parent),
      m_settings(settings), m_alerts(alerts), m_updater(updater), m_locales(storeLocales())
{
    m_localePopUp = new QComboBox;
    m_localePopUp->setMaxVisibleItems(20);
    for (const StoreLocale &locale : m_locales)
        m_localePopUp->addItem(countryTitle(locale), locale.code);
    selectStoredLocale();
    m_settings.observe(SettingsKeys::StoreLocale, this,
                       [this](const QVariant &) { selectStoredLocale(); });
    connect(m_localePopUp, &QComboBox::activated, this,
            &AdvancedPreferencesViewController::localePopUpButtonDidSelectLocale);
    addRow(Strings::localized("PreferencesStoreSection"), m_localePopUp);
    addNote(Strings::localized("PreferencesStoreNote"));

    addSeparation();
    m_tokenField = new QLineEdit;
    m_tokenField->setFixedWidth(kTokenFieldWidth);
    m_tokenField->setPlaceholderText(Strings::localized("PreferencesAffiliateTokenPlaceholder"));
    showStoredToken();
    m_settings.observe(SettingsKeys::AffiliateToken, this,
                       [this](const QVariant &) { showStoredToken(); });
    connect(m_tokenField, &QLineEdit::editingFinished, this,
            &AdvancedPreferencesViewController::validateAffiliateToken);
    addRow(Strings::localized("PreferencesAffiliateTokenSection"), m_tokenField);
    addNote(Strings::localized("PreferencesAffiliateTokenNote"));
}

AdvancedPreferencesViewController::~AdvancedPreferencesViewController()
{
    const QString token = m_tokenField->text();
    if (isValidAffiliateToken(token) && m_settings.string(SettingsKeys::AffiliateToken) != token)
        m_settings.setValue(SettingsKeys::AffiliateToken, token);
}

QString AdvancedPreferencesViewController::countryTitle(const StoreLocale &locale)
{
    const QLocale::Territory territory = QLocale::codeToTerritory(locale.code);
    if (territory == QLocale::AnyTerritory)
        return locale.country;
    return QLocale::territoryToString(territory);
}

bool AdvancedPreferencesViewController::isValidAffiliateToken(const QString &token)
{
    // Anchored at both ends of the whole text: a final line break or a combining mark after
    // the last letter makes it no token.
    static const QRegularExpression pattern(
        QRegularExpression::anchoredPattern(QStringLiteral("[A-Za-z0-9]{4,14}")));
    return pattern.match(token).hasMatch();
}

void AdvancedPreferencesViewController::selectStoredLocale()
{
    int selected = -1;
    int unitedStates = -1;
    const QString stored = m_settings.string(SettingsKeys::StoreLocale);
    for (int i = 0; i < m_locales.size(); ++i) {
        // A later equal entry wins over an earlier one.
        if (!stored.isEmpty() && m_locales[i].code == stored)
            selected = i;
        if (unitedStates < 0 && m_locales[i].code == QLatin1String("US"))
            unitedStates = i;
    }
    if (selected < 0)
        selected = unitedStates >= 0 ? unitedStates : 0;
    const QSignalBlocker blocker(m_localePopUp);
    m_localePopUp->setCurrentIndex(m_locales.isEmpty() ? -1 : selected);
}

void AdvancedPreferencesViewController::localePopUpButtonDidSelectLocale(int index)
{
    if (index < 0 || index >= m_locales.size())
        return;
    const QString code = m_locales[index].code;
    if (m_settings.hasStoredValue(SettingsKeys::StoreLocale)
        && m_settings.string(SettingsKeys::StoreLocale) == code)
        return;
    m_settings.setValue(SettingsKeys::StoreLocale, code);
    // Every kept app is looked up again in the newly chosen store, once the choice settles: a
    // country's name typed into the pop-up passes through other countries on the way.
    m_updater.updateAfter(QApplication::keyboardInputInterval() / 1000.0);
}

void AdvancedPreferencesViewController::showStoredToken()
{
    const QString stored = m_settings.string(SettingsKeys::AffiliateToken);
    if (m_tokenField->text() != stored)
        m_tokenField->setText(stored);
}

void AdvancedPreferencesViewController::validateAffiliateToken()
{
    const QString token = m_tokenField->text();
    if (token.isEmpty()) {
        m_settings.remove(SettingsKeys::AffiliateToken);
        return;
    }
    if (isValidAffiliateToken(token)) {
        if (m_settings.string(SettingsKeys::AffiliateToken) != token
            || !m_settings.hasStoredValue(SettingsKeys::AffiliateToken))
            m_settings.setValue(SettingsKeys::AffiliateToken, token);
        return;
    }
    // Emptied before the alert shows, so that the field losing focus to the alert finds
    // nothing left to reject.
    m_tokenField->clear();
    m_settings.remove(SettingsKeys::AffiliateToken);
    Alert alert;
    alert.style = Alert::Style::Warning;
    alert.messageText = Strings::localized("Invalid Affiliate Token Message");
    alert.informativeText = Strings::localized("InvalidAffiliateTokenInformative");
    // A sheet on the preferences, unless they are closing. Not waited for: the end of editing
    // comes while the focus moves (Tab), which ends first. Once the alert is answered the
    // keyboard is back in the emptied field, for the token to be typed again.
    if (window()->isVisible())
        alert.window = window();
    m_alerts.present(alert, [field = QPointer<QLineEdit>(m_tokenField)](const AlertAnswer &) {
        if (field && field->isVisible())
            setKeyboardFocus(field);
    });
}

void AdvancedPreferencesViewController::hideEvent(QHideEvent *event)
{
    PreferencesPane::hideEvent(event);
    // A minimised window still shows the pane.
    if (!event->spontaneous())
        validateAffiliateToken();
}

} // namespace tanvill
