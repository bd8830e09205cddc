#include "store/ImageCache.h"

#include "platform/HttpClient.h"
#include "platform/Identity.h"
#include "platform/MainQueue.h"
#include "platform/SharedInstance.h"
#include "platform/WebLink.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDebug>
#include <QFile>
#include <QImageReader>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThreadPool>
#include <QUrl>

#include <filesystem>
#include <optional>
#include <system_error>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tanvill {

namespace {

// A body cut short can still decode into a half-grey picture; formats that end with a marker
// must end with it.
bool endsCompletely(const QByteArray &bytes, const QByteArray &format)
{
    if (format == "png")
        return bytes.size() >= 12 && bytes.mid(bytes.size() - 8, 4) == "IEND";
    if (format == "jpeg" || format == "jpg")
        return bytes.right(32).contains("\xFF\xD9");
    if (format == "gif")
        return bytes.endsWith('\x3B');
    return true;
}

bool isSensibleSize(const QSize &size)
{
    return size.isValid() && !size.isEmpty() && size.width() <= ImageCache::kMaxImageSide
        && size.height() <= ImageCache::kMaxImageSide
        && qint64(size.width()) * size.height() <= ImageCache::kMaxImagePixels;
}

// Makes the folder with its missing parents; a failure is one console line and the cache
// goes on from memory.
void createCacheDirectory(const QString &directory)
{
    std::error_code error;
    const std::filesystem::path path(QFile::encodeName(directory).toStdString());
    if (std::filesystem::is_directory(path, error))
        return;
    std::filesystem::create_directories(path, error);
    if (!error && !std::filesystem::is_directory(path, error))
        error = std::make_error_code(std::errc::not_a_directory);
    if (error) {
        qWarning().noquote() << QStringLiteral("Error creating cache directory: %1, {path: %2}")
                                    .arg(QString::fromStdString(error.message()), directory);
    }
}

// The bytes of a cache file. Only a regular file of at most kMaxBodyBytes is read: the entry
// is opened without following a link and without waiting (a FIFO or a device would block or
// never end), and an entry that is no regular file is taken out of the folder, so that the
// picture is fetched again and stored in its place. No value: read nothing.
std::optional<QByteArray> readCacheFile(const QString &path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        // A link (ELOOP) or a socket (ENXIO) cannot be opened like this; neither is ours.
        if (errno == ELOOP || errno == ENXIO)
            ::unlink(name.constData());
        return std::nullopt;
    }
    struct stat status
    {
    };
    std::optional<QByteArray> bytes;
    if (::fstat(fd, &status) != 0) {
        // Nothing known about the entry: leave it.
    } else if (!S_ISREG(status.st_mode)) {
        if (!S_ISDIR(status.st_mode))
            ::unlink(name.constData());
    } else if (status.st_size <= ImageCache::kMaxBodyBytes) {
        // One byte more than allowed tells a file that grew since it was looked at.
        QByteArray buffer(qsizetype(status.st_size) + 1, Qt::Uninitialized);
        qsizetype filled = 0;
        while (filled < buffer.size()) {
            const ssize_t count
                = ::read(fd, buffer.data() + filled, size_t(buffer.size() - filled));
            if (count < 0 && errno == EINTR)
                continue;
            if (count <= 0)
                break;
            filled += count;
        }
        if (filled <= status.st_size) {
            buffer.truncate(filled);
            bytes = std::move(buffer);
        }
    }
    ::close(fd);
    return bytes;
}

// An opaque picture whose format has room for transparency is drawn with blending all the
// same; without that room it is drawn by copying.
QImage withoutUnusedAlpha(QImage image)
{
    if (image.format() != QImage::Format_ARGB32_Premultiplied
        && image.format() != QImage::Format_ARGB32)
        return image;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) != 255)
                return image;
        }
    }
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace

ImageCache &ImageCache::shared()
{
    Q_ASSERT(MainQueue::isMainThread());
    return SharedInstance<ImageCache>::get("ImageCache::shared");
}

ImageCache::ImageCache(const QString &cacheDirectory)
    : m_cacheDirectory(cacheDirectory), m_readers(std::make_unique<QThreadPool>()),
      m_writer(std::make_unique<QThreadPool>())
{
    m_memory.setMaxCost(kDefaultMemoryBudgetBytes);
    m_scaled.setMaxCost(kScaledMemoryBudgetBytes);
    m_readers->setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, 4));
    m_readers->setObjectName(bundleIdentifier() + QStringLiteral(".ImageCache.Read"));
    // One writer keeps file writes in order and behind the folder's creation.
    m_writer->setMaxThreadCount(1);
    m_writer->setObjectName(bundleIdentifier() + QStringLiteral(".ImageCache.Write"));
    m_writer->start([directory = m_cacheDirectory] { createCacheDirectory(directory); });
    // The first rows of the first window show it: it is read meanwhile.
    m_readers->start([] { appPlaceholderImage(); });
}

ImageCache::~ImageCache()
{
    m_readers->waitForDone();
    m_writer->waitForDone();
}

QString ImageCache::defaultCacheDirectory()
{
    return applicationFolder(QStandardPaths::GenericCacheLocation) + QStringLiteral("/ImageCache");
}

QString ImageCache::cacheFileName(const QString &url)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(url.toUtf8(), QCryptographicHash::Sha256).toHex());
}

