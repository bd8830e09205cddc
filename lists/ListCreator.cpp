#include "lists/ListCreator.h"

#include "controls/ColorGridView.h"
#include "controls/SheetFit.h"
#include "core/List.h"
#include "core/ListsController.h"
#include "platform/Strings.h"

#include <QBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>

namespace tanvill {

ListCreator::ListCreator(ListsController &lists, QWidget *parent)
    : ListEditor(lists, Presentation::Sheet, parent),
      m_random([](quint32 bound) { return QRandomGenerator::global()->bounded(bound); })
{
    setWindowTitle(Strings::localized(QStringLiteral("New List")));
    setWindowModality(Qt::WindowModal);
    keepSheetInsideWindow(this);

    auto *title = new QLabel(Strings::localized(QStringLiteral("New List")), this);
    title->setTextFormat(Qt::PlainText);
    QFont titleFont = title->font();
    titleFont.setBold(true);
    titleFont.setPixelSize(15);
    title->setFont(titleFont);
    auto *titleRow = new QHBoxLayout;
    titleRow->setContentsMargins(ColorGridView::kLeft, 0, ColorGridView::kLeft, 12);
    titleRow->addWidget(title);
    contentLayout()->insertLayout(0, titleRow);

    // The grid opens between the well and the buttons, 10 points above them.
    setGridOpenMargin(0);
    contentLayout()->addSpacing(10);
    auto *buttons = new QHBoxLayout;
    buttons->setContentsMargins(ColorGridView::kLeft, 0, ColorGridView::kLeft, 0);
    buttons->addStretch(1);
    m_cancelButton = new QPushButton(Strings::localized(QStringLiteral("Cancel")), this);
    m_createButton = new QPushButton(Strings::localized(QStringLiteral("Create")), this);
    // Return presses Create, or the button that has the focus, the name field's Return too:
    // ending the typing leaves the sheet to its default button. Escape cancels.
    for (QPushButton *button : { m_cancelButton, m_createButton }) {
        button->setAutoDefault(true);
        buttons->addWidget(button);
    }
    m_createButton->setDefault(true);
    // A name of nothing but spaces cannot be created.
    m_createButton->setEnabled(false);
    contentLayout()->addLayout(buttons);

    connect(m_cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_createButton, &QPushButton::clicked, this, &ListCreator::create);
}

void ListCreator::viewDidLoad()
{
    ListEditor::viewDidLoad();
    const auto &groups = colors();
    const quint32 group
        = std::min<quint32>(m_random(quint32(groups.size())), quint32(groups.size() - 1));
    const quint32 item = std::min<quint32>(m_random(quint32(groups[group].size())),
                                           quint32(groups[group].size() - 1));
    colorWell()->setSelectedIndexPath(IndexPath { item, group });
}

void ListCreator::controlTextDidChange()
{
    m_createButton->setEnabled(List::isNameable(nameTextField()->text()));
}

void ListCreator::controlTextDidEndEditing() { }

void ListCreator::create()
{
    if (m_created || !List::isNameable(nameTextField()->text()))
        return;
    m_created = true;
    m_createButton->setEnabled(false);
    listsController().createList(nameTextField()->text(), selectedColor().name);
    accept();
}

} // namespace tanvill
