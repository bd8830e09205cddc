#pragma once

// The row widget of a section title ("SectionHeaderCell", 22 px) in the list table and the
// archive window: the title on a dark grey band, black while the row floats at the top of the
// table.

#include "controls/TableRowView.h"

namespace tanvill {

class Label;

class SectionHeaderCell : public TableRowView
{
    Q_OBJECT
public:
    static inline const QString kIdentifier = QStringLiteral("SectionHeaderCell");
    static constexpr int kRowHeight = 22;

    explicit SectionHeaderCell(QWidget *parent = nullptr);

    // The title is set through the label's stringValue, shortened to the row's width.
    Label *label() const { return m_label; }

    // The band's colour as drawn now.
    QColor fillColor() const;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    Label *m_label;
};

} // namespace tanvill
