#pragma once

// Publishes one list through the list-sharing service and hands the user the link it answers
// with. The sheet slides in from above the window's content over a dimming layer, takes an
// optional e-mail address and whether others may change the list, sends the list, spins while
// it waits (it stays until the answer comes or the request's time runs out) and turns into a
// narrow bar showing the link with "Share", "Copy" and "Done". Every failure leads back to the
// form with an alert. The list header page opens it with present().

#include "controls/KeyboardFocus.h"
#include "controls/ModalBackgroundView.h"
#include "platform/HttpClient.h"
#include "sharing/SharingHelpPopover.h"

#include <QCheckBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPropertyAnimation>
#include <QString>
#include <QUrl>
#include <QWidget>

#include <functional>

class QAbstractButton;
class QGraphicsOpacityEffect;
class QPushButton;
class QTimer;

namespace tanvill {

class Label;
class List;
class SpinningIndicator;

class ListShareSheet : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(qreal verticalOffset READ verticalOffset WRITE setVerticalOffset)
    Q_PROPERTY(int sheetHeight READ sheetHeight WRITE setSheetHeight)

public:
    enum class State { Preparing, Working, Done };

    // Opens a sheet for `list` over the content of `window` (a QMainWindow's central widget,
    // else the window itself). The completion runs once, after the sheet has gone, however it
    // closed; the sheet deletes itself then, or goes with its window.
    static ListShareSheet *present(QWidget *window, List *list,
                                   std::function<void()> completion = {});

    explicit ListShareSheet(QWidget *parent = nullptr);
    ~ListShareSheet() override;

    // Covers `parentView` with the dimming layer and slides the sheet in over it.
    void presentInView(QWidget *parentView, List *list, std::function<void()> completion = {});

    State state() const { return m_state; }
    // The shared list's link, in Done.
    QString link() const { return m_link; }
    List *list() const { return m_list; }

    // The actions of the sheet's buttons and keys.
    void share();
    // Lets the sheet leave; `sender` is disabled at once. Nothing happens while a request is
    // under way: its answer, or the failure at its time limit, brings the form back first.
    void cancel(QAbstractButton *sender = nullptr);
    void copyLink();
    // Opens the menu of ways to pass the link on, at the "Share" button.
    void shareLink();
    // The note about sharing, by the help button. Opening by itself (the first share), only
    // where it has the room beside the button clear of the form.
    void showHelp(bool byItself = false);

    // The parts, for the tests; the form's controls are gone in Done.
    QPushButton *sendButton() const { return m_sendButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }
    QPushButton *helpButton() const { return m_helpButton; }
    Label *titleLabel() const { return m_titleLabel; }
    QLineEdit *emailTextField() const { return m_emailTextField; }
    QCheckBox *allowModificationCheckbox() const { return m_allowModificationCheckbox; }
    QLabel *emailFieldLabel() const { return m_emailFieldLabel; }
    QLabel *emailFieldHelpLabel() const { return m_emailFieldHelpLabel; }
    QFrame *topSeparator() const { return m_topSeparator; }
    SpinningIndicator *workingIndicator() const { return m_workingIndicator; }
    ModalBackgroundView *backgroundView() const { return m_backgroundView; }
    SharingHelpPopover *helpPopover() const { return m_helpPopover; }
    QMenu *sharingMenu() const { return m_sharingMenu; }

    qreal verticalOffset() const { return m_verticalOffset; }
    void setVerticalOffset(qreal offset);
    int sheetHeight() const { return m_sheetHeight; }
    void setSheetHeight(int height);

    // Slide, fade and resize take this long; 0 makes them instant (tests).
    static void setAnimationDuration(int milliseconds);

    // The sheet is laid out for the window it covers: as wide as kWidth where the window has
    // room, down to the window's width less kWindowMargin each side; its texts wrap and its
    // buttons narrow. kFormHeight and kLinkBarHeight are its heights at full width.
    static constexpr int kWidth = 520;
    static constexpr int kMinimumWidth = 240;
    static constexpr int kWindowMargin = 10;
    static constexpr int kFormHeight = 250;
    static constexpr int kLinkBarHeight = 70;
    // Narrower than this, the link bar puts its buttons on a second row under the link.
    static constexpr int kOneRowLinkBarWidth = 448;
    static constexpr int kTwoRowLinkBarHeight = 96;
    // How long the Copy button says "Copied" after a copy (none while animations are instant).
    static constexpr int kCopiedNoticeMilliseconds = 1500;

signals:
    void stateChanged(ListShareSheet::State state);

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool focusNextPrevChild(bool next) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setState(State state, const QString &link = {});
    void applyState(State previous);
    void layoutControls();
    // Places the form's controls for `width` when `apply`; the form's height either way.
    int layoutForm(int width, bool apply) const;
    int sheetWidth() const;
    int targetHeight(int width) const;
    static int linkBarHeight(int width);
    void reposition();
    void controlTextDidChange();
    void handleShareResponse(const HttpResult &result, bool sentAffiliateToken);
    void viewDidAppear();
    void animate(qreal backgroundOpacity, qreal offset, std::function<void()> done);

    List *m_list = nullptr;
    QPointer<ModalBackgroundView> m_backgroundView;
    QPointer<QGraphicsOpacityEffect> m_backgroundOpacity;
    std::function<void()> m_completionHandler;
    State m_state = State::Preparing;
    QString m_link;
    qreal m_verticalOffset = 0;
    int m_sheetHeight = kFormHeight;
    QPointer<QPropertyAnimation> m_heightAnimation;
    bool m_dismissing = false;
    HttpClient::RequestId m_requestId = 0;
    // Where the keyboard was in the window when the sheet came; it goes back there.
    FocusReturn m_focusReturn;

    QPushButton *m_sendButton;
    QPushButton *m_cancelButton;
    Label *m_titleLabel;
    QPointer<QLabel> m_emailFieldLabel;
    QPointer<QLineEdit> m_emailTextField;
    QPointer<QLabel> m_emailFieldHelpLabel;
    QPointer<QCheckBox> m_allowModificationCheckbox;
    QPointer<QFrame> m_topSeparator;
    QPointer<QFrame> m_bottomSeparator;
    QPushButton *m_helpButton;
    SpinningIndicator *m_workingIndicator;
    QPointer<SharingHelpPopover> m_helpPopover;
    QPointer<QMenu> m_sharingMenu;
    QTimer *m_copiedNoticeTimer;
};

} // namespace tanvill
