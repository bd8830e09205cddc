#pragma once

#include <QComboBox>
#include <QPushButton>
#include <QWidget>

#include <vector>

namespace tanvill {

class Label;
class List;

// Hears how the user wants the found applications imported (the import window's guide).
class ASImportViewControllerDelegate
{
public:
    virtual ~ASImportViewControllerDelegate() = default;
    virtual void importViewControllerDidSelectList(List *list) = 0;
    virtual void importViewControllerWantsNewList() = 0;
    virtual void importViewControllerWantsSeparateLists() = 0;
};

// The import window's last step: how many applications can be imported, and the three ways
// to import them: one new list, a new list per platform, or a list the user already has
// (the pop-up holds the lists of the moment the step was made; each item carries its list).
class ASImportViewController : public QWidget
{
    Q_OBJECT
public:
    explicit ASImportViewController(const std::vector<List *> &lists, QWidget *parent = nullptr);

    Label *label() const { return m_label; }
    QComboBox *listSelectionPopUpButton() const { return m_listSelectionPopUpButton; }
    QPushButton *newListButton() const { return m_newListButton; }
    QPushButton *separateListsButton() const { return m_separateListsButton; }

    qint64 appCount() const { return m_appCount; }
    void setAppCount(qint64 count);

    // Not owned; must outlive the step (the guide owns its steps).
    ASImportViewControllerDelegate *delegate = nullptr;

    // The pop-up's item: its list, when that list still exists.
    void didSelectList();
    void createNewList();
    void createSeparateLists();

    static constexpr QSize kSize { 440, 208 };

private:
    Label *m_label;
    QComboBox *m_listSelectionPopUpButton;
    QPushButton *m_newListButton;
    QPushButton *m_separateListsButton;
    qint64 m_appCount = 0;
};

} // namespace tanvill
