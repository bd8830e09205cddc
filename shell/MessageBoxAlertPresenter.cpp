#include "shell/MessageBoxAlertPresenter.h"

#include "controls/MenuItemTitle.h"
#include "controls/SheetFit.h"
#include "controls/WindowPlacement.h"
#include "core/TextLimits.h"
#include "platform/Strings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <QWindow>

#include <algorithm>
#include <limits>
#include <optional>

namespace tanvill {

namespace {

constexpr char kButtonIndex[] = "alertButtonIndex";

QMessageBox::Icon iconFor(Alert::Style style)
{
    switch (style) {
    case Alert::Style::Informational:
        return QMessageBox::Information;
    case Alert::Style::Warning:
        return QMessageBox::Warning;
    case Alert::Style::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::Warning;
}

// The window the alert is a sheet on, if it can be one: a window on screen. An alert whose
// window has closed (or was never shown) opens on its own rather than over nothing at the
// screen's corner; one over another alert goes to that alert's window, as the alert under it
// goes once answered and would take its children with it.
QWidget *windowOf(const Alert &alert)
{
    auto *widget = qobject_cast<QWidget *>(alert.window.data());
    QWidget *window = widget ? widget->window() : nullptr;
    while (qobject_cast<QMessageBox *>(window))
        window = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    if (window && (!window->isVisible() || window->isMinimized()))
        return nullptr;
    return window;
}

// Centres a box without a window on the screen the user works on, its frame included, once it
// has taken its size, and again whenever it takes another: a message box sizes itself as it
// shows, and may again once on screen (its texts settle), while the user cannot resize it.
class ScreenCentring : public QObject
{
public:
    explicit ScreenCentring(QMessageBox *box) : QObject(box) { box->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (!box || (event->type() != QEvent::Show && event->type() != QEvent::Resize))
            return false;
        if (event->type() == QEvent::Show)
            m_screen = screenOfWindow(QApplication::activeWindow());
        centreOnScreen(box, m_screen);
        return false;
    }

private:
    // The screen the user worked on when it showed.
    QPointer<QScreen> m_screen;
};

// A word (a run of text that cannot wrap) no shorter than this may be too wide for a box.
constexpr qsizetype kLongWordLength = 20;

// `text` with every word too wide for a box (a long name without spaces) shortened in the
// middle, as menus shorten names, so that the text wraps inside the box and ends as written.
QString withLongWordsShortened(const QString &text, const QFont &font)
{
    QString shown;
    QTextBoundaryFinder lines(QTextBoundaryFinder::Line, text);
    qsizetype start = 0;
    for (qsizetype end = lines.toNextBoundary(); end != -1; end = lines.toNextBoundary()) {
        qsizetype wordEnd = end;
        while (wordEnd > start && text[wordEnd - 1].isSpace())
            --wordEnd;
        const QString word = text.mid(start, wordEnd - start);
        shown += word.size() >= kLongWordLength ? elidedName(word, font) : word;
        shown += text.mid(wordEnd, end - wordEnd);
        start = end;
    }
    return shown + text.mid(start);
}

// Whether `text` names a file by its absolute path ("/home/…/Tanvill.unsaved-…"): one the
// user is told to find or use, so the alert shows it whole and lets it be copied.
bool namesFile(const QString &text)
{
    static const QRegularExpression path(
        QStringLiteral(R"((?:^|[\s"'(\[\x{201C}\x{2018}])~?/[^\s/]+/\S)"));
    return path.match(text).hasMatch();
}

// What a box needs besides its texts: title bar, margins, buttons, the suppression box.
constexpr int kAlertChromeHeight = 220;
// No alert text is longer: more would never fit a screen, and one that scrolls would never be
// read (a hundred links the store does not answer for, each named, take less).
constexpr qsizetype kMaxAlertTextLength = 2000;
constexpr qsizetype kMaxScrolledTextLength = 8000;

// `text`, or its beginning of `length` characters at most, "…" included, when it is longer.
QString shortened(const QString &text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    return TextLimits::capped(text, length - 1) + QChar(0x2026);
}

// The least height the informative text scrolls in, in its lines.
constexpr int kMinScrolledLines = 4;

// Shows the box's informative text in an area of `size` that scrolls, wrapped at its width. A
// label of its own: the box sizes its label as if it showed it all. Done last: a message box
// lays itself out anew as parts (the check box) are added.
void scrollInformativeText(QMessageBox *box, QSize size)
{
    auto *grid = qobject_cast<QGridLayout *>(box->layout());
    auto *boxLabel = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
    if (!grid || !boxLabel)
        return;
    auto *label = new QLabel(boxLabel->text());
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFont(boxLabel->font());
    label->setTextInteractionFlags(boxLabel->textInteractionFlags());
    label->setFocusPolicy(boxLabel->focusPolicy());
    auto *area = new QScrollArea(box);
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->viewport()->setAutoFillBackground(false);
    // The scroll bar shows over the text's right margin, not over its words.
    const int bar = area->verticalScrollBar()->sizeHint().width();
    label->setContentsMargins(0, 0, bar, 0);
    area->setFixedSize(size.width() + bar, size.height());
    area->setWidget(label);
    delete grid->replaceWidget(boxLabel, area);
    boxLabel->hide();
}

// Fits the box's texts, wrapped at the narrowest width a box takes, to its screen with room for
// its buttons: a message of any length keeps its buttons on screen. The message is kept whole
// where it can be and is otherwise cut with "…"; the informative text below it is kept whole
// (up to what any alert says) and scrolls where the screen is too short for it. The cost
// depends on the screen, not on the length of the texts. Texts that are not there to be copied
// have their long words shortened first. The size the informative text is to scroll in, if it
// is to.
std::optional<QSize> fitTextsToScreen(QMessageBox *box, Alert alert)
{
    const QScreen *screen = box->screen() ? box->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return std::nullopt;
    const QRect available = screen->availableGeometry();
    // A box that wraps its texts is about half the screen wide, at most 500 pixels, and a
    // sheet no wider than its window; its icon and margins take the rest.
    int boxWidth = std::min(available.width() / 2, 500);
    if (const QWidget *parent = box->parentWidget())
        boxWidth = std::min(boxWidth, parent->window()->width());
    const int width = std::max(100, boxWidth - 120);
    const int budget = std::max(0, available.height() - kAlertChromeHeight);
    auto *messageLabel = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"));
    auto *informativeLabel = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel"));
    if (!alert.selectableText) {
        // Only so much is ever shown: words beyond that need no shortening.
        const auto shortenWords = [](const QString &text, const QLabel *label) {
            return label ? withLongWordsShortened(TextLimits::capped(text, 4 * kMaxAlertTextLength),
                                                  label->font())
                         : text;
        };
        alert.messageText = shortenWords(alert.messageText, messageLabel);
        alert.informativeText = shortenWords(alert.informativeText, informativeLabel);
    }
    const auto heightOf = [width](const QLabel *label, const QString &text) {
        if (!label || text.isEmpty())
            return 0;
        return QFontMetrics(label->font())
            .boundingRect(QRect(0, 0, width, std::numeric_limits<int>::max() / 2), Qt::TextWordWrap,
                          text)
            .height();
    };
    const QString informative = shortened(alert.informativeText, kMaxScrolledTextLength);
    const int informativeHeight = heightOf(informativeLabel, informative);
    const int scrolledHeight = informativeLabel && !informative.isEmpty()
        ? std::min(informativeHeight,
                   kMinScrolledLines * QFontMetrics(informativeLabel->font()).lineSpacing())
        : 0;
    // The longest message that leaves the informative text its least room, by bisection; one
    // character is always left.
    const auto fits = [&](qsizetype length) {
        return heightOf(messageLabel, shortened(alert.messageText, length)) + scrolledHeight
            <= budget;
    };
    qsizetype messageLength = kMaxAlertTextLength;
    if (!fits(messageLength)) {
        qsizetype low = 1;
        while (low < messageLength) {
            const qsizetype middle = (low + messageLength + 1) / 2;
            if (fits(middle))
                low = middle;
            else
                messageLength = middle - 1;
        }
    }
    const QString message = shortened(alert.messageText, messageLength);
    box->setText(message);
    box->setInformativeText(informative);
    const int room = std::max(scrolledHeight, budget - heightOf(messageLabel, message));
    if (informativeHeight <= room)
        return std::nullopt;
    return QSize(width, room);
}

} // namespace

QMessageBox *MessageBoxAlertPresenter::messageBox(const Alert &givenAlert)
{
    Alert alert = givenAlert;
    if (namesFile(alert.messageText) || namesFile(alert.informativeText))
        alert.selectableText = true;
    QWidget *window = windowOf(alert);
    auto *box = new QMessageBox(window);
    box->setWindowModality(window && !alert.blocksApplication ? Qt::WindowModal
                                                              : Qt::ApplicationModal);
    // A sheet never wider than its window; an alert of its own in the middle of the screen.
    if (window)
        keepSheetInsideWindow(box);
    else
        new ScreenCentring(box);
    box->setIcon(iconFor(alert.style));
    box->setTextFormat(Qt::PlainText);
    box->setText(alert.messageText);
    box->setInformativeText(alert.informativeText);
    // The message stands out above the informative text, as on every desktop's alerts.
    if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_label"))) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    // The informative text has a label of its own, which does not follow the box's format.
    if (auto *label = box->findChild<QLabel *>(QStringLiteral("qt_msgbox_informativelabel")))
        label->setTextFormat(Qt::PlainText);
    const std::optional<QSize> scrolled = fitTextsToScreen(box, alert);
    if (alert.selectableText) {
        // By the keyboard too: Tab reaches the texts, Ctrl+A and Ctrl+C copy them. The icon is
        // no stop on the way.
        for (QLabel *label : box->findChildren<QLabel *>()) {
            if (label->text().isEmpty())
                continue;
            label->setTextInteractionFlags(Qt::TextSelectableByMouse
                                           | Qt::TextSelectableByKeyboard);
            // A label takes Tab only for its links of its own accord.
            label->setFocusPolicy(Qt::StrongFocus);
        }
    }

    const QStringList titles = alert.buttons.isEmpty()
        ? QStringList { Strings::localized(QStringLiteral("OK")) }
        : alert.buttons;
    const int cancel = alert.cancelButtonIndex();
    for (int index = 0; index < titles.size(); ++index) {
        QMessageBox::ButtonRole role = QMessageBox::ActionRole;
        if (index == cancel && titles.size() > 1)
            role = QMessageBox::RejectRole;
        else if (index == 0)
            role = QMessageBox::AcceptRole;
        // A title is the alert's text, never a mnemonic.
        QString title = titles[index];
        title.replace(QLatin1Char('&'), QStringLiteral("&&"));
        QPushButton *button = box->addButton(title, role);
        button->setProperty(kButtonIndex, index);
        if (index == 0)
            box->setDefaultButton(button);
        if (index == cancel)
            box->setEscapeButton(button);
    }
    if (alert.showsSuppressionButton)
        box->setCheckBox(new QCheckBox(
            Strings::localized(QStringLiteral("Do not show this message again")), box));
    if (scrolled)
        scrollInformativeText(box, *scrolled);
    return box;
}

AlertAnswer MessageBoxAlertPresenter::answer(const QMessageBox &box, const Alert &alert)
{
    // Closed by the window's close button or Escape, the box has its cancelling button
    // clicked. No button at all: its loop ended without the user (a logout, the event loop
    // quitting).
    const QAbstractButton *clicked = box.clickedButton();
    if (!clicked || !clicked->property(kButtonIndex).isValid())
        return AlertAnswer::unanswered(alert);
    AlertAnswer answer;
    answer.buttonIndex = clicked->property(kButtonIndex).toInt();
    answer.suppressionChecked = box.checkBox() && box.checkBox()->isChecked();
    return answer;
}

void MessageBoxAlertPresenter::presentError(const Error &error, QObject *window,
                                            Completion completion)
{
    present(alertForError(error, window), std::move(completion));
}

void MessageBoxAlertPresenter::present(const Alert &alert, Completion completion)
{
    QMessageBox *box = messageBox(alert);
    box->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(box, &QDialog::finished, box,
                     [box, alert, completion = std::move(completion)] {
                         if (completion)
                             completion(answer(*box, alert));
                     });
    box->show();
}

AlertAnswer MessageBoxAlertPresenter::runModal(const Alert &alert)
{
    QMessageBox *box = messageBox(alert);
    // The box may lose its window while it runs; only a box still there is read and deleted.
    QPointer<QMessageBox> guard(box);
    box->exec();
    if (!guard)
        return AlertAnswer::unanswered(alert);
    const AlertAnswer result = answer(*box, alert);
    delete box;
    return result;
}

} // namespace tanvill
