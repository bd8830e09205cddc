#pragma once

#include <QWidget>

#include <functional>

class QLineEdit;
class QPushButton;

namespace tanvill {

class ListsController;

// The welcome window, shown while no list exists (first start, reopen, a link to add an app
// before there is a list to add it to): it asks for the name of the first list and creates it
// in yellow. Create is enabled exactly while the name has a character other than spaces (the
// name is kept as typed); Return creates too, and one window creates one list however often it is
// pressed. After creating, the handler the application delegate gave (show the main window)
// runs and the window closes; the delegate keeps it. Dragging its background moves it.
class WelcomeViewController : public QWidget
{
    Q_OBJECT
public:
    explicit WelcomeViewController(ListsController &lists, QWidget *parent = nullptr);

    QLineEdit *wishlistNameTextField() const { return m_nameField; }
    QPushButton *createButton() const { return m_createButton; }

    // Runs after the list was created, before the window closes.
    void setListCreatedHandler(std::function<void()> handler)
    {
        m_listCreated = std::move(handler);
    }

    // Creates the list named in the field, once.
    void createWishlist();

    static constexpr int kWidth = 440;
    static constexpr int kHeight = 380;

protected:
    void showEvent(QShowEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void controlTextDidChange();

    ListsController &m_lists;
    QLineEdit *m_nameField;
    QPushButton *m_createButton;
    std::function<void()> m_listCreated;
    bool m_created = false;
};

} // namespace tanvill
