#include "controls/MenuItemTitle.h"

#include "platform/Strings.h"

#include <QAction>
#include <QApplication>
#include <QCache>
#include <QComboBox>
#include <QFontMetrics>
#include <QTextDocument>

namespace tanvill {

namespace {

constexpr int kShownCharacters = 40;

// The whole name as a tool tip, shown as written even when it looks like markup.
QString toolTipText(const QString &name)
{
    return Qt::mightBeRichText(name) ? Qt::convertFromPlainText(name, Qt::WhiteSpaceNormal) : name;
}

} // namespace

QString elidedName(const QString &name, const QFont &font)
{
    // Every row of a list table has a Move to List submenu naming every list: the few names
    // and fonts there are are measured once each (on the UI thread, like every menu).
    static QCache<QString, QString> shortened(1024);
    const QString key = font.key() + QLatin1Char('\n') + name;
    if (const QString *known = shortened.object(key))
        return *known;
    const QFontMetrics metrics(font);
    const int width = metrics.horizontalAdvance(QString(kShownCharacters, QLatin1Char('x')));
    const QString shown = metrics.elidedText(name, Qt::ElideMiddle, width);
    shortened.insert(key, new QString(shown));
    return shown;
}

QString menuTitleText(const QString &name)
{
    QString text = name;
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

void setNameMenuItemTitle(QAction *item, const QString &name, const QString &format)
{
    const QString shown = elidedName(name, QApplication::font("QMenu"));
    const QString title = menuTitleText(shown);
    item->setText(format.isEmpty() ? title : Strings::format(format, { title }));
    item->setToolTip(shown == name ? QString() : toolTipText(name));
}

QString numberedMenuItemFormat(int position)
{
    constexpr int digits = 9;
    constexpr int letters = 26;
    if (position < 0 || position >= digits + letters)
        return QStringLiteral("%@");
    const QChar mark = position < digits ? QChar(u'1' + position) : QChar(u'A' + position - digits);
    return QStringLiteral("&") + mark + QStringLiteral(" %@");
}

void addNamePopUpItem(QComboBox *popUp, const QString &name, const QVariant &data)
{
    const QString shown = elidedName(name, popUp->font());
    popUp->addItem(shown, data);
    if (shown != name)
        popUp->setItemData(popUp->count() - 1, toolTipText(name), Qt::ToolTipRole);
}

} // namespace tanvill
