#include "details/ScreenshotGrid.h"

#include "controls/Images.h"
#include "core/App.h"
#include "core/Screenshot.h"
#include "details/DetailImages.h"
#include "store/ImageCache.h"
#include "store/widgets/ImageViewBinding.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <numeric>

namespace tanvill {

namespace {

const QColor kBorderColor = QColor::fromRgbF(0.75f, 0.75f, 0.75f, 0.5f);
const QColor kHighlightColor = QColor::fromRgbF(1.0f, 1.0f, 1.0f, 0.075f);

// A phone screenshot that is not portrait gets a wide, low thumbnail; a portrait tablet
// screenshot a narrow one.
constexpr QSize kLandscapePhoneSize { 100, 56 };
constexpr int kPortraitPadWidth = 52;

QImage placeholder(const QString &name, const QSize &size)
{
    loadDetailImages();
    return Images::pixmap(name, size).toImage();
}

AppKind kindOf(const Screenshot *screenshot)
{
    // A screenshot no longer held by an application is shown as a phone's.
    const App *app = screenshot ? screenshot->app() : nullptr;
    return app ? app->appKind() : AppKind::Phone;
}

} // namespace

// ScreenshotImageView

ScreenshotImageView::ScreenshotImageView(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ScreenshotImageView::setImage(const QImage &image)
{
    m_whole = image;
    m_shown = QImage();
    m_imageSize = image.isNull() ? QSizeF() : image.deviceIndependentSize();
    m_fetching = false;
    update();
}

QRect ScreenshotImageView::imageRect() const
{
    if (m_imageSize.isEmpty())
        return {};
    QSizeF shown = m_imageSize;
    if (shown.width() > width() || shown.height() > height())
        shown = m_imageSize.scaled(QSizeF(size()), Qt::KeepAspectRatio);
    const QSize rounded(std::max(1, qRound(shown.width())), std::max(1, qRound(shown.height())));
    return QRect(QPoint((width() - rounded.width()) / 2, (height() - rounded.height()) / 2),
                 rounded);
}

void ScreenshotImageView::fit()
{
    const QRect target = imageRect();
    if (target.isEmpty() || width() <= 0 || height() <= 0)
        return;
    const qreal ratio = devicePixelRatioF();
    const QSize pixels = (QSizeF(target.size()) * ratio).toSize();
    if (!m_shown.isNull() && m_shown.size() == pixels)
        return;
    QImage whole = m_whole;
    if (whole.isNull()) {
        whole = ImageCache::shared().cachedImage(wantedImageUrl(this));
        if (whole.isNull() || whole.deviceIndependentSize() != m_imageSize) {
            // Until it comes, the picture held is drawn at the new size.
            fetchWhole();
            return;
        }
    }
    // Scaled once per size: repainting (hover, selection, scrolling) only copies pixels.
    m_shown = ImageCache::shared().scaledImage(whole, pixels, ratio);
    if (whole.sizeInBytes() > kKeptWholeBytes)
        m_whole = QImage();
}

void ScreenshotImageView::fetchWhole()
{
    const QString url = wantedImageUrl(this);
    if (m_fetching || url.isEmpty())
        return;
    m_fetching = true;
    const QPointer<ScreenshotImageView> view(this);
    ImageCache::shared().imageForUrl(url, [view](const QString &answered, const QImage &image) {
        if (!view || !view->m_fetching || wantedImageUrl(view) != answered
            || image.deviceIndependentSize() != view->m_imageSize)
            return;
        view->m_fetching = false;
        view->m_whole = image;
        view->fit();
        view->update();
    });
}

void ScreenshotImageView::paintEvent(QPaintEvent *)
{
    // Fitted when painted: sizes a view passes through while it is laid out cost nothing.
    fit();
    const QRect target = imageRect();
    const QImage shown = image();
    if (target.isEmpty() || shown.isNull())
        return;
    QPainter painter(this);
    if (shown.deviceIndependentSize() == QSizeF(target.size())) {
        painter.drawImage(target.topLeft(), shown);
        return;
    }
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRectF(target), shown);
}

// MiniatureScreenshotCell

MiniatureScreenshotCell::MiniatureScreenshotCell(QWidget *parent)
    : QWidget(parent), m_imageView(new ScreenshotImageView(this))
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::TabFocus);
}

void MiniatureScreenshotCell::setSelected(bool selected)
{
    m_selected = selected;
    update();
}

void MiniatureScreenshotCell::resizeEvent(QResizeEvent *)
{
    m_imageView->setGeometry(rect().adjusted(kImageInset, kImageInset, -kImageInset, -kImageInset));
}

void MiniatureScreenshotCell::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    if (m_selected)
        painter.fillRect(rect(), kHighlightColor);
    painter.setPen(QPen(kBorderColor, ScreenshotGrid::kBorderWidth));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

// SelectionIndicator

SelectionIndicator::SelectionIndicator(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    resize(ScreenshotGrid::kIndicatorSize);
}

