#include "sharing/ASImportViewController.h"

#include "controls/Label.h"
#include "controls/MenuItemTitle.h"
#include "core/List.h"
#include "platform/Strings.h"

#include <QLabel>
#include <QStandardItemModel>

namespace tanvill {

ASImportViewController::ASImportViewController(const std::vector<List *> &lists, QWidget *parent)
    : QWidget(parent), m_label(new Label(this)), m_listSelectionPopUpButton(new QComboBox(this)),
      m_newListButton(new QPushButton(Strings::localized(QStringLiteral("ASImportNewList")), this)),
      m_separateListsButton(
          new QPushButton(Strings::localized(QStringLiteral("ASImportSeparateLists")), this))
{
    setFixedSize(kSize);
    const int inner = kSize.width() - 48;
    QFont titleFont = font();
    titleFont.setPixelSize(16);
    titleFont.setBold(true);
    m_label->setFont(titleFont);
    m_label->setGeometry(24, 20, inner, 24);

    auto *message = new QLabel(Strings::localized(QStringLiteral("ASImportChoiceMessage")), this);
    message->setTextFormat(Qt::PlainText);
    message->setWordWrap(true);
    QPalette dimmed = message->palette();
    dimmed.setColor(QPalette::WindowText, dimmed.color(QPalette::WindowText).darker(125));
    message->setPalette(dimmed);
    message->setGeometry(24, 50, inner, 36);

    const int half = (inner - 12) / 2;
    m_newListButton->setGeometry(24, 102, half, 30);
    m_separateListsButton->setGeometry(24 + half + 12, 102, half, 30);

    // A first item that imports nothing, so that choosing any list is a change.
    m_listSelectionPopUpButton->addItem(
        Strings::localized(QStringLiteral("ASImportAddToListPlaceholder")));
    if (auto *model = qobject_cast<QStandardItemModel *>(m_listSelectionPopUpButton->model()))
        model->item(0)->setEnabled(false);
    for (List *list : lists)
        addNamePopUpItem(m_listSelectionPopUpButton, list->name(), QVariant::fromValue(list));
    m_listSelectionPopUpButton->setGeometry(24, 150, inner, 30);

    // The page opens with the keyboard on its first way, one new list.
    setFocusProxy(m_newListButton);
    connect(m_newListButton, &QPushButton::clicked, this, &ASImportViewController::createNewList);
    connect(m_separateListsButton, &QPushButton::clicked, this,
            &ASImportViewController::createSeparateLists);
    // Only a choice of the user's imports: filling or resetting the pop-up must not.
    connect(m_listSelectionPopUpButton, &QComboBox::activated, this,
            &ASImportViewController::didSelectList);
    setAppCount(0);
}

void ASImportViewController::setAppCount(qint64 count)
{
    m_appCount = count;
    m_label->setStringValue(
        Strings::localizedFormat(QStringLiteral("%li apps are ready to be imported!"), { count }));
}

void ASImportViewController::didSelectList()
{
    List *list = m_listSelectionPopUpButton->currentData().value<List *>();
    m_listSelectionPopUpButton->setCurrentIndex(0);
    // A list deleted since the step was made, or one that became the archive, is no choice.
    if (!list || list->isDeleted() || list->index() < 0)
        return;
    if (delegate)
        delegate->importViewControllerDidSelectList(list);
}

void ASImportViewController::createNewList()
{
    if (delegate)
        delegate->importViewControllerWantsNewList();
}

void ASImportViewController::createSeparateLists()
{
    if (delegate)
        delegate->importViewControllerWantsSeparateLists();
}

} // namespace tanvill
