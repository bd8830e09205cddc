#include "sharing/ListShareSheet.h"

#include "controls/KeyboardFocus.h"
#include "controls/Label.h"
#include "controls/ModalBackgroundView.h"
#include "core/List.h"
#include "core/SettingsKeys.h"
#include "core/TextLimits.h"
#include "platform/AlertPresenter.h"
#include "platform/Analytics.h"
#include "platform/Clipboard.h"
#include "platform/MainQueue.h"
#include "platform/NetworkFailure.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"
#include "platform/Workspace.h"
#include "sharing/ShareReply.h"
#include "sharing/ShareRequest.h"
#include "sharing/SharingHelpPopover.h"
#include "sharing/SpinningIndicator.h"

#include <QApplication>
#include <QCheckBox>
#include <QDebug>
#include <QGraphicsDropShadowEffect>
#include <QGraphicsOpacityEffect>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QPainter>
#include <QParallelAnimationGroup>
#include <QPropertyAnimation>
#include <QPushButton>
#include <QTimer>

namespace tanvill {

namespace {

int &animationDuration()
{
    static int duration = 250;
    return duration;
}

// The sheet is a light card on the dimmed dark window, whatever the application's palette.
QPalette sheetPalette(QPalette palette)
{
    const QColor text(0x1e, 0x1e, 0x1e);
    for (const QPalette::ColorGroup group : { QPalette::Active, QPalette::Inactive }) {
        palette.setColor(group, QPalette::Window, QColor::fromRgbF(0.94f, 0.94f, 0.94f));
        palette.setColor(group, QPalette::WindowText, text);
        palette.setColor(group, QPalette::Base, Qt::white);
        palette.setColor(group, QPalette::Text, text);
        palette.setColor(group, QPalette::Button, QColor(0xfb, 0xfb, 0xfb));
        palette.setColor(group, QPalette::ButtonText, text);
        palette.setColor(group, QPalette::Highlight, QColor(0x2f, 0x7c, 0xf6));
        palette.setColor(group, QPalette::HighlightedText, Qt::white);
        palette.setColor(group, QPalette::PlaceholderText, QColor(0x8a, 0x8a, 0x8a));
        palette.setColor(group, QPalette::Light, Qt::white);
        palette.setColor(group, QPalette::Midlight, QColor(0xe4, 0xe4, 0xe4));
        palette.setColor(group, QPalette::Mid, QColor(0xb8, 0xb8, 0xb8));
        palette.setColor(group, QPalette::Dark, QColor(0x9a, 0x9a, 0x9a));
        palette.setColor(group, QPalette::Shadow, QColor(0x60, 0x60, 0x60));
    }
    palette.setColor(QPalette::Disabled, QPalette::Window, QColor::fromRgbF(0.94f, 0.94f, 0.94f));
    palette.setColor(QPalette::Disabled, QPalette::Button, QColor(0xf2, 0xf2, 0xf2));
    palette.setColor(QPalette::Disabled, QPalette::Base, QColor(0xf6, 0xf6, 0xf6));
    for (const QPalette::ColorRole role :
         { QPalette::WindowText, QPalette::Text, QPalette::ButtonText })
        palette.setColor(QPalette::Disabled, role, QColor(0xa0, 0xa0, 0xa0));
    return palette;
}

// The round "?" of the form; once it carries a title it is a plain push button.
class HelpButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *event) override
    {
        if (!text().isEmpty()) {
            QPushButton::paintEvent(event);
            return;
        }
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const qreal side = qMin(width(), height()) - 2;
        const QRectF circle((width() - side) / 2, (height() - side) / 2, side, side);
        painter.setPen(QPen(palette().color(QPalette::Mid), 1));
        painter.setBrush(isDown() ? palette().color(QPalette::Midlight)
                                  : palette().color(QPalette::Button));
        painter.drawEllipse(circle);
        QFont glyph = font();
        glyph.setBold(true);
        glyph.setPixelSize(int(side * 0.55));
        painter.setFont(glyph);
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawText(circle, Qt::AlignCenter, QStringLiteral("?"));
    }
};

