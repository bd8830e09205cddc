#include "lists/HeaderViewController.h"

#include "controls/AppShell.h"
#include "controls/ColoredView.h"
#include "controls/Images.h"
#include "controls/ImplicitButton.h"
#include "controls/Label.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "core/ListsControllerNotifications.h"
#include "core/PriceTotals.h"
#include "lists/HeaderButton.h"
#include "lists/ListEditor.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"

#include <QFocusEvent>
#include <QKeySequence>
#include <QTimer>

static void initListImages()
{
    Q_INIT_RESOURCE(tanvill_lists_images);
}

namespace tanvill {

namespace {

constexpr int kSideMargin = 14;
constexpr int kDetailHeight = 18;
// The strip at the bottom where the pager draws its page dots.
constexpr int kDotStrip = 18;

// The drawing tinted with the list's dark colour, faded when asked.
QPixmap buttonImage(const QString &name, const QColor &tint, qreal alpha, qreal ratio)
{
    const QSize side(HeaderButton::kImageSide, HeaderButton::kImageSide);
    const QPixmap drawing = Images::pixmap(name, side, ratio);
    if (drawing.isNull())
        return {};
    const QPixmap tinted = tintedImageWithColor(drawing, tint);
    return alpha < 1.0 ? imageWithAlpha(tinted, alpha) : tinted;
}

} // namespace

HeaderViewController::HeaderViewController(ListsController &lists, QWidget *parent)
    : QWidget(parent), m_lists(lists)
{
    initListImages();
    m_backgroundView = new ColoredView(this);
    m_nameImplicitControl = new ImplicitButton(this);
    m_nameImplicitControl->setCursor(Qt::PointingHandCursor);
    m_detailLabel = new Label(this);
    m_detailLabel->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    QFont detailFont = m_detailLabel->font();
    detailFont.setPixelSize(12);
    m_detailLabel->setFont(detailFont);
    m_shareButton = new HeaderButton(this);
    m_shareButton->setToolTip(Strings::localized(QStringLiteral("Share List")));
    m_shareButton->setAccessibleName(m_shareButton->toolTip());
    m_preferencesButton = new HeaderButton(this);
    m_preferencesButton->setToolTip(Strings::localized(QStringLiteral("Preferences")));
    m_preferencesButton->setAccessibleName(m_preferencesButton->toolTip());
    setHoverButtonsVisible(false);
    for (QWidget *control :
         { static_cast<QWidget *>(m_nameImplicitControl), static_cast<QWidget *>(m_shareButton),
           static_cast<QWidget *>(m_preferencesButton) })
        control->installEventFilter(this);

    connect(m_nameImplicitControl, &QAbstractButton::clicked, this,
            &HeaderViewController::editList);
    connect(m_shareButton, &QAbstractButton::clicked, this, &HeaderViewController::shareList);
    connect(m_preferencesButton, &QAbstractButton::clicked, this,
            &HeaderViewController::openPreferences);
    setUpObservers();
}

HeaderViewController::~HeaderViewController()
{
    // A page that goes while its editor is open closes it first, so that the editor's end
    // (saving, the List menu item) still reaches this page.
    if (m_editor)
        m_editor->close();
}

ListEditor *HeaderViewController::listEditor() const
{
    return m_editor.data();
}

void HeaderViewController::setUpObservers()
{
    NotificationCenter &center = NotificationCenter::defaultCenter();
    center.addObserver(
        ListsControllerDidUpdateList, this,
        [this](const Notification &notification) {
            const std::optional<ListUpdate> update
                = ListUpdate::fromUserInfo(notification.userInfo);
            if (!m_list || !update || update->listIndex != m_list->index())
                return;
            updateDetail();
            updateShareButton();
        },
        &m_lists);
    // Prices may have changed with any refresh.
    center.addObserver(
        ListsControllerDidReloadApps, this, [this](const Notification &) { updateDetail(); },
        &m_lists);
}

QString HeaderViewController::detailString() const
{
    if (!m_list)
        return {};
    const qsizetype count = qsizetype(m_list->apps().size());
    const QString word
        = Strings::localized(count == 1 ? QStringLiteral("app") : QStringLiteral("apps"));
    return QStringLiteral("%1 %2 - %3")
        .arg(count)
        .arg(
            word,
            localizedPriceTotalString(PriceTotals(m_list->apps(), CurrencyOrder::ofChosenStore())));
}

void HeaderViewController::refreshHeader()
{
    if (!m_list)
        return;
    const Theme theme = m_list->theme();
    const QColor dark = theme.darkColor();
    m_nameImplicitControl->setTintColor(dark);
    m_detailLabel->setStringValue(detailString());
    QPalette palette = m_detailLabel->palette();
    palette.setColor(QPalette::WindowText, dark);
    m_detailLabel->setPalette(palette);
    m_backgroundView->setColor(theme.lightColor());

    const qreal ratio = devicePixelRatioF();
    m_shareButton->setImage(buttonImage(QStringLiteral("share-list"), dark, 0.75, ratio));
    m_shareButton->setAlternateImage(buttonImage(QStringLiteral("share-list"), dark, 1.0, ratio));
    m_preferencesButton->setImage(buttonImage(QStringLiteral("preferences"), dark, 0.75, ratio));
    m_preferencesButton->setAlternateImage(
        buttonImage(QStringLiteral("preferences"), dark, 1.0, ratio));
    layOut();
}

void HeaderViewController::updateDetail()
{
    m_detailLabel->setStringValue(detailString());
}

void HeaderViewController::updateShareButton()
{
    if (m_list)
        m_shareButton->setEnabled(!m_list->apps().empty());
}

void HeaderViewController::setHoverButtonsVisible(bool visible)
{
    m_shareButton->setVisible(visible);
    m_preferencesButton->setVisible(visible);
}

void HeaderViewController::editList()
{
    if (m_editor || !m_list)
        return;
    auto *editor = new ListEditor(m_lists, this);
    editor->setList(m_list);
    editor->setDelegate(this);
    m_editor = editor;
    editor->popUp(m_nameImplicitControl);
}

void HeaderViewController::shareList()
{
    AppShell *shell = AppShell::current();
    if (m_shareSheetShown || !m_list || !shell)
        return;
    m_shareSheetShown = true;
    // The page may be gone (its list deleted) by the time the sheet closes.
    QPointer<HeaderViewController> page(this);
    shell->shareList(m_list, window(), [page] {
        if (page)
            page->m_shareSheetShown = false;
    });
}

void HeaderViewController::openPreferences()
{
    if (AppShell *shell = AppShell::current())
        shell->showPreferences();
}

void HeaderViewController::listEditorDidAppear(ListEditor *)
{
    if (AppShell *shell = AppShell::current())
        shell->setListMenuItemEnabled(1, false);
}

void HeaderViewController::listEditorDidDisappear(ListEditor *editor)
{
    // Gone from the screen, on its way out: the next Edit List opens a new one.
    if (m_editor == editor)
        m_editor = nullptr;
    if (AppShell *shell = AppShell::current())
        shell->setListMenuItemEnabled(1, true);
}

void HeaderViewController::listEditorDidEditList(ListEditor *, List *list)
{
    refreshHeader();
    emit listEdited(list);
}

void HeaderViewController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    refreshHeader();
    updateShareButton();
}

