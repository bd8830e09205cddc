#pragma once

// Items that show a name the user gave (a list in the Window menu, the Move to List submenus,
// the import window's list pop-up, the Delete item): a long name is shortened in the middle to
// about forty characters of the item's font, so that a menu never runs across the screen, and
// the whole name becomes the item's tool tip. Menu titles keep an "&" of a name as written; the
// item's own shortcut letter comes from its format.

#include <QString>
#include <QVariant>

class QAction;
class QComboBox;
class QFont;

namespace tanvill {

// `name` as it fits in about forty characters of `font`, shortened in the middle.
QString elidedName(const QString &name, const QFont &font);

// `name` made safe for a menu title: "&" would otherwise mark a shortcut letter.
QString menuTitleText(const QString &name);

// Gives `item` the (shortened) name as its title and, when shortened, the whole name as its
// tool tip. `format`, when given, is a menu title whose "%@" takes the name; its "&" marks the
// item's shortcut letter. The menu holding the item shows it only with
// QMenu::setToolTipsVisible.
void setNameMenuItemTitle(QAction *item, const QString &name, const QString &format = {});

// The format of the entry at `position` (from 0) of a menu made of names (the Window menu, Move
// to List): "&1 %@" to "&9 %@", then "&A %@" to "&Z %@", and "%@" past those. A name gives no
// letter of its own, so each entry has one that no other entry shares.
QString numberedMenuItemFormat(int position);

// Adds `name` (shortened, the whole name as its tool tip) to a pop-up button.
void addNamePopUpItem(QComboBox *popUp, const QString &name, const QVariant &data = {});

} // namespace tanvill