QFrame *separator(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setFrameShape(QFrame::NoFrame);
    line->setAutoFillBackground(true);
    QPalette colours = line->palette();
    colours.setColor(QPalette::Window, QColor(0xd2, 0xd2, 0xd2));
    line->setPalette(colours);
    return line;
}

// The link as the link bar shows it: without a user part, whose text could pass for another
// host, so that the host the link leads to comes first. Copying and sharing take it whole.
QString displayedLink(const QString &link)
{
    const QUrl url(link, QUrl::StrictMode);
    if (!url.isValid() || url.userInfo().isEmpty())
        return link;
    return url.toString(QUrl::RemoveUserInfo | QUrl::FullyEncoded);
}

Alert warning(const QWidget *sheet, const QString &message, const QString &information = {})
{
    Alert alert;
    // A sheet on the window the list sheet covers.
    alert.window = sheet->window();
    alert.style = Alert::Style::Warning;
    alert.messageText = message;
    alert.informativeText = information;
    alert.buttons = { Strings::localized(QStringLiteral("OK")) };
    return alert;
}

} // namespace

ListShareSheet *ListShareSheet::present(QWidget *window, List *list,
                                        std::function<void()> completion)
{
    Q_ASSERT(window && list);
    QWidget *content = window;
    if (auto *mainWindow = qobject_cast<QMainWindow *>(window);
        mainWindow && mainWindow->centralWidget())
        content = mainWindow->centralWidget();
    auto *sheet = new ListShareSheet;
    sheet->presentInView(content, list, std::move(completion));
    return sheet;
}

ListShareSheet::ListShareSheet(QWidget *parent)
    : QWidget(parent),
      m_sendButton(new QPushButton(Strings::localized(QStringLiteral("ShareSheetPublish")), this)),
      m_cancelButton(new QPushButton(Strings::localized(QStringLiteral("Cancel")), this)),
      m_titleLabel(new Label(this)),
      m_emailFieldLabel(
          new QLabel(Strings::localized(QStringLiteral("ShareSheetEmailLabel")), this)),
      m_emailTextField(new QLineEdit(this)),
      m_emailFieldHelpLabel(
          new QLabel(Strings::localized(QStringLiteral("ShareSheetEmailHelp")), this)),
      m_allowModificationCheckbox(
          new QCheckBox(Strings::localized(QStringLiteral("ShareSheetAllowModification")), this)),
      m_topSeparator(separator(this)), m_bottomSeparator(separator(this)),
      m_helpButton(new HelpButton(this)), m_workingIndicator(new SpinningIndicator(this)),
      m_copiedNoticeTimer(new QTimer(this))
{
    setPalette(sheetPalette(palette()));
    // It holds the keys itself only while its form is gone (setFocus): a click on the card
    // leaves them in the field or on the control that has them.
    setFocusPolicy(Qt::NoFocus);
    QFont base = font();
    base.setPixelSize(13);
    setFont(base);

    QFont titleFont = base;
    titleFont.setBold(true);
    titleFont.setPixelSize(15);
    m_titleLabel->setFont(titleFont);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    QFont small = base;
    small.setPixelSize(11);
    m_emailFieldHelpLabel->setFont(small);
    m_emailFieldHelpLabel->setWordWrap(true);
    m_emailFieldLabel->setWordWrap(true);
    QPalette helpColours = m_emailFieldHelpLabel->palette();
    helpColours.setColor(QPalette::WindowText, QColor(0x5c, 0x5c, 0x5c));
    m_emailFieldHelpLabel->setPalette(helpColours);
    for (QLabel *label : { m_emailFieldLabel.data(), m_emailFieldHelpLabel.data() })
        label->setTextFormat(Qt::PlainText);
    m_emailTextField->setPlaceholderText(QStringLiteral("name@example.com"));
    m_emailTextField->setClearButtonEnabled(true);
    m_allowModificationCheckbox->setText(
        m_allowModificationCheckbox->text().replace(QLatin1Char('&'), QStringLiteral("&&")));
    m_helpButton->setToolTip(Strings::localized(QStringLiteral("ShareSheetHelpTitle")));
    m_helpButton->setFocusPolicy(Qt::TabFocus);
    // The sheet takes the focus only to hold the keys while its form is gone.
    setShowsFocusRing(this, false);
    m_sendButton->setDefault(true);
    // Tab follows the form down and then the buttons from left to right.
    setTabOrder(m_emailTextField, m_allowModificationCheckbox);
    setTabOrder(m_allowModificationCheckbox, m_helpButton);
    setTabOrder(m_helpButton, m_cancelButton);
    setTabOrder(m_cancelButton, m_sendButton);
    m_workingIndicator->setFixedSize(m_workingIndicator->sizeHint());
    m_workingIndicator->hide();

    connect(m_emailTextField, &QLineEdit::textChanged, this, &ListShareSheet::controlTextDidChange);
    connect(m_sendButton, &QPushButton::clicked, this, [this] {
        if (m_state == State::Done)
            cancel(m_sendButton);
        else
            share();
    });
    connect(m_cancelButton, &QPushButton::clicked, this, [this] {
        if (m_state == State::Done)
            copyLink();
        else
            cancel(m_cancelButton);
    });
    // In Done the menu opens while the button is held, as a sharing picker does.
    connect(m_helpButton, &QPushButton::pressed, this, [this] {
        if (m_state == State::Done)
            shareLink();
    });
    connect(m_helpButton, &QPushButton::clicked, this, [this] {
        if (m_state == State::Done)
            return;
        if (m_helpPopover)
            m_helpPopover->close();
        else
            showHelp();
    });
    // "Copied" stands on the Copy button for a moment after each copy.
    m_copiedNoticeTimer->setSingleShot(true);
    connect(m_copiedNoticeTimer, &QTimer::timeout, this, [this] {
        if (m_state == State::Done)
            m_cancelButton->setText(Strings::localized(QStringLiteral("Copy")));
    });

    auto *shadow = new QGraphicsDropShadowEffect(this);
    shadow->setOffset(0, 0);
    shadow->setBlurRadius(10);
    shadow->setColor(QColor::fromRgbF(0, 0, 0, 0.75));
    setGraphicsEffect(shadow);
    resize(kWidth, layoutForm(kWidth, false));
    layoutControls();
}

