#pragma once

#include "lists/ListEditor.h"

#include <functional>

class QPushButton;

namespace tanvill {

// The new-list sheet: a name and a colour (a random one to begin with), and Create, which
// makes the list at the end of the lists, selects it and closes the sheet; Return presses it,
// once the name is more than spaces. Cancel or Escape close it without making anything. The main
// window presents it over itself, window-modal, as its List submenu's first command; it deletes
// itself once closed.
class ListCreator : public ListEditor
{
    Q_OBJECT
public:
    explicit ListCreator(ListsController &lists, QWidget *parent = nullptr);

    // Draws a number below the bound; the colour the sheet starts with comes from it. Set it
    // before the sheet is shown.
    using RandomSource = std::function<quint32(quint32 bound)>;
    void setRandomSource(RandomSource source) { m_random = std::move(source); }

    QPushButton *createButton() const { return m_createButton; }
    QPushButton *cancelButton() const { return m_cancelButton; }

    // Makes the list from the name and colour shown and closes the sheet; once only.
    void create();

protected:
    void viewDidLoad() override;
    void controlTextDidChange() override;
    void controlTextDidEndEditing() override;

private:
    RandomSource m_random;
    QPushButton *m_createButton = nullptr;
    QPushButton *m_cancelButton = nullptr;
    bool m_created = false;
};

} // namespace tanvill
