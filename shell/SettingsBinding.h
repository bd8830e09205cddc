#pragma once

// Two-way bindings between the preference panes' controls and the user's settings: a user's
// change writes the setting, and a change of the setting from anywhere else (a menu, another
// window) shows in the control at once, without being written back. The bindings end with
// their control.

#include <QString>

class QAbstractButton;
class QWidget;

namespace tanvill {

class UserDefaults;

namespace SettingsBinding {

// Shows the boolean setting `key` in `box` (checked when true, or when false with
// `inverted`), now and after every change of it. Clicks are not written: the caller decides.
void showBoolean(QAbstractButton *box, UserDefaults &settings, const QString &key,
                 bool inverted = false);

// showBoolean, and every click of the user writes the box's state to the setting.
void bindBoolean(QAbstractButton *box, UserDefaults &settings, const QString &key,
                 bool inverted = false);

// Enables `widget` exactly while the boolean setting `key` is true.
void enableWhile(QWidget *widget, UserDefaults &settings, const QString &key);

} // namespace SettingsBinding

} // namespace tanvill
