// Times showing 500 application icons through the image cache: from the disk level with an
// empty memory level, and from memory; with the UI thread's busy time per icon (the work the
// binding and the cache's answers cost the event loop). Views are not shown, so painting is
// not counted.

#include "store/ImageCache.h"
#include "store/widgets/ImageViewBinding.h"
#include "support/FakeHttpServer.h"
#include "support/TestImages.h"
#include "support/TestServices.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPainter>

#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

using namespace tanvill;

namespace {

constexpr int kIcons = 500;
constexpr int kIconSide = 512;

// Sums the time the UI thread spends awake (between waking and blocking again).
class BusyMeter
{
public:
    BusyMeter()
    {
        auto *dispatcher = QAbstractEventDispatcher::instance();
        QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, dispatcher, [this] {
            if (!m_awake.isValid())
                m_awake.start();
        });
        QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, dispatcher, [this] {
            if (m_measuring && m_awake.isValid())
                m_busyNs += m_awake.nsecsElapsed();
            m_awake.invalidate();
        });
    }
    void start()
    {
        m_busyNs = 0;
        m_measuring = true;
        m_awake.start();
    }
    void addSynchronous(qint64 nanoseconds) { m_busyNs += nanoseconds; }
    double stopMs()
    {
        if (m_awake.isValid())
            m_busyNs += m_awake.nsecsElapsed();
        m_awake.invalidate();
        m_measuring = false;
        return m_busyNs / 1e6;
    }

private:
    QElapsedTimer m_awake;
    qint64 m_busyNs = 0;
    bool m_measuring = false;
};

// An icon-like picture that compresses about as well as a real one.
QByteArray iconBytes()
{
    QImage image(kIconSide, kIconSide, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient gradient(0, 0, kIconSide, kIconSide);
    gradient.setColorAt(0, QColor(40, 120, 220));
    gradient.setColorAt(1, QColor(230, 90, 60));
    painter.setBrush(gradient);
    painter.setPen(Qt::NoPen);
    painter.drawRoundedRect(QRectF(0, 0, kIconSide, kIconSide), 110, 110);
    for (int i = 0; i < 60; ++i) {
        painter.setBrush(QColor::fromHsv((i * 37) % 360, 160, 240, 120));
        painter.drawEllipse(QPointF((i * 97) % kIconSide, (i * 53) % kIconSide), 30 + i % 40,
                            20 + i % 30);
    }
    painter.end();
    return test::pngOf(image);
}

void print(const char *name, double value, const char *unit)
{
    std::printf("%s %.4f %s\n", name, value, unit);
    std::fflush(stdout);
}

// Processor time of the calling thread.
double threadCpuMs()
{
    timespec now {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Round
{
    double wallMs = 0;
    // Time the UI thread was awake, including time it waited for a core.
    double awakePerIconMs = 0;
    // Processor time the UI thread used.
    double cpuPerIconMs = 0;
};

// Binds a fresh view to every link and waits until every view shows its image.
Round showIcons(const QStringList &links, BusyMeter &meter)
{
    std::vector<std::unique_ptr<QLabel>> views;
    views.reserve(links.size());
    for (qsizetype i = 0; i < links.size(); ++i)
        views.push_back(std::make_unique<QLabel>());
    const QImage placeholder = appPlaceholderImage();
    int shown = 0;
    QEventLoop loop;
    QElapsedTimer wall;
    meter.start();
    const double cpuStart = threadCpuMs();
    wall.start();
    QElapsedTimer synchronous;
    synchronous.start();
    for (qsizetype i = 0; i < links.size(); ++i) {
        setImageUrl(views[i].get(), links[i], placeholder, [&] {
            if (++shown == links.size())
                loop.quit();
        });
    }
    meter.addSynchronous(synchronous.nsecsElapsed());
    if (shown < links.size())
        loop.exec();
    Round round;
    round.wallMs = wall.nsecsElapsed() / 1e6;
    round.awakePerIconMs = meter.stopMs() / links.size();
    round.cpuPerIconMs = (threadCpuMs() - cpuStart) / links.size();
    return round;
}

} // namespace

int main(int argc, char **argv)
{
    // The plain Unix event dispatcher reports every wake-up and block, which the meter needs.
    qputenv("QT_NO_GLIB", "1");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The application starts in a throw-away home too: it reads the runtime folder at once.
    test::IsolatedHome home;
    QApplication app(argc, argv);
    test::TestServices services { { .listsController = false } };

    test::FakeHttpServer server;
    server.setFallbackHandler([body = iconBytes()](const test::FakeRequest &) {
        return test::FakeResponse::bytes(body, "image/png");
    });
    QStringList links;
    for (int i = 0; i < kIcons; ++i)
        links << server.url(QStringLiteral("/image/thumb/%1/512x512bb.png").arg(i)).toString();

    ImageCache &cache = services.imageCache();
    // Room for all 500 decoded icons, so the memory round measures hits only.
    cache.setMemoryBudgetBytes(qint64(kIcons + 20) * kIconSide * kIconSide * 4);
    BusyMeter meter;

    const Round download = showIcons(links, meter);
    cache.waitForWrites();
    print("images_download_500_icons", download.wallMs, "ms");

    cache.clearMemory();
    const Round disk = showIcons(links, meter);
    print("images_disk_cold_memory_500_icons", disk.wallMs, "ms");
    print("images_disk_ui_busy_per_icon", disk.cpuPerIconMs, "ms");
    print("images_disk_ui_awake_per_icon", disk.awakePerIconMs, "ms");

    const Round memory = showIcons(links, meter);
    print("images_memory_500_icons", memory.wallMs, "ms");
    print("images_memory_ui_busy_per_icon", memory.cpuPerIconMs, "ms");
    print("images_memory_ui_awake_per_icon", memory.awakePerIconMs, "ms");
    print("images_memory_level", cache.memoryCostBytes() / (1024.0 * 1024.0), "MB");
    return server.totalRequestCount() == kIcons ? 0 : 1;
}
