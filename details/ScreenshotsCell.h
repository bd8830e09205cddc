#pragma once

// The first row of the detail table: the screenshot viewer across the row, or a quiet note
// when the application has no screenshots.

#include "controls/TableRowView.h"

namespace tanvill {

class ScreenshotGrid;

class ScreenshotsCell : public TableRowView
{
    Q_OBJECT
public:
    explicit ScreenshotsCell(QWidget *parent = nullptr);

    ScreenshotGrid *screenshotGrid() const { return m_screenshotGrid; }

    static inline const QString kIdentifier = QStringLiteral("ScreenshotsCell");

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    void scrollToVisible(const QWidget *thumbnail);

    ScreenshotGrid *m_screenshotGrid;
};

} // namespace tanvill
