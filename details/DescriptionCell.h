#pragma once

// The second row of the detail table: the application's store description as plain text,
// wrapped at word boundaries (a word wider than the row breaks anywhere), 15 from either side
// and 20 from the top. The detail view sizes the row with the same measurement.

#include "controls/TableRowView.h"

class QPainter;

namespace tanvill {

class DescriptionCell : public TableRowView
{
    Q_OBJECT
public:
    explicit DescriptionCell(QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);

    // The height of `text` wrapped to `width` (at least 1), drawn at `origin` when a painter is
    // given.
    static int layoutText(const QString &text, int width, QPainter *painter = nullptr,
                          QPointF origin = {});
    static QFont textFont();

    static constexpr int kSideMargin = 15;
    static constexpr int kVerticalMargin = 20;
    static inline const QString kIdentifier = QStringLiteral("DescriptionCell");

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QString m_text;
};

} // namespace tanvill