void ImageCache::imageForUrl(const QString &url, Completion completion)
{
    Q_ASSERT(MainQueue::isMainThread());
    if (const QImage *image = m_memory.object(url)) {
        QMetaObject::invokeMethod(
            this,
            [url, image = *image, completion = std::move(completion)] { completion(url, image); },
            Qt::QueuedConnection);
        return;
    }
    // Such a link can never be downloaded, so nothing was ever stored for it either.
    if (!isWebLink(url))
        return;
    auto waiting = m_waiting.find(url);
    if (waiting != m_waiting.end()) {
        waiting->append(std::move(completion));
        return;
    }
    m_waiting.insert(url, { std::move(completion) });
    lookUpDisk(url);
}

QImage ImageCache::cachedImage(const QString &url) const
{
    const QImage *image = m_memory.object(url);
    return image ? *image : QImage();
}

QImage ImageCache::scaledImage(const QImage &image, const QSize &pixels, qreal devicePixelRatio)
{
    Q_ASSERT(MainQueue::isMainThread());
    if (image.isNull() || pixels.isEmpty())
        return image;
    if (image.size() == pixels && qFuzzyCompare(image.devicePixelRatio(), devicePixelRatio))
        return image;
    // A picture's key names its pixels: copies share it, and it is never used again for others.
    const QString key = QStringLiteral("%1@%2x%3*%4")
                            .arg(image.cacheKey())
                            .arg(pixels.width())
                            .arg(pixels.height())
                            .arg(devicePixelRatio);
    if (const QImage *scaled = m_scaled.object(key))
        return *scaled;
    QImage scaled
        = withoutUnusedAlpha(image.size() == pixels ? image.copy()
                                                    : image.scaled(pixels, Qt::IgnoreAspectRatio,
                                                                   Qt::SmoothTransformation));
    scaled.setDevicePixelRatio(devicePixelRatio);
    m_scaled.insert(key, new QImage(scaled), qMax<qsizetype>(1, scaled.sizeInBytes()));
    return scaled;
}

void ImageCache::lookUpDisk(const QString &url)
{
    const QString path = m_cacheDirectory + QLatin1Char('/') + cacheFileName(url);
    m_readers->start([this, url, path] {
        QImage image;
        if (const std::optional<QByteArray> bytes = readCacheFile(path))
            image = decodeImage(*bytes);
        QMetaObject::invokeMethod(
            this,
            [this, url, image] {
                if (image.isNull()) {
                    download(url);
                    return;
                }
                remember(url, image);
                deliver(url, image);
            },
            Qt::QueuedConnection);
    });
}

void ImageCache::download(const QString &url)
{
    HttpRequestOptions options;
    options.bypassCache = true;
    options.maxBodyBytes = kMaxBodyBytes;
    options.context = this;
    HttpClient::shared().get(
        QUrl(url, QUrl::StrictMode),
        [this, url](const HttpResult &result) {
            if (!result.isSuccess() || result.body.isEmpty()) {
                fail(url);
                return;
            }
            const QString path = m_cacheDirectory + QLatin1Char('/') + cacheFileName(url);
            m_readers->start([this, url, path, body = result.body] {
                const QImage image = decodeImage(body);
                QMetaObject::invokeMethod(
                    this,
                    [this, url, path, body, image] {
                        if (image.isNull()) {
                            fail(url);
                            return;
                        }
                        remember(url, image);
                        m_writer->start([path, body] {
                            // The bytes as the server sent them, replaced in one step.
                            QSaveFile file(path);
                            if (file.open(QIODevice::WriteOnly) && file.write(body) == body.size())
                                file.commit();
                        });
                        deliver(url, image);
                    },
                    Qt::QueuedConnection);
            });
        },
        options);
}

void ImageCache::deliver(const QString &url, const QImage &image)
{
    const QList<Completion> completions = m_waiting.take(url);
    for (const Completion &completion : completions)
        completion(url, image);
}

void ImageCache::fail(const QString &url)
{
    m_waiting.remove(url);
}

void ImageCache::remember(const QString &url, const QImage &image)
{
    m_memory.insert(url, new QImage(image), qMax<qsizetype>(1, image.sizeInBytes()));
}

void ImageCache::setMemoryBudgetBytes(qint64 bytes)
{
    m_memory.setMaxCost(qMax<qint64>(0, bytes));
}

void ImageCache::clearMemory()
{
    m_memory.clear();
    m_scaled.clear();
}

void ImageCache::waitForWrites()
{
    m_writer->waitForDone();
}

QImage ImageCache::decodeImage(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (bytes.isEmpty() || !buffer.open(QIODevice::ReadOnly))
        return {};
    QImageReader reader(&buffer);
    reader.setDecideFormatFromContent(true);
    if (!reader.canRead())
        return {};
    const QSize announced = reader.size();
    if (announced.isValid() && !isSensibleSize(announced))
        return {};
    if (!endsCompletely(bytes, reader.format()))
        return {};
    QImage image;
    if (!reader.read(&image) || !isSensibleSize(image.size()))
        return {};
    // The format the raster engine draws fastest, worked out here rather than on the UI thread.
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

QImage appPlaceholderImage()
{
    // In the raster engine's own format, so views take it without a conversion each time.
    static const QImage placeholder = QImage(QStringLiteral(":/images/app-placeholder.png"))
                                          .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    return placeholder;
}

} // namespace tanvill
