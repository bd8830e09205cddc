#include "lists/ListEditor.h"

#include "controls/ColorGridView.h"
#include "controls/PopoverShape.h"
#include "controls/TextFieldLength.h"
#include "controls/WindowShortcuts.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "core/TextLimits.h"
#include "lists/TransitionTiming.h"
#include "platform/NotificationCenter.h"
#include "platform/Strings.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLineEdit>
#include <QPainter>
#include <QVBoxLayout>
#include <QVariantAnimation>

namespace tanvill {

namespace {

constexpr int kSideMargin = ColorGridView::kLeft;
constexpr qreal kCornerRadius = 8.0;

} // namespace

ListEditor::ListEditor(ListsController &lists, QWidget *parent)
    : ListEditor(lists, Presentation::Popover, parent)
{ }

ListEditor::ListEditor(ListsController &lists, Presentation presentation, QWidget *parent)
    : QDialog(parent), m_lists(lists), m_presentation(presentation)
{
    setAttribute(Qt::WA_DeleteOnClose);
    if (presentation == Presentation::Popover) {
        setWindowFlags(Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint);
        setAttribute(Qt::WA_TranslucentBackground);
        // F10 and the menus' Alt letters open the window's menus, as from its own fields.
        passMenuKeysToWindow(this);
    }

    auto *column = new QVBoxLayout(this);
    column->setSizeConstraint(QLayout::SetFixedSize);
    column->setContentsMargins(0, presentation == Presentation::Popover ? kArrowHeight + 12 : 16, 0,
                               12);
    column->setSpacing(0);
    m_contentLayout = column;

    auto *nameRow = new QHBoxLayout;
    nameRow->setContentsMargins(kSideMargin, 0, kSideMargin, 0);
    nameRow->setSpacing(8);
    m_nameTextField = new QLineEdit(this);
    m_nameTextField->setPlaceholderText(Strings::localized(QStringLiteral("List Name")));
    m_nameTextField->setAccessibleName(Strings::localized(QStringLiteral("List Name")));
    // No longer than a list's name is kept, so that the name typed is the name read back.
    limitTextLength(m_nameTextField, TextLimits::kShortText);
    nameRow->addWidget(m_nameTextField, 1);
    m_colorWell = new ColorWell(this);
    m_colorWell->setFixedSize(m_colorWell->sizeHint());
    m_colorWell->setDataSource(this);
    m_colorWell->setDelegate(this);
    nameRow->addWidget(m_colorWell, 0, Qt::AlignVCenter);
    column->addLayout(nameRow);

    // The grid comes and goes in this place, 5 points under the well.
    column->addSpacing(5);
    m_gridSlot = new QWidget(this);
    m_gridSlot->setFixedHeight(0);
    m_gridSlot->setMinimumWidth(m_colorWell->colorGridView()->sizeHint().width());
    column->addWidget(m_gridSlot);

    connect(m_nameTextField, &QLineEdit::textEdited, this, [this] { controlTextDidChange(); });
    connect(m_nameTextField, &QLineEdit::returnPressed, this,
            [this] { controlTextDidEndEditing(); });
    connect(m_colorWell, &ColorWell::colorWellDidSelectColor, this,
            [this] { colorWellDidSelectColor(); });
}

ListEditor::~ListEditor()
{
    // Destroyed while open (its page went): the list and the presenter still hear of the end.
    if (!m_closed && m_appeared)
        closingSteps();
    m_colorWell->setDataSource(nullptr);
    m_colorWell->setDelegate(nullptr);
}

void ListEditor::setList(List *list)
{
    m_list = list;
    m_originalListName = list ? std::optional(list->name()) : std::nullopt;
    m_originalColor = list ? list->color() : std::nullopt;
}

ListEditorDelegate *ListEditor::delegate() const
{
    if (m_delegateIsObject && !m_delegateObject)
        return nullptr;
    return m_delegate;
}

void ListEditor::setDelegate(ListEditorDelegate *delegate)
{
    m_delegate = delegate;
    m_delegateObject = dynamic_cast<QObject *>(delegate);
    m_delegateIsObject = m_delegateObject != nullptr;
}

const std::array<std::vector<ThemeName>, 2> &ListEditor::colors()
{
    static const std::array<std::vector<ThemeName>, 2> table = {
        std::vector { ThemeName::Yellow, ThemeName::Orange, ThemeName::Pink, ThemeName::Red,
                      ThemeName::Purple, ThemeName::Navy },
        std::vector { ThemeName::Blue, ThemeName::Cyan, ThemeName::LightGreen, ThemeName::Green },
    };
    return table;
}

Theme ListEditor::selectedColor() const
{
    const IndexPath path = m_colorWell->selectedIndexPath();
    if (path.row < colors().size() && path.column < colors()[path.row].size())
        return Theme { colors()[path.row][path.column] };
    return Theme {};
}

std::optional<IndexPath> ListEditor::listColorIndexPath() const
{
    if (!m_list || !m_list->color())
        return std::nullopt;
    const std::optional<ThemeName> name = themeNameFromRawValue(*m_list->color());
    if (!name)
        return std::nullopt;
    for (unsigned group = 0; group < colors().size(); ++group) {
        for (unsigned item = 0; item < colors()[group].size(); ++item) {
            if (colors()[group][item] == *name)
                return IndexPath { item, group };
        }
    }
    return std::nullopt;
}

unsigned ListEditor::numberOfRowsInColorWell(ColorWell *)
{
    return unsigned(colors().size());
}

unsigned ListEditor::numberOfColumnsInColorWell(ColorWell *)
{
    return unsigned(colors().front().size());
}

std::optional<QColor> ListEditor::colorAt(ColorWell *, IndexPath indexPath)
{
    if (indexPath.row >= colors().size() || indexPath.column >= colors()[indexPath.row].size())
        return std::nullopt;
    return Theme { colors()[indexPath.row][indexPath.column] }.lightColor();
}

void ListEditor::ensureLoaded()
{
    if (m_loaded)
        return;
    m_loaded = true;
    viewDidLoad();
}

void ListEditor::viewDidLoad()
{
    if (!m_list)
        return;
    m_nameTextField->setText(m_list->name());
    // Selecting the list's colour sends the well's action, which writes it back unchanged.
    if (const std::optional<IndexPath> path = listColorIndexPath())
        m_colorWell->setSelectedIndexPath(*path);
}

void ListEditor::controlTextDidChange()
{
    if (!m_list)
        return;
    m_list->setName(m_nameTextField->text());
    if (ListEditorDelegate *presenter = delegate())
        presenter->listEditorDidEditList(this, m_list);
}

void ListEditor::controlTextDidEndEditing()
{
    close();
}

void ListEditor::colorWellDidSelectColor()
{
    if (!m_list)
        return;
    m_list->setColor(rawValue(selectedColor().name));
    if (ListEditorDelegate *presenter = delegate())
        presenter->listEditorDidEditList(this, m_list);
}

void ListEditor::popUp(QWidget *anchor)
{
    ensureLoaded();
    adjustSize();
    const PopoverShape shape { kCornerRadius, kArrowHeight, kArrowHalfWidth };
    const PopoverShape::Placement placement = shape.placeBelow(*anchor, size());
    m_arrowX = placement.arrowX;
    move(placement.origin);
    shape.shapeWindow(*this, m_arrowX);
    show();
}

void ListEditor::resizeEvent(QResizeEvent *event)
{
    QDialog::resizeEvent(event);
    // The popover grows and shrinks with its colour grid; its window follows the outline.
    if (m_presentation == Presentation::Popover)
        PopoverShape { kCornerRadius, kArrowHeight, kArrowHalfWidth }.shapeWindow(
            *this, m_arrowX >= 0 ? m_arrowX : width() / 2.0);
}

void ListEditor::showEvent(QShowEvent *event)
{
    ensureLoaded();
    QDialog::showEvent(event);
    if (event->spontaneous() || m_appeared)
        return;
    m_appeared = true;
    m_nameTextField->setFocus();
    m_nameTextField->end(false);
    if (ListEditorDelegate *presenter = delegate())
        presenter->listEditorDidAppear(this);
}

void ListEditor::hideEvent(QHideEvent *event)
{
    QDialog::hideEvent(event);
    // The window system hides a dialog with its minimised window; that is no closing.
    if (event->spontaneous() || m_closed || !m_appeared)
        return;
    closingSteps();
}

void ListEditor::closingSteps()
{
    m_closed = true;
    if (m_list) {
        if (!List::isNameable(m_list->name()) && m_originalListName) {
            m_list->setName(*m_originalListName);
            if (ListEditorDelegate *presenter = delegate())
                presenter->listEditorDidEditList(this, m_list);
        }
        // Written now, so that quitting or a crash soon after loses nothing.
        if (m_list->name() != m_originalListName.value_or(QString())
            || m_list->color() != m_originalColor)
            m_lists.saveWithAsync(true);
        NotificationCenter::defaultCenter().post(ListEditorDidUpateListNotification);
    }
    if (ListEditorDelegate *presenter = delegate())
        presenter->listEditorDidDisappear(this);
}

bool ListEditor::isColorGridOpen() const
{
    return m_colorWell->isColorGridShown() && !m_gridClosing;
}

void ListEditor::wantsToPresentColorGrid(ColorWell *well, ColorGridView *grid)
{
    m_gridClosing = false;
    grid->setParent(m_gridSlot);
    grid->setGeometry(0, 0, std::max(m_gridSlot->width(), m_gridSlot->minimumWidth()),
                      grid->sizeHint().height());
    grid->setArrowPosition(well->mapTo(this, QPoint(well->width() / 2, 0)).x());
    grid->show();
    animateGrid(true);
}

void ListEditor::wantsToDismissColorGrid(ColorWell *, ColorGridView *)
{
    if (m_gridClosing)
        return;
    m_gridClosing = true;
    animateGrid(false);
}

void ListEditor::animateGrid(bool open)
{
    ColorGridView *grid = m_colorWell->colorGridView();
    const int target = open ? grid->sizeHint().height() + m_gridOpenMargin : 0;
    const auto finish = [this, open] {
        if (open)
            return;
        m_gridClosing = false;
        if (ColorGridView *shown = m_colorWell->colorGridView(); shown->parentWidget()) {
            shown->hide();
            shown->setParent(nullptr);
        }
        m_colorWell->update();
    };
    if (m_gridAnimation) {
        m_gridAnimation->stop();
        m_gridAnimation->deleteLater();
        m_gridAnimation = nullptr;
    }
    if (m_animationDuration <= 0 || !isVisible() || transitions::instant()) {
        m_gridSlot->setFixedHeight(target);
        layout()->activate();
        finish();
        return;
    }
    m_gridAnimation = new QVariantAnimation(this);
    m_gridAnimation->setEasingCurve(QEasingCurve::OutCubic);
    m_gridAnimation->setDuration(m_animationDuration);
    m_gridAnimation->setStartValue(m_gridSlot->height());
    m_gridAnimation->setEndValue(target);
    connect(m_gridAnimation, &QVariantAnimation::valueChanged, this,
            [this](const QVariant &value) { m_gridSlot->setFixedHeight(value.toInt()); });
    connect(m_gridAnimation, &QVariantAnimation::finished, this, finish);
    m_gridAnimation->start();
}

void ListEditor::paintEvent(QPaintEvent *event)
{
    if (m_presentation != Presentation::Popover) {
        QDialog::paintEvent(event);
        return;
    }
    QPainter painter(this);
    PopoverShape { kCornerRadius, kArrowHeight, kArrowHalfWidth }.paint(
        painter, *this, m_arrowX >= 0 ? m_arrowX : width() / 2.0,
        palette().color(QPalette::Window).lighter(112), QColor::fromRgbF(1, 1, 1, 0.14f));
}

} // namespace tanvill
