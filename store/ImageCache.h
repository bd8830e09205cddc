#pragma once

// Icons and screenshots by link, kept at two levels: decoded images in memory (within a
// byte budget) for the running process, and the downloaded bytes on disk across runs. Requests
// for one link share one disk read and one download. Bookkeeping lives on the UI thread;
// file reads, writes and decoding run on worker threads, which hand images back to it. The
// image-view binding of the windows is the one user.

#include <QCache>
#include <QHash>
#include <QImage>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>

class QThreadPool;

namespace tanvill {

class ImageCache : public QObject
{
    Q_OBJECT

public:
    // Called on the UI thread with the link that was asked for and its image.
    using Completion = std::function<void(const QString &url, const QImage &image)>;

    static constexpr qint64 kDefaultMemoryBudgetBytes = 128LL * 1024 * 1024;
    static constexpr qint64 kScaledMemoryBudgetBytes = 16LL * 1024 * 1024;
    // Larger bodies are not images we show; they are refused before decoding.
    static constexpr qint64 kMaxBodyBytes = 20LL * 1024 * 1024;
    static constexpr int kMaxImageSide = 8192;
    static constexpr qint64 kMaxImagePixels = 40LL * 1000 * 1000;

    // The application's cache (see SharedInstance.h); use it on the UI thread.
    static ImageCache &shared();

    explicit ImageCache(const QString &cacheDirectory = defaultCacheDirectory());
    ~ImageCache() override;

    // Answers later on the UI thread, once, unless the image cannot be had (a failed or
    // non-image download); then nothing is called and the next request tries again.
    void imageForUrl(const QString &url, Completion completion);
    // The image when it is in memory now; for views that want to avoid a placeholder flash.
    QImage cachedImage(const QString &url) const;
    // `image` scaled smoothly to `pixels` (with that device pixel ratio), made once and shared:
    // the thumbnails of one picture at one size in several windows are one picture. Scaled
    // pictures are kept within a budget of their own while no view holds them.
    QImage scaledImage(const QImage &image, const QSize &pixels, qreal devicePixelRatio = 1.0);

    // The file name of a link's disk copy: a hash of the whole link, so that links differing
    // in any part never share a file and every name is short and safe.
    static QString cacheFileName(const QString &url);
    static QString defaultCacheDirectory();
    QString cacheDirectory() const { return m_cacheDirectory; }

    void setMemoryBudgetBytes(qint64 bytes);
    qint64 memoryBudgetBytes() const { return m_memory.maxCost(); }
    qint64 memoryCostBytes() const { return m_memory.totalCost(); }
    void clearMemory();
    // Links whose disk read or download is under way.
    int loadingLinkCount() const { return int(m_waiting.size()); }
    // Waits for pending file writes (tests, benchmarks, quitting).
    void waitForWrites();

    // Decodes `bytes` when they hold one complete image of a sensible size; otherwise a null
    // image. Safe on any thread.
    static QImage decodeImage(const QByteArray &bytes);

private:
    void lookUpDisk(const QString &url);
    void download(const QString &url);
    void deliver(const QString &url, const QImage &image);
    void fail(const QString &url);
    void remember(const QString &url, const QImage &image);

    QString m_cacheDirectory;
    QCache<QString, QImage> m_memory;
    // Scaled pictures by source picture, size and density.
    QCache<QString, QImage> m_scaled;
    // Requests waiting for a disk read or a download; a link is here while that work runs.
    QHash<QString, QList<Completion>> m_waiting;
    std::unique_ptr<QThreadPool> m_readers;
    std::unique_ptr<QThreadPool> m_writer;
};

// The shared placeholder of application icons, "app-placeholder" from the resources.
QImage appPlaceholderImage();

} // namespace tanvill
