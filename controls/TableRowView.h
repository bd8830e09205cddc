#pragma once

#include <QPixmap>
#include <QString>
#include <QWidget>

namespace tanvill {

class TableView;

// The base of every row widget a TableView shows: application rows, section-title rows, the
// cells of the detail table. The table tells it whether it floats (a group row held at the
// top of the visible area) and whether it is selected; a subclass paints from those.
class TableRowView : public QWidget
{
    Q_OBJECT
public:
    explicit TableRowView(QWidget *parent = nullptr);

    // The reuse identifier given by TableView::makeView ("ListAppCell", "SectionHeaderCell").
    QString identifier() const { return m_identifier; }
    void setIdentifier(const QString &identifier) { m_identifier = identifier; }

    bool isFloating() const { return m_floating; }
    // Set by the table for its selected row; a row may also mark itself (while its context
    // menu is open). Cleared when the row widget is reused.
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

    // The image under the pointer while the row is dragged: the row as drawn.
    virtual QPixmap snapshot();

    // The table showing the row; none while it is not in one.
    TableView *tableView() const;

protected:
    // After isFloating() or isSelected() changed; repaints by default.
    virtual void rowStateChanged();
    // Rows moved under a pointer that stood still (a drop): whether the pointer is over this
    // row now. Enter and leave events only come once the pointer moves again. Nothing by
    // default.
    virtual void pointerSettled(bool overRow);

private:
    friend class TableView;
    void setFloating(bool floating);

    QString m_identifier;
    bool m_floating = false;
    bool m_selected = false;
};

} // namespace tanvill
