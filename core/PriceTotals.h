#pragma once

// Prices of several currencies side by side, never added nor compared across currencies: the
// total of a list's header and the order of a list's applications and sections by price. The
// chosen store's currency (that of the latest answers, "currencyCode") comes first, the others
// after it in the order of their codes, each in order of amount. An application keeps its last
// known price, in its currency, where the chosen store does not sell it, so one list may hold
// several.

#include <QString>

#include <vector>

namespace tanvill {

class App;

class CurrencyOrder
{
public:
    // The chosen store's currency as the settings hold it ("currencyCode", else "USD").
    static CurrencyOrder ofChosenStore();
    explicit CurrencyOrder(QString chosenCurrency);

    const QString &chosenCurrency() const { return m_chosen; }
    // The currency an application's price counts in: its own; the chosen one when it has none,
    // or when it is free, which it is in every currency.
    QString currencyOf(const App &app) const;
    // True when amounts in `a` come before amounts in `b`.
    bool before(const QString &a, const QString &b) const;

private:
    QString m_chosen;
};

// The currency order as small numbers, for ordering many applications at once: each currency
// met is numbered once, and compared as a number from then on. The rows of a list make one per
// computation.
class CurrencyRanks
{
public:
    explicit CurrencyRanks(const CurrencyOrder &order);

    // A number for the currency of `app` (CurrencyOrder::currencyOf): the same for the same
    // currency, 0 for the chosen one.
    int numberOf(const App &app);
    // The place in the currency order of each number handed out so far, by number.
    std::vector<int> ranks() const;

private:
    std::vector<QString> m_codes;
    std::size_t m_last = 0;
};

// The sum of the prices in each currency, in the currency order. Currencies whose prices add
// up to nothing are left out, but for the chosen one when nothing is left.
class PriceTotals
{
public:
    struct Amount
    {
        QString currencyCode;
        double total = 0.0;
    };

    PriceTotals(const std::vector<App *> &apps, const CurrencyOrder &order);

    const std::vector<Amount> &amounts() const { return m_amounts; }

private:
    std::vector<Amount> m_amounts;
};

// Each total as a price in its currency, joined: "¥16.02K + £22.99". An empty language stands
// for the user's.
QString localizedPriceTotalString(const PriceTotals &totals, const QString &languageCode = {});

} // namespace tanvill
