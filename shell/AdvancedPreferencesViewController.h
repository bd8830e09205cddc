#pragma once

// The Advanced preference pane: the store country whose prices, ratings and search results
// the application shows (from the store-locale table), and the user's own affiliate token,
// which shared lists carry. Part of the preferences window.

#include "shell/DefaultSettings.h"
#include "shell/PreferencesPane.h"

class QComboBox;
class QLineEdit;

namespace tanvill {

class AlertPresenter;
class AppUpdater;
class UserDefaults;

class AdvancedPreferencesViewController : public PreferencesPane
{
    Q_OBJECT
public:
    AdvancedPreferencesViewController(UserDefaults &settings, AlertPresenter &alerts,
                                      AppUpdater &updater, QWidget *parent = nullptr);
    // A token typed but not confirmed yet is kept when it is one.
    ~AdvancedPreferencesViewController() override;

    // The store-locale table, in the pop-up's order.
    const QList<StoreLocale> &locales() const { return m_locales; }
    QComboBox *localePopUpButton() const { return m_localePopUp; }
    QLineEdit *affiliateTokenTextField() const { return m_tokenField; }

    // The country's name in the user's language, else the table's name for it.
    static QString countryTitle(const StoreLocale &locale);
    // 4 to 14 ASCII letters or digits, and nothing else.
    static bool isValidAffiliateToken(const QString &token);

    // The pop-up's action: stores the chosen country and refreshes every app in its store.
    void localePopUpButtonDidSelectLocale(int index);
    // Stores the token field's text when it is a token, removes the token when the field is
    // empty, and otherwise empties the field, removes the token and tells the user. Runs when
    // editing ends and when the pane goes.
    void validateAffiliateToken();

protected:
    void hideEvent(QHideEvent *event) override;

private:
    void selectStoredLocale();
    void showStoredToken();

    UserDefaults &m_settings;
    AlertPresenter &m_alerts;
    AppUpdater &m_updater;
    const QList<StoreLocale> m_locales;
    QComboBox *m_localePopUp = nullptr;
    QLineEdit *m_tokenField = nullptr;
};

} // namespace tanvill
