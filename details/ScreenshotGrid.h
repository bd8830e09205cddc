#pragma once

// The screenshot viewer of the detail window: the selected screenshot large, over one row of
// thumbnails of all the application's screenshots. Pressing on a thumbnail highlights it, the
// highlight follows the pointer while the button is down, and releasing over a thumbnail selects
// it (the large picture and the notch move to it). The keyboard reaches every thumbnail with Tab
// or, from one of them, the Left and Right arrows, the focus ring on it; Return or Space selects
// it. Pictures load through the image cache, with placeholders standing in. The grid knows nothing
// of applications: a data source (the detail view) gives it the count and each Screenshot record.

#include "core/AppKind.h"

#include <QImage>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace tanvill {

class Screenshot;
class ScreenshotGrid;

class ScreenshotGridDataSource
{
public:
    virtual unsigned numberOfScreenshotsInGrid(ScreenshotGrid *grid) = 0;
    // Asked only for indexes below the count; never null.
    virtual Screenshot *screenshotAtIndex(ScreenshotGrid *grid, int index) = 0;

    virtual ~ScreenshotGridDataSource() = default;
};

// Shows one picture centred, scaled down to fit and never up. The image cache fills it. Once
// shown, a large picture is held only at the size it is shown, shared with every view that
// shows it so: the whole picture stays with the image cache, which gives it again when the
// view grows.
class ScreenshotImageView : public QWidget
{
    Q_OBJECT
public:
    explicit ScreenshotImageView(QWidget *parent = nullptr);

    // The picture as shown: scaled down to the view once it was painted.
    QImage image() const { return m_shown.isNull() ? m_whole : m_shown; }
    void setImage(const QImage &image);
    // The size of the whole picture.
    QSizeF imageSize() const { return m_imageSize; }
    // Where the picture is drawn now, in the view's coordinates.
    QRect imageRect() const;

    // A whole picture up to this size is kept: a placeholder, a small picture.
    static constexpr qsizetype kKeptWholeBytes = 256 * 1024;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    // Scales the picture to the size it is shown at and lets go of a large whole picture.
    void fit();
    // Asks the image cache for the whole picture again.
    void fetchWhole();

    QImage m_whole;
    QImage m_shown;
    QSizeF m_imageSize;
    bool m_fetching = false;
};

// One thumbnail: a framed picture, lightly filled while highlighted. It takes the focus from the
// keyboard only; the grid answers the keys and the pointer.
class MiniatureScreenshotCell : public QWidget
{
    Q_OBJECT
public:
    explicit MiniatureScreenshotCell(QWidget *parent = nullptr);

    ScreenshotImageView *imageView() const { return m_imageView; }
    bool isSelected() const { return m_selected; }
    void setSelected(bool selected);

    static constexpr int kImageInset = 10;

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    ScreenshotImageView *m_imageView;
    bool m_selected = false;
};

// The small notch pointing down into the selected thumbnail.
class SelectionIndicator : public QWidget
{
    Q_OBJECT
public:
    explicit SelectionIndicator(QWidget *parent = nullptr);

protected:
    void paintEvent(QPaintEvent *event) override;
};

class ScreenshotGrid : public QWidget
{
    Q_OBJECT
public:
    explicit ScreenshotGrid(QWidget *parent = nullptr);
    ~ScreenshotGrid() override;

    // Not owned; a data source that is a QObject is forgotten when it goes. Setting it (also
    // to none) reloads.
    ScreenshotGridDataSource *dataSource() const;
    void setDataSource(ScreenshotGridDataSource *dataSource);

    // Rebuilds the thumbnails from the data source and selects the first screenshot; does
    // nothing without a data source.
    void reloadData();

    int selectedIndex() const { return m_selectedIndex; }
    const std::vector<MiniatureScreenshotCell *> &cells() const { return m_cells; }
    ScreenshotImageView *selectedImageView() const { return m_selectedImageView; }
    SelectionIndicator *selectionIndicator() const { return m_selectionIndicator; }

    // The first size of a thumbnail for an application of that kind.
    static QSize thumbnailSize(AppKind kind);
    // The placeholder a thumbnail shows while its picture loads, and the large view's.
    static QImage thumbnailPlaceholder(AppKind kind);
    static QImage selectedPlaceholder();

    static constexpr int kMargin = 20;
    static constexpr int kThumbnailRowHeight = 70;
    static constexpr QSize kIndicatorSize { 15, 10 };
    static constexpr int kBorderWidth = 1;

signals:
    // A thumbnail took the keyboard focus: whatever scrolls the grid brings it into view.
    void thumbnailFocused(QWidget *thumbnail);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    void clear();
    void setSelectedIndex(int index);
    void track(const QPoint &point, bool released);
    // Left, Right, Return and Space on the focused thumbnail at `index`; false for other keys.
    bool thumbnailKeyPressed(int index, const QKeyEvent *event);
    void thumbnailArrived(int index, AppKind kind);
    void layoutThumbnails();
    void placeIndicator();
    void loadSelectedImage();

    ScreenshotGridDataSource *m_dataSource = nullptr;
    QPointer<QObject> m_dataSourceObject;
    bool m_dataSourceIsObject = false;

    int m_selectedIndex = 0;
    std::vector<MiniatureScreenshotCell *> m_cells;
    // The size each thumbnail asks for, before the row is fitted to the grid's width.
    std::vector<QSize> m_cellSizes;
    ScreenshotImageView *m_selectedImageView;
    SelectionIndicator *m_selectionIndicator;
    // The cell the notch sits in; it moves only when a selection is made.
    QPointer<MiniatureScreenshotCell> m_indicatorCell;
    // Counts reloads, so that a picture that arrives for an earlier set of thumbnails
    // changes nothing.
    quint64 m_generation = 0;
};

} // namespace tanvill
