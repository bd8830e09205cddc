#include "core/ListsControllerNotifications.h"

#include <cmath>
#include <limits>

namespace tanvill {

namespace {

// The integer under key when it holds a number that fits; anything else counts as missing.
std::optional<int> integerIn(const QVariantMap &userInfo, const QString &key)
{
    const QVariant value = userInfo.value(key);
    double number = 0;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
        number = value.toDouble();
        break;
    default:
        return std::nullopt;
    }
    if (!std::isfinite(number) || number < double(std::numeric_limits<int>::min())
        || number > double(std::numeric_limits<int>::max()))
        return std::nullopt;
    return int(number);
}

void insertIfSet(QVariantMap &userInfo, const QString &key, std::optional<int> value)
{
    if (value)
        userInfo.insert(key, *value);
}

} // namespace

QVariantMap ListUpdate::userInfo() const
{
    QVariantMap info { { ListUpdateListIndex, listIndex } };
    insertIfSet(info, ListUpdateAppIndex, appIndex);
    insertIfSet(info, ListUpdateOriginalAppIndex, originalAppIndex);
    insertIfSet(info, ListUpdateNewAppIndex, newAppIndex);
    return info;
}

std::optional<ListUpdate> ListUpdate::fromUserInfo(const QVariantMap &userInfo)
{
    const std::optional<int> listIndex = integerIn(userInfo, ListUpdateListIndex);
    if (!listIndex)
        return std::nullopt;
    return ListUpdate { *listIndex, integerIn(userInfo, ListUpdateAppIndex),
                        integerIn(userInfo, ListUpdateOriginalAppIndex),
                        integerIn(userInfo, ListUpdateNewAppIndex) };
}

QVariantMap AppDeletion::userInfo() const
{
    return { { AppDeletionIdentifier, identifier } };
}

std::optional<AppDeletion> AppDeletion::fromUserInfo(const QVariantMap &userInfo)
{
    const QVariant value = userInfo.value(AppDeletionIdentifier);
    if (value.typeId() != QMetaType::QString)
        return std::nullopt;
    return AppDeletion { value.toString() };
}

QVariantMap AppReload::userInfo() const
{
    return { { AppReloadIdentifierSet, QVariant::fromValue(identifiers) } };
}

std::optional<AppReload> AppReload::fromUserInfo(const QVariantMap &userInfo)
{
    const QVariant value = userInfo.value(AppReloadIdentifierSet);
    if (!value.canConvert<QSet<QString>>() || value.typeId() != qMetaTypeId<QSet<QString>>())
        return std::nullopt;
    return AppReload { value.value<QSet<QString>>() };
}

QVariantMap ListRearrangement::userInfo() const
{
    return { { ListRearrangementOldIndex, oldIndex }, { ListRearrangementNewIndex, newIndex } };
}

std::optional<ListRearrangement> ListRearrangement::fromUserInfo(const QVariantMap &userInfo)
{
    const std::optional<int> oldIndex = integerIn(userInfo, ListRearrangementOldIndex);
    const std::optional<int> newIndex = integerIn(userInfo, ListRearrangementNewIndex);
    if (!oldIndex || !newIndex)
        return std::nullopt;
    return ListRearrangement { *oldIndex, *newIndex };
}

} // namespace tanvill
