#include "shell/MessageBoxAlertPresenter.h"

#include "controls/MenuItemTitle.h"
#include "controls/SheetFit.h"
#include "controls/WindowPlacement.h"
#include "core/TextLimits.h"
#include "platform/Strings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QRegularExpression>
#include <QScreen>
#include <QTextBoundaryFinder>
#include <QWindow>

#include <algorithm>
#include <limits>

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
// has taken its size (a message box sizes itself as it shows) and until it is on screen.
class ScreenCentring : public QObject
{
public:
    explicit ScreenCentring(QMessageBox *box) : QObject(box) { box->installEventFilter(this); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show && event->type() != QEvent::Resize)
            return false;
        auto *box = qobject_cast<QMessageBox *>(watched);
        if (box && !(box->windowHandle() && box->windowHandle()->isExposed()))
            centreOnScreen(box, screenOfWindow(QApplication::activeWindow()));
        return false;
    }
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
// No alert text is longer: more would never fit a screen.
constexpr qsizetype kMaxAlertTextLength = 2000;

// `text`, or its beginning of `length` characters at most, "…" included, when it is longer.
QString shortened(const QString &text, qsizetype length)
{
    if (text.size() <= length)
        return text;
    return TextLimits::capped(text, length - 1) + QChar(0x2026);
}

// Shortens the box's texts (each cut with "…") until, wrapped at the narrowest width a box
// takes, they leave room for the buttons on the box's screen: a message of any length keeps
// its buttons on screen. The cost depends on the screen, not on the length of the texts. Texts
// that are not there to be copied have their long words shortened first.
void fitTextsToScreen(QMessageBox *box, Alert alert)
{
    const QScreen *screen = box->screen() ? box->screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
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
    const auto fits = [&](qsizetype messageLength, qsizetype informativeLength) {
        return heightOf(messageLabel, shortened(alert.messageText, messageLength))
            + heightOf(informativeLabel, shortened(alert.informativeText, informativeLength))
            <= budget;
    };
    // The longest length that fits, by bisection; one character is always left.
    const auto longestFitting = [](const auto &fitsWithLength) {
        qsizetype low = 1;
        qsizetype high = kMaxAlertTextLength;
        if (fitsWithLength(high))
            return high;
        while (low < high) {
            const qsizetype middle = (low + high + 1) / 2;
            if (fitsWithLength(middle))
                low = middle;
            else
                high = middle - 1;
        }
        return low;
    };
    // The message is kept whole where it can be; the informative text gives way first.
    const qsizetype messageLength
        = longestFitting([&](qsizetype length) { return fits(length, 0); });
    const qsizetype informativeLength
        = longestFitting([&](qsizetype length) { return fits(messageLength, length); });
    box->setText(shortened(alert.messageText, messageLength));
    box->setInformativeText(shortened(alert.informativeText, informativeLength));
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
    fitTextsToScreen(box, alert);
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
    return box;
}

AlertAnswer MessageBoxAlertPresenter::answer(const QMessageBox &box, const Alert &alert)
{
    AlertAnswer answer;
    // Closed without a button (the window's close button): the cancelling one.
    const QAbstractButton *clicked = box.clickedButton();
    answer.buttonIndex = clicked && clicked->property(kButtonIndex).isValid()
        ? clicked->property(kButtonIndex).toInt()
        : alert.cancelButtonIndex();
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
        return { alert.cancelButtonIndex(), false };
    const AlertAnswer result = answer(*box, alert);
    delete box;
    return result;
}

} // namespace tanvill
