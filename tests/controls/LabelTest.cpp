#include "controls/Label.h"

#include <QApplication>
#include <QFontMetricsF>
#include <QHBoxLayout>
#include <QTextBoundaryFinder>
#include <gtest/gtest.h>

#include <cmath>
#include <ctime>

using tanvill::Label;

namespace {

const QString kEllipsis = QString(QChar(0x2026));

// The processor time this thread has had, which a busy machine does not make longer.
qint64 threadTimeMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

int widthOf(const Label &label, const QString &text)
{
    return int(std::ceil(QFontMetricsF(label.font()).horizontalAdvance(text)));
}

// True when `shown` is a prefix of `full` cut between two whole characters, plus "…".
bool cutAtCharacterBoundary(const QString &full, const QString &shown)
{
    if (!shown.endsWith(kEllipsis))
        return false;
    const QString prefix = shown.chopped(1);
    if (!full.startsWith(prefix))
        return false;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, full);
    finder.setPosition(prefix.size());
    return finder.isAtBoundary();
}

} // namespace

TEST(LabelTest, ShowsWholeTextWhenItFitsOrBeforeLayout)
{
    Label label;
    label.resize(0, 20);
    label.show();
    label.setStringValue(QStringLiteral("A rather long application name"));
    EXPECT_EQ(label.stringValue(), QStringLiteral("A rather long application name"));

    label.resize(widthOf(label, QStringLiteral("Short")) + 2, 20);
    label.setStringValue(QStringLiteral("Short"));
    EXPECT_EQ(label.stringValue(), QStringLiteral("Short"));
}

TEST(LabelTest, ShortensFromTheEndAndFollowsItsWidth)
{
    Label label;
    label.show();
    const QString text = QStringLiteral("Weather Forecast Deluxe");
    label.resize(widthOf(label, QStringLiteral("Weather Fore") + kEllipsis), 20);
    label.setStringValue(text);
    EXPECT_EQ(label.stringValue(), QStringLiteral("Weather Fore") + kEllipsis);
    EXPECT_EQ(label.fullString(), text);

    label.resize(widthOf(label, text), 20);
    EXPECT_EQ(label.stringValue(), text);

    label.resize(widthOf(label, QStringLiteral("Wea") + kEllipsis), 20);
    EXPECT_EQ(label.stringValue(), QStringLiteral("Wea") + kEllipsis);
}

TEST(LabelTest, DropsOneTrailingSpaceBeforeTheEllipsis)
{
    Label label;
    // The cut lands after "ab  " (two spaces): one of them stays.
    label.resize(widthOf(label, QStringLiteral("ab ") + kEllipsis), 20);
    label.setStringValue(QStringLiteral("ab  cdefghijkl"));
    EXPECT_EQ(label.stringValue(), QStringLiteral("ab ") + kEllipsis);

    label.resize(widthOf(label, QStringLiteral("ab") + kEllipsis), 20);
    label.setStringValue(QStringLiteral("ab cdefghijkl"));
    EXPECT_EQ(label.stringValue(), QStringLiteral("ab") + kEllipsis);
}

TEST(LabelTest, TooNarrowForOneCharacterShowsNothing)
{
    Label label;
    label.resize(1, 20);
    label.setStringValue(QStringLiteral("W"));
    EXPECT_EQ(label.stringValue(), QString());
    label.setStringValue(QStringLiteral("Wide text"));
    EXPECT_EQ(label.stringValue(), QString());
}

TEST(LabelTest, TextGivenThroughSetTextSurvivesResizing)
{
    Label label;
    label.resize(30, 20);
    label.show();
    label.setStringValue(QStringLiteral("First text of the label"));
    label.setText(QStringLiteral("Second text, which is long too"));
    EXPECT_EQ(label.fullString(), QStringLiteral("Second text, which is long too"));
    label.resize(widthOf(label, QStringLiteral("Second text, which is long too")), 20);
    EXPECT_EQ(label.stringValue(), QStringLiteral("Second text, which is long too"));
}

TEST(LabelTest, TruncationCanBeSwitchedOff)
{
    Label label;
    label.resize(30, 20);
    label.show();
    label.setStringValue(QStringLiteral("Something long enough to shorten"));
    EXPECT_TRUE(label.stringValue().endsWith(kEllipsis));
    label.setTruncateString(false);
    EXPECT_EQ(label.stringValue(), QStringLiteral("Something long enough to shorten"));
    label.setTruncateString(true);
    // Laid out, the label may be squeezed only while it shortens its text.
    QWidget row;
    auto *layout = new QHBoxLayout(&row);
    Label *inRow = new Label(QStringLiteral("Something long enough to shorten"));
    layout->addWidget(inRow);
    const int squeezable = layout->minimumSize().width();
    inRow->setTruncateString(false);
    QApplication::sendPostedEvents();
    EXPECT_GT(layout->minimumSize().width(),
              squeezable + widthOf(*inRow, QStringLiteral("Something long")));
    EXPECT_TRUE(label.stringValue().endsWith(kEllipsis));
}

TEST(LabelTest, NeverSplitsEmojiOrCombiningSequences)
{
    Label label;
    // A family emoji (joined by zero-width joiners), a flag, a thumbs-up with a skin tone,
    // and letters with stacked combining marks.
    const QString text = QStringLiteral("Go \U0001F468\u200D\U0001F469\u200D\U0001F467 "
                                        "\U0001F1E9\U0001F1EA \U0001F44D\U0001F3FD "
                                        "e\u0301\u0323a\u0308o\u0302 end of the text");
    label.setStringValue(text);
    label.show();
    for (int width = 5; width < widthOf(label, text); width += 1) {
        label.resize(width, 20);
        const QString shown = label.stringValue();
        if (shown.isEmpty() || shown == text)
            continue;
        EXPECT_TRUE(cutAtCharacterBoundary(text, shown))
            << "width " << width << ": " << shown.toStdString();
    }
}

TEST(LabelTest, ShowsMarkupAsPlainText)
{
    Label label;
    label.setStringValue(QStringLiteral("<b>Bold</b> &amp; <img src=x>"));
    EXPECT_EQ(label.textFormat(), Qt::PlainText);
    EXPECT_EQ(label.stringValue(), QStringLiteral("<b>Bold</b> &amp; <img src=x>"));
}

TEST(LabelTest, MayBeSqueezedByLayoutsButPrefersItsWholeText)
{
    Label label;
    label.setStringValue(QStringLiteral("A name of some length"));
    EXPECT_EQ(label.minimumSizeHint().width(), 0);
    EXPECT_GE(label.sizeHint().width(), widthOf(label, QStringLiteral("A name of some length")));
}

TEST(LabelTest, AHugeTextIsShortenedAsQuicklyAsAShortOne)
{
    Label label;
    label.resize(400, 20);
    const QString huge = QStringLiteral("https://lists.example/") + QString(9'000'000, 'l');
    const qint64 before = threadTimeMs();
    label.setStringValue(huge);
    EXPECT_GT(label.sizeHint().width(), 400);
    EXPECT_LT(threadTimeMs() - before, 1000) << "a text of megabytes froze the label";
    EXPECT_TRUE(cutAtCharacterBoundary(huge, label.stringValue()));
    EXPECT_LE(widthOf(label, label.stringValue()), 400);
}
