#pragma once

// An exact decimal number for prices: the store's "0.99" stays 0.99 from the JSON reply
// through the object store to the screen. Held as an integer count of 10^-scale units.

#include <QString>

#include <compare>
#include <optional>

namespace tanvill {

class Decimal
{
public:
    Decimal() = default;
    static Decimal fromUnits(qint64 units, int scale);
    // Plain decimal text ("1", "-0.99", "1234.5"); no exponent, no grouping. Up to 18
    // significant digits; anything else gives no value.
    static std::optional<Decimal> fromString(const QString &text);
    // The shortest decimal that reads back as `value` (what a JSON writer printed); no value
    // for NaN, infinities and magnitudes beyond 10^15.
    static std::optional<Decimal> fromDouble(double value);

    double toDouble() const;
    // Canonical text without trailing zeros: "0.99", "1", "-2.5".
    QString toString() const;

    qint64 units() const { return m_units; }
    int scale() const { return m_scale; }
    bool isZero() const { return m_units == 0; }

    // Compares values, not representations: 1.50 == 1.5.
    friend bool operator==(const Decimal &a, const Decimal &b) { return a.compare(b) == 0; }
    friend std::strong_ordering operator<=>(const Decimal &a, const Decimal &b)
    {
        return a.compare(b) <=> 0;
    }

private:
    int compare(const Decimal &other) const;
    void normalize();

    qint64 m_units = 0;
    int m_scale = 0;
};

} // namespace tanvill
