#include "controls/Label.h"

#include <QEvent>
#include <QFontMetricsF>
#include <QTextBoundaryFinder>

namespace tanvill {

namespace {

const QChar kEllipsis(0x2026);
// One line of any width shows far fewer characters than this; longer texts are measured and
// shortened from this much of their beginning only, so that a text of megabytes costs no more
// than one of a few pages.
constexpr qsizetype kMaxMeasuredLength = 4096;

// The beginning of `text` that is measured: all of it, or kMaxMeasuredLength code units
// without a split surrogate pair.
QString measuredPart(const QString &text)
{
    if (text.size() <= kMaxMeasuredLength)
        return text;
    qsizetype end = kMaxMeasuredLength;
    if (text.at(end - 1).isHighSurrogate())
        --end;
    return text.left(end);
}

// Offsets at which the text may be cut without splitting a user-perceived character (an
// emoji with its modifiers, a letter with its combining marks), ascending, without 0.
QList<qsizetype> graphemeEnds(const QString &text)
{
    QList<qsizetype> ends;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    for (qsizetype at = finder.toNextBoundary(); at > 0; at = finder.toNextBoundary())
        ends.append(at);
    return ends;
}

} // namespace

Label::Label(QWidget *parent) : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setTextInteractionFlags(Qt::NoTextInteraction);
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(false);
    setWordWrap(false);
}

Label::Label(const QString &text, QWidget *parent) : Label(parent)
{
    setStringValue(text);
}

void Label::setStringValue(const QString &text)
{
    m_originalString = text;
    refresh();
    updateGeometry();
}

void Label::setTruncateString(bool truncate)
{
    m_truncateString = truncate;
    refresh();
    // The smallest width the label accepts depends on the flag.
    updateGeometry();
}

QSize Label::sizeHint() const
{
    const QFontMetrics metrics(font());
    const QMargins margins = contentsMargins();
    return QSize(metrics.horizontalAdvance(measuredPart(m_originalString)) + margins.left()
                     + margins.right() + 2 * margin(),
                 QLabel::sizeHint().height());
}

QSize Label::minimumSizeHint() const
{
    if (!m_truncateString)
        return sizeHint();
    return QSize(0, QLabel::minimumSizeHint().height());
}

void Label::resizeEvent(QResizeEvent *event)
{
    QLabel::resizeEvent(event);
    refresh();
}

void Label::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        refresh();
}

void Label::refresh()
{
    const QString shown = m_truncateString ? truncate(m_originalString) : m_originalString;
    if (shown != text())
        QLabel::setText(shown);
}

QString Label::truncate(const QString &fullText) const
{
    const qreal available = contentsRect().width() - 2 * margin();
    const QString text = measuredPart(fullText);
    const bool whole = text.size() == fullText.size();
    // A label that has not been laid out yet has nothing to fit into.
    if (width() == 0 || fullText.isEmpty())
        return whole ? text : text + kEllipsis;
    const QFontMetricsF metrics(font());
    const auto fits = [&](const QString &candidate) {
        return metrics.horizontalAdvance(candidate) <= available;
    };
    if (whole && fits(text))
        return text;

    const auto candidateAt = [&](qsizetype end) {
        QString prefix = text.left(end);
        if (prefix.endsWith(QLatin1Char(' ')))
            prefix.chop(1);
        return prefix + kEllipsis;
    };
    // The widths of the candidates grow with their length, so the longest one that fits is
    // found by bisection over the cut points, which all lie between whole characters.
    QList<qsizetype> ends = graphemeEnds(text);
    if (whole)
        ends.removeLast(); // the whole text, already known not to fit
    qsizetype low = 0;
    qsizetype high = ends.size();
    while (low < high) {
        const qsizetype middle = (low + high) / 2;
        if (fits(candidateAt(ends[middle])))
            low = middle + 1;
        else
            high = middle;
    }
    return low == 0 ? QString() : candidateAt(ends[low - 1]);
}

} // namespace tanvill
