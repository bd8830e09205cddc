#include "details/DescriptionCell.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace tanvill {

DescriptionCell::DescriptionCell(QWidget *parent) : TableRowView(parent)
{
    setAccessibleName(tr("Description"));
}

void DescriptionCell::setText(const QString &text)
{
    m_text = text;
    setAccessibleDescription(text);
    update();
}

QFont DescriptionCell::textFont()
{
    QFont font = QApplication::font();
    font.setPixelSize(13);
    return font;
}

int DescriptionCell::layoutText(const QString &text, int width, QPainter *painter, QPointF origin)
{
    if (text.isEmpty())
        return 0;
    const qreal lineWidth = std::max(1, width);
    const QFont font = textFont();
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    qreal y = 0;
    QString normalized = text;
    normalized.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
        .replace(QLatin1Char('\r'), QLatin1Char('\n'));
    for (const QString &paragraph : normalized.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, font);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(lineWidth);
            line.setPosition(QPointF(0, y));
            y += line.height();
        }
        layout.endLayout();
        if (painter)
            layout.draw(painter, origin);
    }
    return int(std::ceil(y));
}

void DescriptionCell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Text));
    layoutText(m_text, width() - 2 * kSideMargin, &painter, QPointF(kSideMargin, kVerticalMargin));
}

} // namespace tanvill
