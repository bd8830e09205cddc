#include "shell/PreferencesViewController.h"

#include "controls/Images.h"
#include "controls/WindowShortcuts.h"
#include "shell/AdvancedPreferencesViewController.h"
#include "shell/GeneralPreferencesViewController.h"
#include "shell/IntegrationViewController.h"
#include "shell/NotificationsViewController.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QPainter>
#include <QPropertyAnimation>
#include <QShowEvent>
#include <QToolButton>

namespace tanvill {

namespace {

bool s_instantAnimationsByDefault = false;

// The strip of pane buttons along the window's top, a shade lighter than the panes, with a
// dark line under it.
class PreferencesToolbar : public QWidget
{
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(0x2e, 0x2e, 0x31));
        painter.fillRect(QRect(0, height() - 1, width(), 1), QColor(0x14, 0x14, 0x15));
    }
};

QIcon paneIcon(const QString &name)
{
    QIcon icon;
    for (const qreal ratio : { 1.0, 2.0 })
        icon.addPixmap(Images::pixmap(name, QSize(24, 24), ratio));
    return icon;
}

const char kToolButtonStyle[] = R"(
QToolButton {
    border: none;
    border-radius: 6px;
    padding: 3px 10px 2px 10px;
    color: #c4c4c6;
}
QToolButton:hover:!checked { background: rgba(255, 255, 255, 0.05); }
QToolButton:checked { background: rgba(255, 255, 255, 0.11); color: #ffffff; }
)";

} // namespace

PreferencesViewController::PreferencesViewController(const PreferencesServices &services,
                                                     QWidget *parent)
    : QWidget(parent, Qt::Window), m_instantAnimations(s_instantAnimationsByDefault)
{
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setAutoFillBackground(true);

    m_toolbar = new PreferencesToolbar(this);
    auto *toolbarLayout = new QHBoxLayout(m_toolbar);
    toolbarLayout->setContentsMargins(10, 6, 10, 7);
    toolbarLayout->setSpacing(4);
    toolbarLayout->addStretch(1);
    m_tabButtons.setExclusive(true);

    m_general = new GeneralPreferencesViewController(services.settings, services.alerts,
                                                     services.loginItem, this);
    m_notifications = new NotificationsViewController(services.settings, this);
    m_advanced = new AdvancedPreferencesViewController(services.settings, services.alerts,
                                                       services.updater, this);
    m_integration = new IntegrationViewController(services.workspace, this);
    for (PreferencesPane *pane : std::initializer_list<PreferencesPane *> {
             m_general, m_notifications, m_advanced, m_integration })
        addPane(pane);
    toolbarLayout->addStretch(1);

    connect(&m_tabButtons, &QButtonGroup::idClicked, this, &PreferencesViewController::selectTab);
    closeWindowOnStandardKeys(this);

    selectTab(0);
}

PreferencesViewController::~PreferencesViewController()
{
    // Deleted on their own, the panes get no hide event: the end of the window is not the
    // user leaving a pane, and nothing may ask the user anything now.
    qDeleteAll(m_panes);
}

void PreferencesViewController::setInstantAnimationsByDefault(bool instant)
{
    s_instantAnimationsByDefault = instant;
}

void PreferencesViewController::addPane(PreferencesPane *pane)
{
    auto *button = new QToolButton(m_toolbar);
    button->setText(pane->label());
    button->setIcon(paneIcon(pane->iconName()));
    button->setIconSize(QSize(24, 24));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setCheckable(true);
    button->setFocusPolicy(Qt::TabFocus);
    button->setMinimumWidth(78);
    button->setStyleSheet(QString::fromLatin1(kToolButtonStyle));
    m_tabButtons.addButton(button, int(m_panes.size()));
    static_cast<QHBoxLayout *>(m_toolbar->layout())->addWidget(button);
    pane->hide();
    m_panes.append(pane);
}

PreferencesPane *PreferencesViewController::pane(int index) const
{
    return index >= 0 && index < m_panes.size() ? m_panes[index] : nullptr;
}

QAbstractButton *PreferencesViewController::tabButton(int index) const
{
    return m_tabButtons.button(index);
}

std::optional<QSize> PreferencesViewController::originalSize(const QString &label) const
{
    const auto found = m_originalSizes.constFind(label);
    if (found == m_originalSizes.constEnd())
        return std::nullopt;
    return *found;
}

