#pragma once

#include "lists/ListEditorDelegate.h"

#include <QPointer>
#include <QWidget>

namespace tanvill {

class ColoredView;
class HeaderButton;
class ImplicitButton;
class Label;
class List;
class ListEditor;
class ListsController;

// One page of the main window's list header: the list's name on a flat button that opens the
// list editor, a line with the number of applications and their total price, the list's light
// colour behind them, and share and preferences buttons that show while the pointer is over
// the page, or while the keyboard works the page (Tab goes from the name to them). The header pager
// makes one per list it shows. The page keeps its line current on the list's updates and on
// refreshes, and follows every keystroke and colour choice of its editor.
class HeaderViewController : public QWidget, public ListEditorDelegate
{
    Q_OBJECT
public:
    explicit HeaderViewController(ListsController &lists, QWidget *parent = nullptr);
    ~HeaderViewController() override;

    List *list() const { return m_list; }
    // Set before the page is shown; it is painted when it appears.
    void setList(List *list) { m_list = list; }

    // "3 apps - $2.97"; empty without a list.
    QString detailString() const;
    // Paints name, detail line, colours and button images from the list.
    void refreshHeader();

    // Opens the list editor as a popover under the name (once at a time); the menu bar's
    // Edit List command calls it on the page shown.
    void editList();
    // Asks the shell for the list's share sheet over this window, once at a time.
    void shareList();
    void openPreferences();

    ImplicitButton *nameImplicitControl() const { return m_nameImplicitControl; }
    Label *detailLabel() const { return m_detailLabel; }
    ColoredView *backgroundView() const { return m_backgroundView; }
    HeaderButton *shareButton() const { return m_shareButton; }
    HeaderButton *preferencesButton() const { return m_preferencesButton; }
    // The editor open from this page, if any.
    ListEditor *listEditor() const;
    bool isShareSheetShown() const { return m_shareSheetShown; }

    // ListEditorDelegate
    void listEditorDidAppear(ListEditor *editor) override;
    void listEditorDidDisappear(ListEditor *editor) override;
    void listEditorDidEditList(ListEditor *editor, List *list) override;

    QSize sizeHint() const override { return QSize(480, 90); }

signals:
    // The editor changed the list's name or colour (the pager recolours its dots).
    void listEdited(tanvill::List *list);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void setUpObservers();
    void updateDetail();
    void updateShareButton();
    void setHoverButtonsVisible(bool visible);
    void updateHoverButtons();
    void keyboardFocusMoved(QWidget *button, const QFocusEvent *event);
    void layOut();

    ListsController &m_lists;
    List *m_list = nullptr;
    ColoredView *m_backgroundView = nullptr;
    ImplicitButton *m_nameImplicitControl = nullptr;
    Label *m_detailLabel = nullptr;
    HeaderButton *m_shareButton = nullptr;
    HeaderButton *m_preferencesButton = nullptr;
    QPointer<ListEditor> m_editor;
    bool m_shareSheetShown = false;
    bool m_pointerInside = false;
    // The keyboard's focus is on the name or one of the buttons, brought there by the keyboard.
    bool m_keyboardInside = false;
};

} // namespace tanvill
