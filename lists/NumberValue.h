#pragma once

#include <QVariant>

#include <cmath>
#include <optional>

namespace tanvill {

// A whole number carried by a notification's user info or a setting: a number of any numeric
// type, or (settings come back from their file as text) decimal text when `textToo`. Anything
// else, fractions included, is none.
inline std::optional<qint64> integerValue(const QVariant &value, bool textToo = false)
{
    bool ok = false;
    double number = 0;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::Double:
    case QMetaType::Float:
        number = value.toDouble(&ok);
        break;
    case QMetaType::QString:
    case QMetaType::QByteArray:
        if (textToo)
            number = value.toString().trimmed().toDouble(&ok);
        break;
    default:
        break;
    }
    if (!ok || !std::isfinite(number) || std::trunc(number) != number || std::abs(number) > 9.0e15)
        return std::nullopt;
    return qint64(number);
}

} // namespace tanvill