ListShareSheet::~ListShareSheet()
{
    if (m_requestId != 0)
        HttpClient::shared().cancel(m_requestId);
    // Gone with its window before it was dismissed: the caller still hears of it, once.
    if (const std::function<void()> completion = std::exchange(m_completionHandler, nullptr))
        completion();
    if (m_helpPopover)
        m_helpPopover->close();
    if (m_sharingMenu)
        m_sharingMenu->deleteLater();
}

void ListShareSheet::setAnimationDuration(int milliseconds)
{
    animationDuration() = qMax(0, milliseconds);
}

void ListShareSheet::presentInView(QWidget *parentView, List *list,
                                   std::function<void()> completion)
{
    Q_ASSERT(parentView && list && !m_backgroundView);
    m_list = list;
    m_completionHandler = std::move(completion);
    m_focusReturn.keep(parentView->window());

    m_backgroundView = new ModalBackgroundView(parentView);
    m_backgroundOpacity = new QGraphicsOpacityEffect(m_backgroundView);
    m_backgroundOpacity->setOpacity(0);
    m_backgroundView->setGraphicsEffect(m_backgroundOpacity);
    m_backgroundView->installEventFilter(this);

    m_titleLabel->setStringValue(
        Strings::localizedFormat(QStringLiteral("ShareSheetTitle"), { list->name() }));

    setParent(m_backgroundView);
    m_verticalOffset = -parentView->height();
    reposition();
    show();
    m_backgroundView->show();
    m_backgroundView->raise();
    m_emailTextField->setFocus();

    animate(1.0, 0.0, [this] {
        // Drawn straight once it is in; the fade out brings a new effect.
        if (m_backgroundView)
            m_backgroundView->setGraphicsEffect(nullptr);
    });
    viewDidAppear();
}

void ListShareSheet::viewDidAppear()
{
    if (UserDefaults::standard().boolean(SettingsKeys::HasSeenListSharingInfo))
        return;
    delay(0.25, [self = QPointer<ListShareSheet>(this)] {
        if (self && self->m_state == State::Preparing && !self->m_dismissing)
            self->showHelp(true);
    });
}

