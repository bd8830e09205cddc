#include "details/AppNotesViewController.h"

#include "core/App.h"
#include "core/ListsController.h"
#include "platform/Strings.h"

#include <QAbstractTextDocumentLayout>
#include <QGuiApplication>
#include <QHideEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTextBlock>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace tanvill {

namespace {

// What the popover's frame and the notes' own margins take from the screen's height.
constexpr int kScreenReserve = 80;

} // namespace

AppNotesViewController::AppNotesViewController(ListsController &lists, QWidget *parent)
    : QWidget(parent), m_lists(lists), m_textView(new QPlainTextEdit(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin, kMargin);
    layout->addWidget(m_textView);
    m_textView->setFrameShape(QFrame::NoFrame);
    m_textView->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    m_textView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_textView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette palette = m_textView->palette();
    palette.setColor(QPalette::Text, Qt::white);
    palette.setColor(QPalette::Base, Qt::transparent);
    m_textView->setPalette(palette);
    QFont font = m_textView->font();
    font.setPixelSize(13);
    m_textView->setFont(font);
    m_textView->setPlaceholderText(Strings::localized(QStringLiteral("None")));
    m_textView->setAccessibleName(Strings::localized(QStringLiteral("Notes")));
    setFixedWidth(kWidth);
    connect(m_textView, &QPlainTextEdit::textChanged, this, [this] { textDidChange(); });
    fitTextViewHeight();
}

AppNotesViewController::~AppNotesViewController()
{
    // Taken down with its window (the application was deleted or archived) while still open.
    if (isVisible())
        finish();
}

void AppNotesViewController::setApp(App *app)
{
    m_app = app;
    m_filling = true;
    m_textView->setPlainText(app ? app->notes().value_or(QString()) : QString());
    m_filling = false;
    m_finished = false;
    fitTextViewHeight();
}

int AppNotesViewController::textViewHeight() const
{
    return m_textView->height();
}

void AppNotesViewController::textDidChange()
{
    // Written at every edit, so that a quit with the popover open keeps the text.
    if (m_app && !m_filling)
        m_app->setNotes(m_textView->toPlainText());
    fitTextViewHeight();
}

void AppNotesViewController::fitTextViewHeight()
{
    QTextDocument *document = m_textView->document();
    qreal textHeight = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next())
        textHeight += document->documentLayout()->blockBoundingRect(block).height();
    const int frame = int(std::ceil(2 * document->documentMargin())) + 2 * m_textView->frameWidth();
    int height = int(std::ceil(textHeight)) + frame;
    // Taller text scrolls inside a popover that fits on the screen.
    const QScreen *screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen)
        height = std::min(
            height,
            std::max(frame + 20,
                     screen->availableGeometry().height() - kScreenReserve - 2 * kMargin));
    m_textView->setFixedHeight(std::max(height, frame + m_textView->fontMetrics().height()));
    adjustSize();
}

void AppNotesViewController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_finished = false;
    m_textView->setFocus();
    m_textView->moveCursor(QTextCursor::End);
    fitTextViewHeight();
}

void AppNotesViewController::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        finish();
}

void AppNotesViewController::finish()
{
    if (m_finished || !m_app)
        return;
    m_finished = true;
    m_app->setNotes(m_textView->toPlainText());
    m_lists.saveWithAsync(true);
}

} // namespace tanvill