void SelectionIndicator::paintEvent(QPaintEvent *)
{
    // A triangle whose base runs along the top edge and whose tip points down.
    QPainterPath path;
    path.moveTo(0, 0);
    path.lineTo(width(), 0);
    path.lineTo(width() / 2.0, height());
    path.closeSubpath();
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, kBorderColor);
}

// ScreenshotGrid

ScreenshotGrid::ScreenshotGrid(QWidget *parent)
    : QWidget(parent), m_selectedImageView(new ScreenshotImageView(this)),
      m_selectionIndicator(new SelectionIndicator(this))
{
    m_selectedImageView->hide();
    m_selectionIndicator->hide();
}

ScreenshotGrid::~ScreenshotGrid() = default;

ScreenshotGridDataSource *ScreenshotGrid::dataSource() const
{
    if (m_dataSourceIsObject && !m_dataSourceObject)
        return nullptr;
    return m_dataSource;
}

void ScreenshotGrid::setDataSource(ScreenshotGridDataSource *dataSource)
{
    m_dataSource = dataSource;
    m_dataSourceObject = dynamic_cast<QObject *>(dataSource);
    m_dataSourceIsObject = m_dataSourceObject != nullptr;
    reloadData();
}

QSize ScreenshotGrid::thumbnailSize(AppKind kind)
{
    switch (kind) {
    case AppKind::Mac:
        return { 100, kThumbnailRowHeight };
    case AppKind::Pad:
        return { 93, kThumbnailRowHeight };
    case AppKind::Phone:
        break;
    }
    return { 48, kThumbnailRowHeight };
}

QImage ScreenshotGrid::thumbnailPlaceholder(AppKind kind)
{
    const QSize size = thumbnailSize(kind) - QSize(2, 2) * MiniatureScreenshotCell::kImageInset;
    switch (kind) {
    case AppKind::Mac: {
        static const QImage image = placeholder(QStringLiteral("screenshot-mac-placeholder"), size);
        return image;
    }
    case AppKind::Pad: {
        static const QImage image
            = placeholder(QStringLiteral("screenshot-ipad-placeholder"), size);
        return image;
    }
    case AppKind::Phone:
        break;
    }
    static const QImage image = placeholder(QStringLiteral("screenshot-iphone-placeholder"), size);
    return image;
}

QImage ScreenshotGrid::selectedPlaceholder()
{
    static const QImage image
        = placeholder(QStringLiteral("selected-screenshot-placeholder"), QSize(160, 120));
    return image;
}

void ScreenshotGrid::clear()
{
    ++m_generation;
    for (MiniatureScreenshotCell *cell : m_cells)
        delete cell;
    m_cells.clear();
    m_cellSizes.clear();
    m_selectedImageView->hide();
    m_selectionIndicator->hide();
}

void ScreenshotGrid::reloadData()
{
    ScreenshotGridDataSource *source = dataSource();
    if (!source)
        return;
    clear();
    // Every reload starts on the first screenshot, so the large picture, the highlight and the
    // notch always agree, also when the new set is smaller than the old.
    m_selectedIndex = 0;
    const int count = int(std::min<unsigned>(source->numberOfScreenshotsInGrid(this), 1000));
    if (count == 0)
        return;

    const quint64 generation = m_generation;
    for (int i = 0; i < count; ++i) {
        auto *cell = new MiniatureScreenshotCell(this);
        cell->installEventFilter(this);
        cell->setSelected(i == m_selectedIndex);
        m_cells.push_back(cell);
        const Screenshot *screenshot = source->screenshotAtIndex(this, i);
        const AppKind kind = kindOf(screenshot);
        m_cellSizes.push_back(thumbnailSize(kind));
        if (i == m_selectedIndex)
            m_indicatorCell = cell;
        const QPointer<ScreenshotGrid> grid(this);
        setImageUrl(cell->imageView(), screenshot ? screenshot->url() : QString(),
                    thumbnailPlaceholder(kind), [grid, generation, i, kind] {
                        if (grid && grid->m_generation == generation)
                            grid->thumbnailArrived(i, kind);
                    });
    }
    m_selectedImageView->show();
    loadSelectedImage();
    layoutThumbnails();
    for (MiniatureScreenshotCell *cell : m_cells)
        cell->show();
    m_selectionIndicator->raise();
    m_selectionIndicator->show();
}

void ScreenshotGrid::thumbnailArrived(int index, AppKind kind)
{
    if (index < 0 || index >= int(m_cells.size()) || kind == AppKind::Mac)
        return;
    const QSizeF image = m_cells[size_t(index)]->imageView()->imageSize();
    if (image.isEmpty())
        return;
    const bool portrait = image.width() < image.height();
    QSize &size = m_cellSizes[size_t(index)];
    if (kind == AppKind::Phone && !portrait)
        size = kLandscapePhoneSize;
    else if (kind == AppKind::Pad && portrait)
        size.setWidth(kPortraitPadWidth);
    else
        return;
    layoutThumbnails();
}

