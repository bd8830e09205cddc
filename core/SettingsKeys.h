#pragma once

// Every key of the user's settings in one table, with the default each registered key answers
// while nothing is stored. The shell registers the defaults from this table at start-up; code
// reads and writes the settings through these names (a key converts to its QString name), so
// that a key is spelt in one place only.

#include <QString>
#include <QVariant>

#include <vector>

namespace tanvill {

struct SettingsKey
{
    QString name;
    // Invalid for a key that is not registered (absent means false or no value).
    QVariant registeredDefault;

    operator const QString &() const { return name; }
};

namespace SettingsKeys {

// Registered, in the order they are registered.
inline const SettingsKey SelectedList { QStringLiteral("selectedList"), 0 };
inline const SettingsKey AutomaticallyUpdateApps { QStringLiteral("AutomaticallyUpdateApps"),
                                                   true };
inline const SettingsKey NotifyAboutPricing { QStringLiteral("NotifyAboutChanges.Pricing"), false };
inline const SettingsKey NotifyAboutVersion { QStringLiteral("NotifyAboutChanges.Version"), false };
inline const SettingsKey NotifyAboutRating { QStringLiteral("NotifyAboutChanges.Rating"), false };
inline const SettingsKey HasSeenListSharingInfo { QStringLiteral("hasSeenListSharingInfo"), false };
inline const SettingsKey DisplayAppCountAsIconBadge { QStringLiteral("displayAppCountAsIconBadge"),
                                                      false };
inline const SettingsKey DisplayPlatformIcons { QStringLiteral("displayPlatformIcons"), false };
inline const SettingsKey HasSeenFirstArchiveNotice { QStringLiteral("hasSeenFirstArchiveNotice"),
                                                     false };
inline const SettingsKey LastSelectedSearchScope { QStringLiteral("lastSelectedSearchScope"), 0 };
inline const SettingsKey CompletedReviewPrompt { QStringLiteral("completedReviewPrompt"), false };
inline const SettingsKey LaunchAtLogin { QStringLiteral("launchAtLogin"), false };
inline const SettingsKey MultipleAppWindows { QStringLiteral("multipleAppWindows"), true };
inline const SettingsKey SuppressQuitWarning { QStringLiteral("suppressQuitWarning"), false };
inline const SettingsKey ListSorting { QStringLiteral("listSorting"), QStringLiteral("none") };
inline const SettingsKey ListGrouping { QStringLiteral("listGrouping"), QStringLiteral("none") };
// Refresh interval in seconds. "Inverval" is how every stored settings file spells it: kept on
// purpose, so that the user's interval survives.
inline const SettingsKey AppUpdateInterval { QStringLiteral("AppUpdateInverval"), 900 };

// Written on the first run when absent (not registered).
inline const SettingsKey FirstLaunchDate { QStringLiteral("firstLaunchDate"), {} };
inline const SettingsKey StoreLocale { QStringLiteral("storeLocale"), {} };
inline const SettingsKey CurrencyCode { QStringLiteral("currencyCode"), {} };

// Read only where they are used; absent until the user or a developer sets them.
inline const SettingsKey AffiliateToken { QStringLiteral("affiliateToken"), {} };
inline const SettingsKey EnableSuperSecretAppIdentifierMenuItem {
    QStringLiteral("enableSuperSecretAppIdentifierMenuItem"), {}
};
inline const SettingsKey ForceTanvillAPI { QStringLiteral("forceTanvillAPI"), {} };

// Written by the program for its next start: the files holding the changes copies of it could
// not save when they last quit, each added by the copy that kept it and removed by the start
// that tells of it.
inline const SettingsKey KeptUnsavedChanges { QStringLiteral("keptUnsavedChanges"), {} };
// Written by earlier versions when they quit: the links they had not added yet. The next start
// takes them in with the links kept beside the settings (LinkInbox) and removes the key.
inline const SettingsKey PendingLinks { QStringLiteral("pendingLinks"), {} };
// Written by the program: the file beside the store it did not take up that the user was told
// of (its path, size and time), so that the user is told of each such file once.
inline const SettingsKey ToldStoreLeftover { QStringLiteral("toldStoreLeftover"), {} };

// Every key above, in table order.
const std::vector<const SettingsKey *> &all();

} // namespace SettingsKeys

// Where a window keeps its frame under its autosave name ("MainWindowFrame", "Changes Window").
QString windowFrameSettingsKey(const QString &autosaveName);

} // namespace tanvill