void HeaderViewController::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_pointerInside = false;
    m_keyboardInside = false;
    updateHoverButtons();
}

void HeaderViewController::enterEvent(QEnterEvent *event)
{
    QWidget::enterEvent(event);
    m_pointerInside = true;
    updateHoverButtons();
}

void HeaderViewController::leaveEvent(QEvent *event)
{
    QWidget::leaveEvent(event);
    m_pointerInside = false;
    updateHoverButtons();
}

void HeaderViewController::updateHoverButtons()
{
    setHoverButtonsVisible(m_pointerInside || m_keyboardInside);
}

bool HeaderViewController::eventFilter(QObject *watched, QEvent *event)
{
    auto *control = qobject_cast<QWidget *>(watched);
    if (control && (event->type() == QEvent::FocusIn || event->type() == QEvent::FocusOut))
        keyboardFocusMoved(control, static_cast<QFocusEvent *>(event));
    return QWidget::eventFilter(watched, event);
}

void HeaderViewController::keyboardFocusMoved(QWidget *control, const QFocusEvent *event)
{
    // Hidden buttons cannot take the focus, so they show as soon as the keyboard reaches the
    // name, and stay while it is on one of the three.
    const Qt::FocusReason reason = event->reason();
    if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason)
        return; // another window or a menu took the focus for a while
    const bool wasShown = m_pointerInside || m_keyboardInside;
    if (event->gotFocus()) {
        m_keyboardInside = reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason
            || reason == Qt::ShortcutFocusReason;
    } else {
        // The share sheet holds the keys only for a while, and gives them back to its button.
        const QWidget *next = window()->focusWidget();
        m_keyboardInside = m_keyboardInside
            && ((next && next != this && isAncestorOf(next)) || m_shareSheetShown);
    }
    updateHoverButtons();
    // Shift+Tab from below comes to the name past the buttons, hidden until now: it goes on to
    // the last of them, as it would had they been there.
    if (event->gotFocus() && reason == Qt::BacktabFocusReason && !wasShown
        && control == m_nameImplicitControl) {
        QTimer::singleShot(0, m_preferencesButton, [this] {
            if (m_nameImplicitControl->hasFocus() && m_preferencesButton->isVisible())
                m_preferencesButton->setFocus(Qt::BacktabFocusReason);
        });
    }
}

void HeaderViewController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layOut();
}

void HeaderViewController::layOut()
{
    m_backgroundView->setGeometry(rect());
    const int buttonSide = HeaderButton::kSide;
    const int textRoom = std::max(0, width() - 2 * (kSideMargin + buttonSide + 10));

    // The name as written: the button paints its text as it is and takes no mnemonic, so a
    // name with "&" neither loses it nor gains a shortcut. Long names end in "…".
    const QString name = m_list ? m_list->name() : QString();
    const QFontMetrics metrics(m_nameImplicitControl->font());
    m_nameImplicitControl->setText(
        metrics.elidedText(name, Qt::ElideRight, std::max(0, textRoom - 22)));
    m_nameImplicitControl->setShortcut(QKeySequence());
    m_nameImplicitControl->setAccessibleName(name);

    const QSize nameSize = m_nameImplicitControl->sizeHint();
    const int nameWidth = std::min(nameSize.width(), textRoom);
    const int block = nameSize.height() + kDetailHeight;
    const int top = std::max(4, (height() - kDotStrip - block) / 2 + 2);
    m_nameImplicitControl->setGeometry((width() - nameWidth) / 2, top, nameWidth,
                                       nameSize.height());
    m_detailLabel->setGeometry((width() - textRoom) / 2, top + nameSize.height(), textRoom,
                               kDetailHeight);

    const int buttonTop = top + (nameSize.height() - buttonSide) / 2;
    m_shareButton->setGeometry(kSideMargin, buttonTop, buttonSide, buttonSide);
    m_preferencesButton->setGeometry(width() - kSideMargin - buttonSide, buttonTop, buttonSide,
                                     buttonSide);
}

} // namespace tanvill
