#pragma once

// The rating prompt: a strip above the list table's rows with one question and two answers.
// It first asks whether the user enjoys the application; yes leads to whether they will rate
// it, no to whether they will send feedback. The answers to that second question go to the
// delegate (the list table), which removes the strip and ends the prompt for good.

#include <QPointer>
#include <QWidget>

#include <optional>

namespace tanvill {

class BorderedButton;
class Label;
class RatingPromptView;

// The question on screen.
enum class RatingPromptState { Enjoy, Rate, Feedback };
// "enjoy", "rate", "feedback": what the delegate reports to analytics.
QString rawValue(RatingPromptState state);
// Exactly those three texts, case-sensitive; none for anything else.
std::optional<RatingPromptState> ratingPromptStateFromRawValue(const QString &rawValue);

class RatingPromptDelegate
{
public:
    virtual ~RatingPromptDelegate() = default;
    // The user declined the second question (state Rate or Feedback).
    virtual void hideRatingPrompt(RatingPromptView *view, RatingPromptState state) = 0;
    virtual void leaveRating(RatingPromptView *view) = 0;
    virtual void sendFeedback(RatingPromptView *view) = 0;
};

class RatingPromptView : public QWidget
{
    Q_OBJECT
public:
    // The strip's height with its question on one line; a question wrapped in a narrow window
    // makes it taller.
    static constexpr int kHeight = 54;

    explicit RatingPromptView(QWidget *parent = nullptr);

    Label *titleLabel() const { return m_titleLabel; }
    BorderedButton *cancelButton() const { return m_cancelButton; }
    BorderedButton *continueButton() const { return m_continueButton; }

    // Held weakly: a delegate that is a QObject is forgotten once it is destroyed.
    RatingPromptDelegate *delegate() const;
    void setDelegate(RatingPromptDelegate *delegate);

    RatingPromptState state() const { return m_state; }
    // Shows the question and answers of `state`.
    void setState(RatingPromptState state);

    // The negative and the positive answer (the two buttons' actions).
    void cancel();
    void continuePrompt();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void layoutViews();

    Label *m_titleLabel;
    BorderedButton *m_cancelButton;
    BorderedButton *m_continueButton;
    RatingPromptDelegate *m_delegate = nullptr;
    QPointer<QObject> m_delegateObject;
    bool m_delegateIsObject = false;
    RatingPromptState m_state = RatingPromptState::Enjoy;
};

} // namespace tanvill
