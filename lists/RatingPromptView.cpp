#include "lists/RatingPromptView.h"

#include "controls/BorderedButton.h"
#include "controls/Label.h"
#include "platform/Strings.h"

#include <QCoreApplication>
#include <QEvent>

#include <limits>

namespace tanvill {

namespace {

struct StateTexts
{
    const char *question;
    const char *cancel;
    const char *proceed;
};

StateTexts textsOf(RatingPromptState state)
{
    switch (state) {
    case RatingPromptState::Enjoy:
        return { "RatingPromptEnjoyQuestion", "Not really", "Yes!" };
    case RatingPromptState::Rate:
        return { "RatingPromptRateQuestion", "No, thanks", "Sure!" };
    case RatingPromptState::Feedback:
        return { "RatingPromptFeedbackQuestion", "No, thanks", "Sure!" };
    }
    return { "", "", "" };
}

} // namespace

QString rawValue(RatingPromptState state)
{
    switch (state) {
    case RatingPromptState::Enjoy:
        return QStringLiteral("enjoy");
    case RatingPromptState::Rate:
        return QStringLiteral("rate");
    case RatingPromptState::Feedback:
        return QStringLiteral("feedback");
    }
    return {};
}

std::optional<RatingPromptState> ratingPromptStateFromRawValue(const QString &rawValue)
{
    for (const RatingPromptState state :
         { RatingPromptState::Enjoy, RatingPromptState::Rate, RatingPromptState::Feedback }) {
        if (tanvill::rawValue(state) == rawValue)
            return state;
    }
    return std::nullopt;
}

RatingPromptView::RatingPromptView(QWidget *parent) : QWidget(parent)
{
    setFixedHeight(kHeight);
    m_titleLabel = new Label(this);
    QFont font = m_titleLabel->font();
    font.setPixelSize(14);
    m_titleLabel->setFont(font);
    // The question is read whole: it wraps in a narrow window, and the strip grows with it.
    m_titleLabel->setTruncateString(false);
    m_titleLabel->setWordWrap(true);
    m_cancelButton = new BorderedButton(this);
    m_continueButton = new BorderedButton(this);
    for (BorderedButton *button : { m_cancelButton, m_continueButton }) {
        QFont buttonFont = button->font();
        buttonFont.setPixelSize(13);
        button->setFont(buttonFont);
        button->setFocusPolicy(Qt::TabFocus);
    }
    m_cancelButton->setTintColor(QColor(0xb0, 0xb0, 0xb4));
    connect(m_cancelButton, &QAbstractButton::clicked, this, &RatingPromptView::cancel);
    connect(m_continueButton, &QAbstractButton::clicked, this, &RatingPromptView::continuePrompt);
    setState(RatingPromptState::Enjoy);
}

RatingPromptDelegate *RatingPromptView::delegate() const
{
    if (m_delegateIsObject && m_delegateObject.isNull())
        return nullptr;
    return m_delegate;
}

void RatingPromptView::setDelegate(RatingPromptDelegate *delegate)
{
    m_delegate = delegate;
    m_delegateObject = dynamic_cast<QObject *>(delegate);
    m_delegateIsObject = !m_delegateObject.isNull();
}

void RatingPromptView::setState(RatingPromptState state)
{
    m_state = state;
    const StateTexts texts = textsOf(state);
    m_titleLabel->setStringValue(Strings::localized(QString::fromLatin1(texts.question)));
    m_cancelButton->setTitle(Strings::localized(QString::fromLatin1(texts.cancel)));
    m_continueButton->setTitle(Strings::localized(QString::fromLatin1(texts.proceed)));
    layoutViews();
}

void RatingPromptView::cancel()
{
    if (m_state == RatingPromptState::Enjoy) {
        setState(RatingPromptState::Feedback);
        return;
    }
    if (RatingPromptDelegate *receiver = delegate())
        receiver->hideRatingPrompt(this, m_state);
}

void RatingPromptView::continuePrompt()
{
    RatingPromptDelegate *receiver = delegate();
    switch (m_state) {
    case RatingPromptState::Enjoy:
        setState(RatingPromptState::Rate);
        break;
    case RatingPromptState::Rate:
        if (receiver)
            receiver->leaveRating(this);
        break;
    case RatingPromptState::Feedback:
        if (receiver)
            receiver->sendFeedback(this);
        break;
    }
}

void RatingPromptView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutViews();
}

void RatingPromptView::layoutViews()
{
    constexpr int kButtonHeight = 26, kSide = 16, kTextMargin = 10;
    QRect buttonFrames[2];
    int right = width() - kSide;
    for (int i = 0; i < 2; ++i) {
        const BorderedButton *button = i == 0 ? m_continueButton : m_cancelButton;
        const int buttonWidth = std::max(button->sizeHint().width(), 84);
        buttonFrames[i] = QRect(right - buttonWidth, 0, buttonWidth, kButtonHeight);
        right -= buttonWidth + 10;
    }
    const int textWidth = std::max(1, right - kSide - 6);
    const int textHeight
        = m_titleLabel->fontMetrics()
              .boundingRect(QRect(0, 0, textWidth, std::numeric_limits<int>::max() / 2),
                            Qt::TextWordWrap, m_titleLabel->fullString())
              .height();
    const int stripHeight = std::max(kHeight, textHeight + 2 * kTextMargin);
    if (stripHeight != height() && width() > 0) {
        setFixedHeight(stripHeight);
        // The table reads its header's height again when the header asks to be laid out.
        QCoreApplication::postEvent(this, new QEvent(QEvent::LayoutRequest));
    }
    const int top = (height() - kButtonHeight) / 2;
    m_continueButton->setGeometry(buttonFrames[0].translated(0, top));
    m_cancelButton->setGeometry(buttonFrames[1].translated(0, top));
    m_titleLabel->setGeometry(kSide, 0, textWidth, height());
}

} // namespace tanvill
