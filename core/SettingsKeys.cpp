#include "core/SettingsKeys.h"

namespace tanvill {

const std::vector<const SettingsKey *> &SettingsKeys::all()
{
    static const std::vector<const SettingsKey *> keys {
        &SelectedList,
        &AutomaticallyUpdateApps,
        &NotifyAboutPricing,
        &NotifyAboutVersion,
        &NotifyAboutRating,
        &HasSeenListSharingInfo,
        &DisplayAppCountAsIconBadge,
        &DisplayPlatformIcons,
        &HasSeenFirstArchiveNotice,
        &LastSelectedSearchScope,
        &CompletedReviewPrompt,
        &LaunchAtLogin,
        &MultipleAppWindows,
        &SuppressQuitWarning,
        &ListSorting,
        &ListGrouping,
        &AppUpdateInterval,
        &FirstLaunchDate,
        &StoreLocale,
        &CurrencyCode,
        &AffiliateToken,
        &EnableSuperSecretAppIdentifierMenuItem,
        &ForceTanvillAPI,
        &KeptUnsavedChanges,
        &PendingLinks,
        &ToldStoreLeftover,
    };
    return keys;
}

QString windowFrameSettingsKey(const QString &autosaveName)
{
    return QStringLiteral("WindowFrame/") + autosaveName;
}

} // namespace tanvill
