#include "lists/AppCell.h"

#include "controls/AppIconView.h"
#include "controls/ArchivePriceBadge.h"
#include "controls/BorderedButton.h"
#include "controls/HoverButton.h"
#include "controls/Images.h"
#include "controls/Label.h"
#include "controls/TableView.h"
#include "core/SettingsKeys.h"
#include "platform/Strings.h"
#include "platform/UserDefaults.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPainterPath>
#include <QPixmapCache>
#include <QTimer>

#include <cmath>

static void initListImages()
{
    Q_INIT_RESOURCE(tanvill_lists_images);
}

namespace tanvill {

namespace {

constexpr int kSide = 16;
constexpr int kHoverSide = 18;
constexpr int kHoverSpacing = 14;
constexpr int kPlatformSide = 16;
constexpr int kBadgeHeight = 20;
// The capsule is as wide as its text and these margins, and no narrower than a short price.
constexpr int kBadgeTextMargins = 16;
constexpr int kBadgeMinimumWidth = 44;
const QColor kSelectedColor(43, 43, 43);
const QColor kLiftedColor(52, 52, 55);
// Opaque, as drawn over the table's colour: a translucent line would be blended, which costs
// far more per row than a plain fill.
const QColor kSeparatorColor(45, 45, 46);

// A row's right-click menu: the key shown beside an item chooses it while the menu is open,
// and nowhere else.
class RowMenu : public QMenu
{
public:
    using QMenu::QMenu;

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
        if (modifiers == Qt::NoModifier) {
            const QKeySequence pressed(event->key());
            for (QAction *item : actions()) {
                if (item->shortcut() != pressed || !item->isEnabled() || !item->isVisible())
                    continue;
                // Chosen as by Return on it: the menu closes and the item acts.
                setActiveAction(item);
                QKeyEvent choose(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
                QMenu::keyPressEvent(&choose);
                return;
            }
        }
        QMenu::keyPressEvent(event);
    }
};

QFont pixelFont(const QFont &base, int pixelSize, bool bold)
{
    QFont font = base;
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

} // namespace

AppCell::AppCell(Configuration configuration, QWidget *parent)
    : TableRowView(parent), m_configuration(configuration)
{
    initListImages();
    m_iconView = new AppIconView(this);
    m_nameLabel = new Label(this);
    m_nameLabel->setFont(pixelFont(font(), 15, true));
    m_developerLabel = new Label(this);
    m_developerLabel->setFont(pixelFont(font(), 13, false));
    QPalette dimmed = m_developerLabel->palette();
    dimmed.setColor(QPalette::WindowText, QColor(0x9a, 0x9a, 0x9e));
    m_developerLabel->setPalette(dimmed);
    // Clicks on the texts and the icon belong to the row: they open the details or start a drag.
    for (QWidget *view : { static_cast<QWidget *>(m_iconView), static_cast<QWidget *>(m_nameLabel),
                           static_cast<QWidget *>(m_developerLabel) })
        view->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_buyButton = new BorderedButton(this);
    m_buyButton->setFont(pixelFont(m_buyButton->font(), 13, false));
    m_buyButton->setTintColor(QColor(0xe4, 0xe4, 0xe6));
    m_buyButton->setFocusPolicy(Qt::NoFocus);
    m_priceBadge = new ArchivePriceBadge(this);
    m_priceBadge->setColor(QColor(255, 255, 255, 28));
    m_priceBadge->label()->setFont(pixelFont(font(), 13, false));
    QPalette badgeText = m_priceBadge->label()->palette();
    badgeText.setColor(QPalette::WindowText, QColor(0xd8, 0xd8, 0xdc));
    m_priceBadge->label()->setPalette(badgeText);
    m_priceBadge->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_platformIconView = new QLabel(this);
    m_platformIconView->setAttribute(Qt::WA_TransparentForMouseEvents);

    m_viewInStoreButton = makeHoverButton(QStringLiteral("hover-view-in-store"),
                                          QStringLiteral("View in App Store"));
    m_copyLinkButton
        = makeHoverButton(QStringLiteral("hover-copy-link"), QStringLiteral("Copy Link"));
    m_moveButton = makeHoverButton(QStringLiteral("hover-move"), QStringLiteral("Move to List"));
    m_archiveButton = makeHoverButton(QStringLiteral("hover-archive"), QStringLiteral("Archive"));
    m_deleteButton = makeHoverButton(QStringLiteral("hover-delete"), QStringLiteral("Delete"));

    m_buyButton->setVisible(configuration == Configuration::List);
    m_priceBadge->setVisible(configuration == Configuration::Archive);
    layoutViews();
}

AppCell::~AppCell()
{
    if (m_controller)
        m_controller->releaseViews(this);
}

HoverButton *AppCell::makeHoverButton(const QString &imageName, const QString &toolTip)
{
    // Drawn once per screen density: every row shows the same five images.
    // (QPixmapCache goes with the application, as pixmaps must.)
    const qreal ratio = devicePixelRatioF();
    const QString key = QStringLiteral("tanvill-row-%1@%2").arg(imageName).arg(ratio);
    QPixmap image;
    if (!QPixmapCache::find(key, &image)) {
        image = Images::pixmap(imageName, QSize(kHoverSide, kHoverSide), ratio);
        QPixmapCache::insert(key, image);
    }
    auto *button = new HoverButton(this);
    button->setImage(image);
    button->setToolTip(Strings::localized(toolTip));
    button->setFocusPolicy(Qt::NoFocus);
    button->hide();
    return button;
}

QList<HoverButton *> AppCell::hoverButtons() const
{
    return { m_viewInStoreButton, m_copyLinkButton, m_moveButton, m_archiveButton, m_deleteButton };
}

bool AppCell::hoverButtonsShown() const
{
    const QList<HoverButton *> buttons = hoverButtons();
    return std::any_of(buttons.begin(), buttons.end(),
                       [](const HoverButton *button) { return !button->isHidden(); });
}

void AppCell::setHoverButtonsShown(bool shown)
{
    for (HoverButton *button : hoverButtons())
        button->setVisible(shown);
}

void AppCell::setHoverTint(const QColor &tint)
{
    for (HoverButton *button : hoverButtons())
        button->setTint(tint);
}

void AppCell::setConfiguration(Configuration configuration)
{
    m_configuration = configuration;
    m_buyButton->setVisible(configuration == Configuration::List);
    m_priceBadge->setVisible(configuration == Configuration::Archive);
    if (configuration != Configuration::List)
        setHoverButtonsShown(false);
    // The old menu may be open right now; it goes once control returns to the event loop.
    if (m_contextMenu)
        m_contextMenu->deleteLater();
    m_contextMenu = newContextMenu();
    if (m_controller)
        m_controller->setContextMenu(m_contextMenu);
    layoutViews();
}

void AppCell::setArchivedPriceText(const QString &text)
{
    m_priceBadge->label()->setStringValue(text);
    layoutViews();
}

QMenu *AppCell::contextMenu()
{
    if (!m_contextMenu)
        m_contextMenu = newContextMenu();
    return m_contextMenu;
}

QMenu *AppCell::newContextMenu()
{
    auto *menu = new RowMenu(this);
    connect(menu, &QMenu::aboutToHide, this, &AppCell::settleHoverAfterMenu);
    const auto add = [menu](const QString &title, const QKeySequence &key) {
        auto *item = new QAction(Strings::localized(title), menu);
        if (!key.isEmpty()) {
            // Shown beside the item and heard only while the menu itself is open (RowMenu): a
            // window shortcut would delete an application on Backspace in a text field.
            item->setShortcut(key);
            item->setShortcutContext(Qt::WidgetShortcut);
            item->setShortcutVisibleInContextMenu(true);
        }
        menu->addAction(item);
        return item;
    };
    add(QStringLiteral("View in App Store"), QKeySequence(Qt::Key_O));
    add(QStringLiteral("Copy Link"), QKeySequence(Qt::Key_C));
    if (m_configuration == Configuration::List) {
        add(QStringLiteral("Reload"), QKeySequence(Qt::Key_R));
        QAction *move = add(QStringLiteral("Move to List"), {});
        move->setMenu(new QMenu(menu));
        // Also popped up on its own, by the move button.
        connect(move->menu(), &QMenu::aboutToHide, this, &AppCell::settleHoverAfterMenu);
        add(QStringLiteral("Archive"), QKeySequence(Qt::Key_A));
    }
    add(QStringLiteral("Delete"), QKeySequence(Qt::Key_Backspace));
    if (UserDefaults::standard().boolean(SettingsKeys::EnableSuperSecretAppIdentifierMenuItem))
        add(QStringLiteral("Copy App ID"), {});
    return menu;
}

void AppCell::setPlatform(std::optional<AppKind> kind)
{
    QString name;
    if (kind) {
        switch (*kind) {
        case AppKind::Phone:
            name = QStringLiteral("iphone");
            break;
        case AppKind::Pad:
            name = QStringLiteral("ipad");
            break;
        case AppKind::Mac:
            name = QStringLiteral("mac");
            break;
        }
    }
    if (name == m_platformImageName)
        return;
    m_platformImageName = name;
    if (name.isEmpty())
        m_platformIconView->clear();
    else
        m_platformIconView->setPixmap(
            Images::pixmap(name, QSize(kPlatformSide, kPlatformSide), devicePixelRatioF()));
}

void AppCell::setSummaryController(std::shared_ptr<AppSummaryController> controller)
{
    if (m_controller && m_controller != controller)
        m_controller->releaseViews(this);
    m_controller = std::move(controller);
    setHoverButtonsShown(false);
    if (!m_controller)
        return;
    m_controller->setIconView(m_iconView);
    m_controller->setNameLabel(m_nameLabel);
    m_controller->setDeveloperLabel(m_developerLabel);
    if (m_configuration == Configuration::List)
        m_controller->setBuyButton(m_buyButton);
    m_controller->setContextMenu(contextMenu());
    if (m_configuration == Configuration::List) {
        m_controller->configureArchiveButton(m_archiveButton);
        m_controller->configureCopyLinkButton(m_copyLinkButton);
        m_controller->configureDeleteButton(m_deleteButton);
        m_controller->configureMoveButton(m_moveButton);
        m_controller->configureViewInStoreButton(m_viewInStoreButton);
    }
}

QPixmap AppCell::snapshot()
{
    // The row lifted off the table: drawn on a lighter grey, with rounded corners.
    const qreal ratio = devicePixelRatioF();
    QPixmap drawn(size() * ratio);
    drawn.setDevicePixelRatio(ratio);
    drawn.fill(kLiftedColor);
    render(&drawn, {}, {}, QWidget::DrawChildren);
    QPixmap image(drawn.size());
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath clip;
    clip.addRoundedRect(QRectF(rect()), 10, 10);
    painter.setClipPath(clip);
    painter.drawPixmap(0, 0, drawn);
    return image;
}

bool AppCell::event(QEvent *event)
{
    // The price button asks for room again when its title changes width.
    if (event->type() == QEvent::LayoutRequest)
        layoutViews();
    return TableRowView::event(event);
}

void AppCell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (isSelected())
        painter.fillRect(rect(), kSelectedColor);
    painter.fillRect(QRect(kSide, height() - 1, width() - kSide, 1), kSeparatorColor);
}

void AppCell::resizeEvent(QResizeEvent *event)
{
    TableRowView::resizeEvent(event);
    layoutViews();
}

void AppCell::layoutViews()
{
    const bool list = m_configuration == Configuration::List;
    const int w = width(), h = height();
    const int icon = list ? 57 : 48;
    m_iconView->setGeometry(kSide, (h - icon) / 2, icon, icon);

    int right = w - kSide;
    if (list) {
        const QSize button(std::max(m_buyButton->sizeHint().width(), 64), 26);
        m_buyButton->setGeometry(right - button.width(), (h - button.height()) / 2, button.width(),
                                 button.height());
        right -= button.width() + 14;
    } else {
        const QString price = m_priceBadge->label()->fullString();
        // Measured as the label measures, to the fraction, so that it never shortens the price.
        const int textWidth
            = int(std::ceil(QFontMetricsF(m_priceBadge->label()->font()).horizontalAdvance(price)));
        const int badgeWidth = std::max(kBadgeMinimumWidth, textWidth + kBadgeTextMargins);
        m_priceBadge->setGeometry(right - badgeWidth, (h - kBadgeHeight) / 2, badgeWidth,
                                  kBadgeHeight);
        right -= badgeWidth + 14;
    }
    m_platformIconView->setGeometry(right - kPlatformSide, (h - kPlatformSide) / 2, kPlatformSide,
                                    kPlatformSide);
    right -= kPlatformSide + 14;

    const int left = kSide + icon + 14;
    const int textWidth = std::max(0, right - left);
    // Name and developer sit in the middle of the row; on a list row the hover buttons take
    // a line of their own below them.
    const int nameTop = list ? 14 : (h - 38) / 2;
    m_nameLabel->setGeometry(left, nameTop, textWidth, 20);
    m_developerLabel->setGeometry(left, nameTop + 21, textWidth, 17);
    int x = left;
    for (HoverButton *button : hoverButtons()) {
        button->setGeometry(x, nameTop + 44, kHoverSide, kHoverSide);
        x += kHoverSide + kHoverSpacing;
    }
}

void AppCell::enterEvent(QEnterEvent *event)
{
    TableRowView::enterEvent(event);
    if (m_configuration == Configuration::List && window()->isActiveWindow())
        setHoverButtonsShown(true);
}

void AppCell::pointerSettled(bool overRow)
{
    setHoverButtonsShown(overRow && m_configuration == Configuration::List
                         && window()->isActiveWindow());
}

void AppCell::settleHoverAfterMenu()
{
    // While a menu is open the pointer's enter and leave events go astray: a row can be left
    // entered for good (a submenu shut with Escape), so once the last menu has gone every row
    // of the table asks where the pointer is.
    QTimer::singleShot(0, this, [this] {
        if (QApplication::activePopupWidget())
            return;
        if (TableView *table = tableView())
            table->settlePointer();
    });
}

void AppCell::leaveEvent(QEvent *event)
{
    TableRowView::leaveEvent(event);
    setHoverButtonsShown(false);
}

void AppCell::contextMenuEvent(QContextMenuEvent *event)
{
    // The menu is this row's own: the click goes no further, shown or not.
    event->accept();
    if (!window()->isActiveWindow())
        return;
    const QPointer<AppCell> self(this);
    QPointer<QMenu> menu = contextMenu();
    setSelected(true);
    menu->exec(event->globalPos());
    // An action from the menu may have taken the row away or given it to another app.
    if (self)
        setSelected(false);
}

} // namespace tanvill
