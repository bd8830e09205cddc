#pragma once

// Tells the changes of one refresh as sentences: a price, rating and version text in a long
// form, each ending with a full stop, and a short form without one, and the filling of up to
// three text labels from one AppUpdate. The Latest Changes window and the history popover
// show the long form.

#include "store/AppUpdate.h"

#include <QString>

#include <functional>

namespace tanvill {

class ChangeLog
{
public:
    // Writes a text into one label; empty when the caller has no label at that position.
    using LabelSetter = std::function<void(const QString &text)>;
    using Closure = std::function<void()>;

    // Both prices are in currencyCode; empty stands for the store's ("currencyCode").
    static QString priceChangeDescription(const Change<Decimal> &change, bool longForm = true,
                                          const QString &currencyCode = {});
    static QString ratingChangeDescription(const Change<float> &change, bool longForm = true);
    static QString versionChangeDescription(const Change<QString> &change, bool longForm = true);

    // Fills the labels from the top with the present changes in the order price, rating,
    // version (a missing label still takes its position), runs closures 1..n and then calls
    // completion with n, where n is the number of changes but at least 1.
    static void updateDescription(const LabelSetter &label1, const Closure &closure1,
                                  const LabelSetter &label2, const Closure &closure2,
                                  const LabelSetter &label3, const Closure &closure3,
                                  const AppUpdate &update, bool longForm = true,
                                  const std::function<void(int)> &completion = {});

    // One price as shown in a change: "free" for zero, else the amount in its currency (empty:
    // the store's), written as the current locale writes amounts.
    static QString priceText(const Decimal &price, const QString &currencyCode = {});
    // One rating with at most one fraction digit and a star: "4.5★", "4★".
    static QString ratingText(float rating);
};

} // namespace tanvill