QSize PreferencesViewController::windowSizeForPane(const QSize &paneSize) const
{
    return QSize(std::max(paneSize.width(), m_toolbar->sizeHint().width()),
                 kToolbarHeight + paneSize.height());
}

bool PreferencesViewController::isAnimating() const
{
    return m_resizeAnimation && m_resizeAnimation->state() == QAbstractAnimation::Running;
}

void PreferencesViewController::selectTab(int index)
{
    if (index == m_selected || !pane(index))
        return;
    tabWillSelect(index);
    PreferencesPane *previous = pane(m_selected);
    m_selected = index;
    QAbstractButton *button = m_tabButtons.button(index);
    button->setChecked(true);
    // Tab reaches the toolbar at the pane shown; the arrows go on from there.
    for (QAbstractButton *tab : m_tabButtons.buttons())
        tab->setFocusPolicy(tab == button ? Qt::TabFocus : Qt::NoFocus);
    // The keyboard on the toolbar stays with the pane shown, also when the window opens again
    // on the first pane: the arrows go on from there. Only the keyboard brings the focus to
    // the toolbar, so it moves as by the keyboard, its ring with it.
    // The focus may be on any control of a pane, a field or a pop-up button: it moves on only
    // from a tab button.
    if (auto *focus = qobject_cast<QAbstractButton *>(focusWidget());
        focus && focus != button && m_tabButtons.buttons().contains(focus))
        button->setFocus(Qt::TabFocusReason);
    // Hiding the previous pane lets it finish its work (the Advanced pane checks its token).
    if (previous)
        previous->hide();
    pane(index)->show();
    layoutContent();
    tabDidSelect(index, isVisible() && !m_instantAnimations);
}

void PreferencesViewController::tabWillSelect(int index)
{
    PreferencesPane *next = pane(index);
    if (m_originalSizes.contains(next->label()))
        return;
    next->ensurePolished();
    if (next->layout())
        next->layout()->activate();
    const int width = std::max(next->sizeHint().width(), kMinimumPaneWidth);
    const int height
        = next->hasHeightForWidth() ? next->heightForWidth(width) : next->sizeHint().height();
    m_originalSizes.insert(next->label(), QSize(width, height));
}

void PreferencesViewController::tabDidSelect(int index, bool animated)
{
    PreferencesPane *selected = pane(index);
    setWindowTitle(selected->label());
    resizeWindow(windowSizeForPane(m_originalSizes.value(selected->label())), animated);
}

void PreferencesViewController::resizeWindow(const QSize &size, bool animated)
{
    if (m_resizeAnimation)
        m_resizeAnimation->stop();
    if (!animated || size == this->size()) {
        setFixedSize(size);
        return;
    }
    // Free while it moves; fixed again at the end, so the user cannot drag it to another size.
    setMinimumSize(0, 0);
    setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    if (!m_resizeAnimation) {
        m_resizeAnimation = new QPropertyAnimation(this, "size", this);
        m_resizeAnimation->setDuration(kResizeDurationMs);
        m_resizeAnimation->setEasingCurve(QEasingCurve::InOutCubic);
        connect(m_resizeAnimation, &QPropertyAnimation::finished, this,
                [this] { setFixedSize(m_resizeAnimation->endValue().toSize()); });
    }
    m_resizeAnimation->setStartValue(this->size());
    m_resizeAnimation->setEndValue(size);
    m_resizeAnimation->start();
}

void PreferencesViewController::layoutContent()
{
    m_toolbar->setGeometry(0, 0, width(), kToolbarHeight);
    if (PreferencesPane *selected = pane(m_selected)) {
        // The pane keeps its own size while the window grows or shrinks around it.
        const QSize paneSize = m_originalSizes.value(selected->label());
        selected->setGeometry(0, kToolbarHeight, std::max(width(), paneSize.width()),
                              paneSize.height());
    }
}

void PreferencesViewController::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (event->spontaneous())
        return;
    // Every opening starts on the first pane, at its size from the start: a window that
    // opens at the last pane's size and then shrinks would look broken.
    if (m_selected != 0) {
        const bool instant = m_instantAnimations;
        m_instantAnimations = true;
        selectTab(0);
        m_instantAnimations = instant;
    } else if (PreferencesPane *first = pane(0)) {
        setWindowTitle(first->label());
    }
}

void PreferencesViewController::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    layoutContent();
}

} // namespace tanvill