void ListShareSheet::showHelp(bool byItself)
{
    if (m_helpPopover)
        return;
    m_helpPopover = new SharingHelpPopover(this);
    // It tells about the form; pointing at its button, it leaves the form and its buttons in
    // sight where the screen has the room. Opening by itself, it waits for a sheet that has
    // the room (the window elsewhere, a larger screen) rather than cover them: the help button
    // gives it meanwhile.
    if (!m_helpPopover->showBeside(m_helpButton,
                                   { m_emailFieldLabel, m_emailTextField, m_emailFieldHelpLabel,
                                     m_allowModificationCheckbox, m_cancelButton, m_sendButton },
                                   byItself)) {
        delete m_helpPopover;
        return;
    }
    UserDefaults::standard().setValue(SettingsKeys::HasSeenListSharingInfo, true);
}

void ListShareSheet::controlTextDidChange()
{
    if (m_state != State::Preparing || !m_emailTextField)
        return;
    const QString text = m_emailTextField->text();
    m_sendButton->setEnabled(text.isEmpty() || isAcceptableEmailAddress(text));
}

void ListShareSheet::share()
{
    if (m_state != State::Preparing || m_dismissing || !m_list || !m_sendButton->isEnabled())
        return;
    setState(State::Working);

    const ShareRequest request = ShareRequest::forList(*m_list, m_emailTextField->text(),
                                                       m_allowModificationCheckbox->isChecked());
    const QUrl url = ShareRequest::serviceUrl();
    if (!url.isValid()) {
        setState(State::Preparing);
        AlertPresenter::current().runModal(
            warning(this, Strings::localized(QStringLiteral("SharingServiceUnavailable"))));
        return;
    }
    const bool sentAffiliateToken = request.affiliateToken.has_value();
    HttpRequestOptions options;
    options.context = this;
    // The body is sent as it is, with the content type a plain POST gets.
    m_requestId = HttpClient::shared().post(
        url, request.body(),
        [this, sentAffiliateToken](const HttpResult &result) {
            m_requestId = 0;
            handleShareResponse(result, sentAffiliateToken);
        },
        options, QByteArrayLiteral("application/x-www-form-urlencoded"));
}

void ListShareSheet::handleShareResponse(const HttpResult &result, bool sentAffiliateToken)
{
    if (result.statusCode == 0 && result.transferFailed()) {
        setState(State::Preparing);
        const Error error = networkFailureError(
            result, Strings::localized(QStringLiteral("SharingServiceUnreachable")),
            TextLimits::capped(result.errorText, TextLimits::kMessage),
            Strings::localized(QStringLiteral("ShareFailedSuggestion")));
        AlertPresenter::current().runModal(
            warning(this, error.description, error.recoverySuggestion));
        return;
    }
    const ShareReply reply = ShareReply::parse(result.statusCode, result.body);
    switch (reply.kind) {
    case ShareReply::Kind::Link:
        setState(State::Done, reply.text);
        Analytics::shared().track(
            QStringLiteral("Share List"),
            { { QStringLiteral("useOwnAffiliateToken"), sentAffiliateToken } });
        break;
    case ShareReply::Kind::ServiceError:
        setState(State::Preparing);
        AlertPresenter::current().runModal(warning(this, reply.text));
        break;
    case ShareReply::Kind::Unreadable:
        setState(State::Preparing);
        AlertPresenter::current().runModal(
            warning(this, Strings::localized(QStringLiteral("UnknownError"))));
        break;
    }
}

void ListShareSheet::cancel(QAbstractButton *sender)
{
    if (m_dismissing || m_state == State::Working)
        return;
    m_dismissing = true;
    if (sender)
        sender->setEnabled(false);
    if (m_helpPopover)
        m_helpPopover->close();
    if (m_backgroundView) {
        m_backgroundOpacity = new QGraphicsOpacityEffect(m_backgroundView);
        m_backgroundView->setGraphicsEffect(m_backgroundOpacity);
    }
    const qreal above = m_backgroundView ? -m_backgroundView->height() : 0;
    animate(0.0, above, [self = QPointer<ListShareSheet>(this)] {
        if (!self)
            return;
        const std::function<void()> completion = std::exchange(self->m_completionHandler, nullptr);
        self->m_focusReturn.giveBack();
        if (self->m_backgroundView) {
            self->m_backgroundView->hide();
            // The sheet goes with its background.
            self->m_backgroundView->deleteLater();
        }
        if (completion)
            completion();
    });
}