void ScreenshotGrid::layoutThumbnails()
{
    const int count = int(m_cells.size());
    m_selectedImageView->setGeometry(kMargin, kMargin, std::max(0, width() - 2 * kMargin),
                                     std::max(0, height() - 2 * kMargin - kThumbnailRowHeight));
    if (count == 0)
        return;

    // A row wider than the grid is narrowed evenly, so every thumbnail stays in view and can
    // be clicked.
    std::vector<int> widths;
    widths.reserve(size_t(count));
    for (const QSize &size : m_cellSizes)
        widths.push_back(size.width());
    const int natural = std::accumulate(widths.begin(), widths.end(), 0);
    if (natural > width() && width() > 0) {
        const double factor = double(width()) / natural;
        for (int &w : widths)
            w = std::max(1, int(w * factor));
    }
    const int total = std::accumulate(widths.begin(), widths.end(), 0);

    // Two thumbnails meet at the middle; otherwise the row is centred.
    int x = (width() - total) / 2;
    const int middle = width() / 2;
    if (count == 2 && widths[0] <= middle && widths[1] <= width() - middle)
        x = middle - widths[0];
    for (int i = 0; i < count; ++i) {
        const int h = m_cellSizes[size_t(i)].height();
        m_cells[size_t(i)]->setGeometry(x, height() - h, widths[size_t(i)], h);
        x += widths[size_t(i)];
    }
    placeIndicator();
}

void ScreenshotGrid::placeIndicator()
{
    if (!m_indicatorCell)
        return;
    const QRect cell = m_indicatorCell->geometry();
    m_selectionIndicator->setGeometry(cell.x() + (cell.width() - kIndicatorSize.width()) / 2,
                                      cell.y() + kBorderWidth, kIndicatorSize.width(),
                                      kIndicatorSize.height());
}

void ScreenshotGrid::loadSelectedImage()
{
    ScreenshotGridDataSource *source = dataSource();
    if (!source || m_selectedIndex < 0 || m_selectedIndex >= int(m_cells.size()))
        return;
    const Screenshot *screenshot = source->screenshotAtIndex(this, m_selectedIndex);
    setImageUrl(m_selectedImageView, screenshot ? screenshot->url() : QString(),
                selectedPlaceholder());
}

void ScreenshotGrid::setSelectedIndex(int index)
{
    const int count = int(m_cells.size());
    if (m_selectedIndex >= 0 && m_selectedIndex < count)
        m_cells[size_t(m_selectedIndex)]->setSelected(false);
    m_selectedIndex = index;
    if (index < 0 || index >= count)
        return;
    m_cells[size_t(index)]->setSelected(true);
    m_indicatorCell = m_cells[size_t(index)];
    placeIndicator();
    loadSelectedImage();
}

void ScreenshotGrid::track(const QPoint &point, bool released)
{
    bool hit = false;
    for (int i = 0; i < int(m_cells.size()); ++i) {
        MiniatureScreenshotCell *cell = m_cells[size_t(i)];
        if (cell->geometry().contains(point)) {
            cell->setSelected(true);
            if (released) {
                setSelectedIndex(i);
                hit = true;
            }
        } else if (cell->isSelected()) {
            cell->setSelected(false);
        }
    }
    if (released && !hit && m_selectedIndex >= 0 && m_selectedIndex < int(m_cells.size()))
        m_cells[size_t(m_selectedIndex)]->setSelected(true);
}

bool ScreenshotGrid::eventFilter(QObject *watched, QEvent *event)
{
    const auto cell = std::find(m_cells.begin(), m_cells.end(), watched);
    if (cell == m_cells.end())
        return QWidget::eventFilter(watched, event);
    const int index = int(cell - m_cells.begin());
    if (event->type() == QEvent::FocusIn)
        emit thumbnailFocused(*cell);
    else if (event->type() == QEvent::KeyPress)
        return thumbnailKeyPressed(index, static_cast<QKeyEvent *>(event));
    return false;
}

bool ScreenshotGrid::thumbnailKeyPressed(int index, const QKeyEvent *event)
{
    if ((event->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier)
        return false;
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        // The arrows walk the row as Tab does, and stop at its ends.
        const int next = index + (event->key() == Qt::Key_Left ? -1 : 1);
        if (next >= 0 && next < int(m_cells.size()))
            m_cells[size_t(next)]->setFocus(event->key() == Qt::Key_Left ? Qt::BacktabFocusReason
                                                                         : Qt::TabFocusReason);
        return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        setSelectedIndex(index);
        return true;
    default:
        return false;
    }
}

void ScreenshotGrid::resizeEvent(QResizeEvent *)
{
    layoutThumbnails();
}

void ScreenshotGrid::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    track(event->position().toPoint(), false);
}

void ScreenshotGrid::mouseMoveEvent(QMouseEvent *event)
{
    if (!(event->buttons() & Qt::LeftButton))
        return;
    track(event->position().toPoint(), false);
}

void ScreenshotGrid::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton)
        return;
    track(event->position().toPoint(), true);
}

} // namespace tanvill
