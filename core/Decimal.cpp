#include "core/Decimal.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

namespace tanvill {

namespace {
constexpr int kMaxDigits = 18;
__extension__ using Wide = __int128;
} // namespace

Decimal Decimal::fromUnits(qint64 units, int scale)
{
    Decimal d;
    d.m_units = units;
    d.m_scale = scale;
    d.normalize();
    return d;
}

std::optional<Decimal> Decimal::fromString(const QString &text)
{
    // Plain prices ("0", "4.99", "-1.5") make up nearly every text read from the store: they
    // are read here without the general pattern below, to the same value.
    {
        const QChar *c = text.constData();
        const QChar *end = c + text.size();
        const bool negative = c != end && *c == QLatin1Char('-');
        if (negative)
            ++c;
        qint64 units = 0;
        int digits = 0;
        int scale = -1;
        bool plain = c != end;
        for (; plain && c != end; ++c) {
            if (*c == QLatin1Char('.') && scale < 0) {
                scale = 0;
            } else if (c->unicode() >= '0' && c->unicode() <= '9') {
                if (units != 0 || *c != QLatin1Char('0'))
                    ++digits;
                units = units * 10 + (c->unicode() - '0');
                if (scale >= 0)
                    ++scale;
                plain = digits <= 15;
            } else {
                plain = false;
            }
        }
        if (plain && (scale < 0 ? text.size() > int(negative) : text.size() > int(negative) + 1))
            return fromUnits(negative ? -units : units, std::max(scale, 0));
    }
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*([-+]?)(\\d*)(?:\\.(\\d*))?\\s*$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    QString integral = match.captured(2);
    QString fraction = match.captured(3);
    if (integral.isEmpty() && fraction.isEmpty())
        return std::nullopt;
    while (fraction.endsWith(QLatin1Char('0')))
        fraction.chop(1);
    while (integral.size() > 1 && integral.startsWith(QLatin1Char('0')))
        integral.remove(0, 1);
    QString digits = integral + fraction;
    while (digits.size() > 1 && digits.startsWith(QLatin1Char('0')))
        digits.remove(0, 1);
    if (digits.isEmpty())
        digits = QStringLiteral("0");
    if (digits.size() > kMaxDigits)
        return std::nullopt;
    bool ok = false;
    qint64 units = digits.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    if (match.captured(1) == QLatin1String("-"))
        units = -units;
    return fromUnits(units, int(fraction.size()));
}

std::optional<Decimal> Decimal::fromDouble(double value)
{
    if (!std::isfinite(value) || std::abs(value) >= 1e15)
        return std::nullopt;
    // 'f' with the shortest round-trip precision never uses an exponent.
    return fromString(QString::number(value, 'f', QLocale::FloatingPointShortest));
}

double Decimal::toDouble() const
{
    // Units and power of ten are both exact doubles here, so one division gives the double
    // nearest to the exact value; sorting large lists by price relies on this being quick.
    static constexpr double kPowersOfTen[]
        = { 1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
            1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22 };
    constexpr qint64 kExactLimit = qint64(1) << 53;
    if (m_scale >= 0 && m_scale <= 22 && m_units <= kExactLimit && m_units >= -kExactLimit)
        return double(m_units) / kPowersOfTen[m_scale];
    // Parsing the text gives the double nearest to the exact value.
    return toString().toDouble();
}

QString Decimal::toString() const
{
    const bool negative = m_units < 0;
    QString digits = QString::number(negative ? -(m_units) : m_units);
    if (m_scale > 0) {
        if (digits.size() <= m_scale)
            digits.prepend(QString(m_scale - digits.size() + 1, QLatin1Char('0')));
        digits.insert(digits.size() - m_scale, QLatin1Char('.'));
    }
    return negative ? QLatin1Char('-') + digits : digits;
}

int Decimal::compare(const Decimal &other) const
{
    // Bring both to the larger scale; the digit limit keeps this within 128 bits.
    const int scale = std::max(m_scale, other.m_scale);
    Wide a = m_units;
    Wide b = other.m_units;
    for (int i = m_scale; i < scale; ++i)
        a *= 10;
    for (int i = other.m_scale; i < scale; ++i)
        b *= 10;
    return a < b ? -1 : (a > b ? 1 : 0);
}

void Decimal::normalize()
{
    while (m_scale > 0 && m_units % 10 == 0) {
        m_units /= 10;
        --m_scale;
    }
    if (m_units == 0)
        m_scale = 0;
}

} // namespace tanvill