void ListShareSheet::copyLink()
{
    if (m_state != State::Done) {
        qInfo("No link to copy!");
        return;
    }
    Clipboard::setText(m_link);
    m_cancelButton->setText(Strings::localized(QStringLiteral("Copied")));
    m_copiedNoticeTimer->start(animationDuration() == 0 ? 0 : kCopiedNoticeMilliseconds);
}

void ListShareSheet::shareLink()
{
    if (m_state != State::Done) {
        qInfo("No link to share!");
        return;
    }
    if (m_sharingMenu)
        m_sharingMenu->deleteLater();
    m_sharingMenu = new QMenu(this);
    m_sharingMenu->addAction(Strings::localized(QStringLiteral("Copy Link")), this,
                             &ListShareSheet::copyLink);
    m_sharingMenu->addAction(Strings::localized(QStringLiteral("Email Link…")), this, [this] {
        const QString subject = Strings::localizedFormat(QStringLiteral("ShareSheetMailSubject"),
                                                         { m_list ? m_list->name() : QString() });
        const QUrl mail = QUrl::fromEncoded("mailto:?subject=" + QUrl::toPercentEncoding(subject)
                                            + "&body=" + QUrl::toPercentEncoding(m_link));
        Workspace::shared().openURL(mail);
    });
    // The help button is down while the menu opens; it must come up again.
    connect(m_sharingMenu, &QMenu::aboutToHide, m_helpButton,
            [button = m_helpButton] { button->setDown(false); });
    m_sharingMenu->popup(m_helpButton->mapToGlobal(QPoint(0, m_helpButton->height() + 2)));
}

void ListShareSheet::setState(State state, const QString &link)
{
    const State previous = m_state;
    if (previous == state && (state != State::Done || link == m_link))
        return;
    m_state = state;
    m_link = link;
    applyState(previous);
    emit stateChanged(state);
}

void ListShareSheet::applyState(State previous)
{
    const QList<QWidget *> form { m_emailFieldLabel, m_emailTextField, m_emailFieldHelpLabel,
                                  m_allowModificationCheckbox };
    // The help is about the form; it goes with it.
    if (m_state != State::Preparing && m_helpPopover)
        m_helpPopover->close();
    if (previous == State::Preparing && m_state == State::Working) {
        // The form keeps what was typed for a second try. The sheet waits for the answer: a
        // request left behind could still publish the list.
        for (QWidget *widget : form + QList<QWidget *> { m_cancelButton })
            widget->hide();
        m_sendButton->setEnabled(false);
        m_workingIndicator->show();
        m_workingIndicator->startAnimation();
        setFocus();
    } else if (previous == State::Working && m_state == State::Preparing) {
        for (QWidget *widget : form + QList<QWidget *> { m_cancelButton })
            widget->show();
        m_sendButton->setEnabled(true);
        controlTextDidChange();
        m_workingIndicator->stopAnimation();
        m_workingIndicator->hide();
        m_emailTextField->setFocus();
    } else if (previous == State::Working && m_state == State::Done) {
        for (QWidget *widget : form + QList<QWidget *> { m_topSeparator, m_bottomSeparator }) {
            widget->hide();
            widget->deleteLater();
        }
        m_sendButton->setEnabled(true);
        m_sendButton->setText(Strings::localized(QStringLiteral("Done")));
        m_helpButton->setText(Strings::localized(QStringLiteral("Share")));
        m_helpButton->setToolTip(QString());
        m_helpButton->show();
        m_cancelButton->setText(Strings::localized(QStringLiteral("Copy")));
        m_cancelButton->show();
        m_workingIndicator->stopAnimation();
        m_workingIndicator->hide();
        m_titleLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        QFont linkFont = m_titleLabel->font();
        linkFont.setBold(false);
        linkFont.setPixelSize(13);
        m_titleLabel->setFont(linkFont);
        m_titleLabel->setStringValue(displayedLink(m_link));
        m_titleLabel->setToolTip(m_link);
        setFocus();

        if (animationDuration() > 0) {
            m_heightAnimation = new QPropertyAnimation(this, "sheetHeight", this);
            m_heightAnimation->setDuration(animationDuration());
            m_heightAnimation->setEasingCurve(QEasingCurve::InOutQuad);
            m_heightAnimation->setEndValue(linkBarHeight(sheetWidth()));
            m_heightAnimation->start(QAbstractAnimation::DeleteWhenStopped);
        }
    }
    reposition();
}

