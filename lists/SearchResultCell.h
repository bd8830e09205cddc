#pragma once

#include "controls/TableRowView.h"

namespace tanvill {

class AppIconView;
class BorderedButton;
class Label;
class RatingView;

// One row of the search results, 70 pixels high: the result's icon, its name, its star rating
// (in the "SearchResultCell_Rating" layout only) and an Add button at the right. The results
// controller fills it; the row adds no behaviour of its own.
class SearchResultCell : public TableRowView
{
    Q_OBJECT
public:
    enum class Layout { Rating, NoRating };

    explicit SearchResultCell(Layout layout, QWidget *parent = nullptr);

    AppIconView *iconView() const { return m_iconView; }
    Label *nameLabel() const { return m_nameLabel; }
    BorderedButton *addButton() const { return m_addButton; }
    // None in the "SearchResultCell_NoRating" layout.
    RatingView *ratingView() const { return m_ratingView; }

    // The row of the results the cell shows now, kept for its Add button.
    int row() const { return m_row; }
    void setRow(int row) { m_row = row; }

    static inline const QString kRatingIdentifier = QStringLiteral("SearchResultCell_Rating");
    static inline const QString kNoRatingIdentifier = QStringLiteral("SearchResultCell_NoRating");
    static constexpr int kHeight = 70;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    AppIconView *m_iconView;
    Label *m_nameLabel;
    BorderedButton *m_addButton;
    RatingView *m_ratingView = nullptr;
    int m_row = -1;
};

} // namespace tanvill
