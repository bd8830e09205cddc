#pragma once

#include "controls/ColorWell.h"
#include "core/Theme.h"
#include "lists/ListEditorDelegate.h"

#include <QDialog>
#include <QPointer>

#include <array>
#include <optional>
#include <vector>

class QBoxLayout;
class QLineEdit;
class QVariantAnimation;

namespace tanvill {

class ColorGridView;
class List;
class ListsController;

// The small panel in which the user renames a list and picks its colour from a grid of the
// ten list colours. The list header page shows it as a popover under the list's name. Every
// keystroke renames the stored list and every colour choice recolours it at once; the
// delegate hears of each change. Return, Escape or a click outside closes it; a name left
// empty, or of spaces only, is put back, the change is saved and ListEditorDidUpateListNotification
// is posted. ListCreator, the new-list sheet, builds on it.
class ListEditor : public QDialog, public ColorWellDataSource, public ColorWellDelegate
{
    Q_OBJECT
public:
    // A popover; it deletes itself once closed.
    explicit ListEditor(ListsController &lists, QWidget *parent = nullptr);
    ~ListEditor() override;

    List *list() const { return m_list; }
    // Also remembers the list's name as it is now, to put back a name left empty.
    void setList(List *list);

    // Not owned; a delegate that is a QObject is forgotten when it goes.
    ListEditorDelegate *delegate() const;
    void setDelegate(ListEditorDelegate *delegate);

    QLineEdit *nameTextField() const { return m_nameTextField; }
    ColorWell *colorWell() const { return m_colorWell; }

    // The list colours in the grid's rows: six, then four.
    static const std::array<std::vector<ThemeName>, 2> &colors();
    // The colour at the well's selected position.
    Theme selectedColor() const;
    // Where the list's colour stands in the grid; none without a list or for a colour that
    // is none of the ten.
    std::optional<IndexPath> listColorIndexPath() const;

    // Shows the popover under `anchor`, its arrow pointing at the anchor's middle, kept on
    // the anchor's screen.
    void popUp(QWidget *anchor);

    // The colour grid opens and closes over this time; 0 (or the transitions' instant
    // mode) makes it jump.
    void setAnimationDuration(int milliseconds) { m_animationDuration = milliseconds; }
    bool isColorGridOpen() const;

    // ColorWellDataSource
    unsigned numberOfRowsInColorWell(ColorWell *well) override;
    unsigned numberOfColumnsInColorWell(ColorWell *well) override;
    std::optional<QColor> colorAt(ColorWell *well, IndexPath indexPath) override;
    // ColorWellDelegate
    void wantsToPresentColorGrid(ColorWell *well, ColorGridView *grid) override;
    void wantsToDismissColorGrid(ColorWell *well, ColorGridView *grid) override;

    static constexpr int kArrowHeight = 10;
    static constexpr int kArrowHalfWidth = 10;

protected:
    enum class Presentation { Popover, Sheet };
    ListEditor(ListsController &lists, Presentation presentation, QWidget *parent);

    ListsController &listsController() const { return m_lists; }
    // The column of rows: the name row and the grid's place; subclasses add theirs around.
    QBoxLayout *contentLayout() const { return m_contentLayout; }
    QWidget *gridSlot() const { return m_gridSlot; }
    void setGridOpenMargin(int margin) { m_gridOpenMargin = margin; }

    // The steps of the panel's life, in the order they come.
    virtual void viewDidLoad();
    virtual void controlTextDidChange();
    virtual void controlTextDidEndEditing();
    virtual void colorWellDidSelectColor();

    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void ensureLoaded();
    // Puts back an emptied name, saves and announces the edit, then tells the delegate.
    void closingSteps();
    void animateGrid(bool open);

    ListsController &m_lists;
    Presentation m_presentation;
    List *m_list = nullptr;
    std::optional<QString> m_originalListName;
    std::optional<QString> m_originalColor;
    ListEditorDelegate *m_delegate = nullptr;
    QPointer<QObject> m_delegateObject;
    bool m_delegateIsObject = false;

    QBoxLayout *m_contentLayout = nullptr;
    QLineEdit *m_nameTextField = nullptr;
    ColorWell *m_colorWell = nullptr;
    QWidget *m_gridSlot = nullptr;
    QVariantAnimation *m_gridAnimation = nullptr;
    bool m_gridClosing = false;
    int m_gridOpenMargin = 8;
    int m_animationDuration = 200;
    int m_arrowX = -1;

    bool m_loaded = false;
    bool m_appeared = false;
    bool m_closed = false;
};

} // namespace tanvill