void ListShareSheet::animate(qreal backgroundOpacity, qreal offset, std::function<void()> done)
{
    if (animationDuration() == 0) {
        if (m_backgroundOpacity)
            m_backgroundOpacity->setOpacity(backgroundOpacity);
        setVerticalOffset(offset);
        done();
        return;
    }
    auto *group = new QParallelAnimationGroup(this);
    if (m_backgroundOpacity) {
        auto *fade = new QPropertyAnimation(m_backgroundOpacity, "opacity", group);
        fade->setDuration(animationDuration());
        fade->setEndValue(backgroundOpacity);
        group->addAnimation(fade);
    }
    auto *slide = new QPropertyAnimation(this, "verticalOffset", group);
    slide->setDuration(animationDuration());
    slide->setEasingCurve(QEasingCurve::OutCubic);
    slide->setEndValue(offset);
    group->addAnimation(slide);
    connect(group, &QAbstractAnimation::finished, this, std::move(done));
    group->start(QAbstractAnimation::DeleteWhenStopped);
}

void ListShareSheet::setVerticalOffset(qreal offset)
{
    m_verticalOffset = offset;
    reposition();
}

void ListShareSheet::setSheetHeight(int height)
{
    m_sheetHeight = height;
    reposition();
}

int ListShareSheet::sheetWidth() const
{
    const QWidget *background = parentWidget();
    if (!background)
        return kWidth;
    // As wide as the form wants, never wider than the window leaves room for.
    return std::clamp(background->width() - 2 * kWindowMargin, kMinimumWidth, kWidth);
}

int ListShareSheet::targetHeight(int width) const
{
    return m_state == State::Done ? linkBarHeight(width) : layoutForm(width, false);
}

int ListShareSheet::linkBarHeight(int width)
{
    // The link and its three buttons share a row when the link keeps room to be read.
    return width >= kOneRowLinkBarWidth ? kLinkBarHeight : kTwoRowLinkBarHeight;
}

void ListShareSheet::reposition()
{
    const QWidget *background = parentWidget();
    if (!background)
        return;
    const int width = sheetWidth();
    if (!m_heightAnimation)
        m_sheetHeight = targetHeight(width);
    const int x = (background->width() - width) / 2;
    const int centred = qRound((background->height() - m_sheetHeight) / 2.0 + m_verticalOffset);
    // A window too low for the sheet shows its top; the sheet is laid out to fit the smallest.
    const int y = m_verticalOffset < 0 ? centred : std::max(0, centred);
    setGeometry(x, y, width, m_sheetHeight);
    layoutControls();
}

