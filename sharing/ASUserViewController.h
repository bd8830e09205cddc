#pragma once

#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace tanvill {

class ASUserViewController;
class SpinningIndicator;

// Hears the user name the first import step submits (the import window's guide).
class ASUserViewControllerDelegate
{
public:
    virtual ~ASUserViewControllerDelegate() = default;
    virtual void userViewControllerDidSubmitUsername(ASUserViewController *step,
                                                     const QString &username)
        = 0;
};

// The import window's first step: the wish-list user name and the button that starts the
// import. Once started it stays disabled with its spinner turning; the window shows a fresh
// step when the user is to try again.
class ASUserViewController : public QWidget
{
    Q_OBJECT
public:
    explicit ASUserViewController(QWidget *parent = nullptr);

    QLineEdit *usernameTextField() const { return m_usernameTextField; }
    QPushButton *startButton() const { return m_startButton; }
    SpinningIndicator *loadingIndicator() const { return m_loadingIndicator; }

    // Not owned; must outlive the step (the guide owns its steps).
    ASUserViewControllerDelegate *delegate = nullptr;

    // Submits the name exactly as typed; does nothing while the start button is disabled.
    void startLoading();
    // Makes the step editable again.
    void stopLoading();

    static constexpr QSize kSize { 440, 196 };

private:
    void controlTextDidChange();

    QLineEdit *m_usernameTextField;
    QPushButton *m_startButton;
    SpinningIndicator *m_loadingIndicator;
};

} // namespace tanvill
