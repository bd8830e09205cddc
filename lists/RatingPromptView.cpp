#include "lists/RatingPromptView.h"

#include "controls/BorderedButton.h"
#include "controls/Label.h"
#include "platform/Strings.h"

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
    const int buttonHeight = 26, top = (height() - buttonHeight) / 2;
    int right = width() - 16;
    for (BorderedButton *button : { m_continueButton, m_cancelButton }) {
        const int buttonWidth = std::max(button->sizeHint().width(), 84);
        button->setGeometry(right - buttonWidth, top, buttonWidth, buttonHeight);
        right -= buttonWidth + 10;
    }
    m_titleLabel->setGeometry(16, 0, std::max(0, right - 16 - 6), height());
}

} // namespace tanvill