int ListShareSheet::layoutForm(int width, bool apply) const
{
    constexpr int margin = 20;
    const int inner = width - 2 * margin;
    const auto place = [apply](QWidget *widget, int x, int y, int w, int h) {
        if (apply && widget)
            widget->setGeometry(x, y, w, h);
    };
    const auto wrappedHeight = [inner](const QLabel *label, int least) {
        return label ? std::max(least, label->heightForWidth(inner)) : least;
    };
    place(m_titleLabel, margin, 16, inner, 24);
    place(m_topSeparator, 0, 54, width, 1);
    int y = 68;
    const int captionHeight = wrappedHeight(m_emailFieldLabel, 18);
    place(m_emailFieldLabel, margin, y, inner, captionHeight);
    y += captionHeight + 4;
    place(m_emailTextField, margin, y, inner, 28);
    y += 31;
    const int helpHeight = wrappedHeight(m_emailFieldHelpLabel, 30);
    place(m_emailFieldHelpLabel, margin, y, inner, helpHeight);
    y += helpHeight + 5;
    place(m_allowModificationCheckbox, margin, y, inner, 22);
    y += 38;
    const int bottomSeparator = y;
    place(m_bottomSeparator, 0, y, width, 1);
    y += 13;
    // The help button at the left; Cancel and the send button at the right, narrower where
    // the sheet is.
    place(m_helpButton, margin, y, 30, 30);
    const int room = inner - 30 - 16 - 10;
    const int sendWidth = std::min(110, room - std::min(96, room / 2));
    const int cancelWidth = std::min(96, room - sendWidth);
    place(m_sendButton, width - margin - sendWidth, y, sendWidth, 30);
    place(m_cancelButton, width - margin - sendWidth - 10 - cancelWidth, y, cancelWidth, 30);
    if (apply) {
        const QSize spinner = m_workingIndicator->size();
        m_workingIndicator->move((width - spinner.width()) / 2,
                                 54 + (bottomSeparator - 54 - spinner.height()) / 2);
    }
    return y + 30 + 13;
}

void ListShareSheet::layoutControls()
{
    const int width = this->width();
    if (m_state != State::Done) {
        layoutForm(width, true);
        return;
    }
    constexpr int margin = 20;
    const int inner = width - 2 * margin;
    // Wide: the link and its buttons on one row. Narrow: the link on a row of its own, the
    // buttons below it at the right.
    const bool oneRow = width >= kOneRowLinkBarWidth;
    const int buttonWidth = oneRow ? 84 : std::min(84, (inner - 20) / 3);
    const int buttonsTop = oneRow ? 20 : 50;
    const int doneX = width - margin - buttonWidth;
    const int copyX = doneX - 12 - buttonWidth;
    const int shareX = copyX - 8 - buttonWidth;
    m_sendButton->setGeometry(doneX, buttonsTop, buttonWidth, 30);
    m_cancelButton->setGeometry(copyX, buttonsTop, buttonWidth, 30);
    m_helpButton->setGeometry(shareX, buttonsTop, buttonWidth, 30);
    if (oneRow)
        m_titleLabel->setGeometry(margin, 23, shareX - 16 - margin, 24);
    else
        m_titleLabel->setGeometry(margin, 14, inner, 24);
}

void ListShareSheet::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::Window));
    painter.drawRoundedRect(QRectF(rect()), 5, 5);
}

bool ListShareSheet::focusNextPrevChild(bool next)
{
    // Tab goes round the sheet's controls, never to the window under the dimming.
    QWidget *candidate = QApplication::focusWidget();
    if (!candidate || !isAncestorOf(candidate))
        candidate = this;
    // The sheet itself takes the focus only while its form is gone, never by Tab.
    for (QWidget *start = candidate;;) {
        candidate = next ? candidate->nextInFocusChain() : candidate->previousInFocusChain();
        if (candidate == start)
            return true;
        if (candidate != this && isAncestorOf(candidate) && candidate->isVisibleTo(this)
            && candidate->isEnabled() && (candidate->focusPolicy() & Qt::TabFocus)) {
            candidate->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
            return true;
        }
    }
}

void ListShareSheet::keyPressEvent(QKeyEvent *event)
{
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    switch (event->key()) {
    case Qt::Key_Escape:
        cancel(m_state == State::Done ? m_sendButton : m_cancelButton);
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (m_state == State::Done)
            cancel(m_sendButton);
        else
            share();
        return;
    case Qt::Key_S:
        if (m_state == State::Done && plain) {
            shareLink();
            return;
        }
        break;
    case Qt::Key_C:
        if (m_state == State::Done && plain) {
            copyLink();
            return;
        }
        break;
    default:
        break;
    }
    QWidget::keyPressEvent(event);
}

bool ListShareSheet::eventFilter(QObject *watched, QEvent *event)
{
    // The background is compared as the sheet's parent: while it is being destroyed it is no
    // longer a ModalBackgroundView, and a QPointer to one must not be read then.
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        reposition();
    return QWidget::eventFilter(watched, event);
}

} // namespace tanvill
