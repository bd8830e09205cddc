#include "support/FakeHttpServer.h"

#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QPointer>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QTimer>

#include <sys/socket.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <utility>

namespace tanvill::test {

namespace {

constexpr qint64 kWriteWindow = 256 * 1024;
constexpr qint64 kPieceSize = 64 * 1024;
constexpr int kMaxHeaderBytes = 64 * 1024;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 429:
        return "Too Many Requests";
    case 500:
        return "Internal Server Error";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

QByteArray contentTypeForFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    if (suffix == QLatin1String("json"))
        return "application/json";
    if (suffix == QLatin1String("png"))
        return "image/png";
    if (suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg"))
        return "image/jpeg";
    if (suffix == QLatin1String("html"))
        return "text/html; charset=utf-8";
    return "application/octet-stream";
}

} // namespace

class FakeConnection;

struct FakeHttpServer::Shared
{
    mutable QMutex mutex;
    QHash<QString, Handler> handlers;
    Handler fallback;
    QList<QPair<QString, QString>> directories;
    int defaultDelayMs = 0;
    bool holdingAnswers = false;
    QHash<QString, int> counts;
    QList<FakeRequest> requests;
    int totalRequests = 0;
    int currentConnections = 0;
    int maxConnections = 0;
    // The connections waiting to answer a Held response; used on the server's thread only.
    QList<QPointer<FakeConnection>> held;

    FakeResponse respond(const FakeRequest &request)
    {
        Handler handler;
        {
            QMutexLocker lock(&mutex);
            ++counts[request.path];
            ++totalRequests;
            requests.append(request);
            handler = handlers.value(request.path);
            if (!handler) {
                for (const auto &entry : directories) {
                    const QString &prefix = entry.first;
                    if (request.path.startsWith(prefix)) {
                        const QString relative = request.path.mid(prefix.size());
                        handler = [directory = entry.second, relative](const FakeRequest &) {
                            const QString root = QDir(directory).canonicalPath();
                            const QString path
                                = QFileInfo(root + QLatin1Char('/') + relative).canonicalFilePath();
                            if (root.isEmpty() || !path.startsWith(root + QLatin1Char('/')))
                                return FakeResponse::withStatus(404);
                            return FakeResponse::file(path);
                        };
                        break;
                    }
                }
            }
            if (!handler)
                handler = fallback;
        }
        FakeResponse response = handler ? handler(request) : FakeResponse::withStatus(404);
        QMutexLocker lock(&mutex);
        if (response.delayMs <= 0)
            response.delayMs = defaultDelayMs;
        if (holdingAnswers && response.behaviour == FakeResponse::Behaviour::Normal)
            response.behaviour = FakeResponse::Behaviour::Held;
        return response;
    }
};

// One accepted connection. It answers its requests one after another and stays open between
// them, as a store server does, unless the client asks it to close or the answer ends it.
class FakeConnection : public QObject
{
public:
    FakeConnection(QTcpSocket *socket, std::shared_ptr<FakeHttpServer::Shared> shared,
                   QObject *parent)
        : QObject(parent), m_socket(socket), m_shared(std::move(shared))
    {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, &FakeConnection::readRequest);
        connect(socket, &QTcpSocket::bytesWritten, this, &FakeConnection::writeMore);
        connect(socket, &QTcpSocket::disconnected, this, &FakeConnection::close);
        readRequest();
    }

    ~FakeConnection() override
    {
        endExchange();
        delete m_timerNotifier;
        if (m_timer >= 0)
            ::close(m_timer);
    }

    // Answers a Held response (see FakeHttpServer::releaseHeld).
    void answerHeld()
    {
        if (m_answering && !m_closed)
            answer();
    }

private:
    // A connection counts as current while it has a request to answer, so idle connections
    // kept open for the next request are not counted.
    void beginExchange()
    {
        m_busy = true;
        QMutexLocker lock(&m_shared->mutex);
        ++m_shared->currentConnections;
        m_shared->maxConnections = std::max(m_shared->maxConnections, m_shared->currentConnections);
    }

    void endExchange()
    {
        if (!m_busy)
            return;
        m_busy = false;
        QMutexLocker lock(&m_shared->mutex);
        --m_shared->currentConnections;
    }

    void close()
    {
        if (m_closed)
            return;
        m_closed = true;
        endExchange();
        deleteLater();
    }

    void readRequest()
    {
        if (m_answering || m_closed)
            return;
        m_buffer += m_socket->readAll();
        const qsizetype headerEnd = m_buffer.indexOf("\r\n\r\n");
        if (headerEnd < 0) {
            if (m_buffer.size() > kMaxHeaderBytes)
                m_socket->abort();
            return;
        }
        const QList<QByteArray> lines = m_buffer.left(headerEnd).split('\n');
        const QList<QByteArray> requestLine = lines.value(0).trimmed().split(' ');
        FakeRequest request;
        request.method = requestLine.value(0);
        request.target = requestLine.value(1);
        const QUrl target(QString::fromLatin1(requestLine.value(1)));
        request.path = target.path();
        request.query = QUrlQuery(target);
        qint64 contentLength = 0;
        bool keepAlive = requestLine.value(2) == "HTTP/1.1";
        for (qsizetype i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines[i].trimmed();
            const qsizetype colon = line.indexOf(':');
            if (colon <= 0)
                continue;
            const QByteArray name = line.left(colon).trimmed();
            const QByteArray value = line.mid(colon + 1).trimmed();
            request.headers.append({ name, value });
            if (name.compare("Content-Length", Qt::CaseInsensitive) == 0)
                contentLength = value.toLongLong();
            else if (name.compare("Connection", Qt::CaseInsensitive) == 0)
                keepAlive = keepAlive && value.compare("close", Qt::CaseInsensitive) != 0;
        }
        const qsizetype bodyStart = headerEnd + 4;
        if (m_buffer.size() - bodyStart < contentLength)
            return;
        request.body = m_buffer.mid(bodyStart, contentLength);
        m_buffer.remove(0, bodyStart + contentLength);
        m_answering = true;
        beginExchange();

        m_response = m_shared->respond(request);
        m_keepAlive = keepAlive;
        for (const auto &[name, value] : m_response.headers) {
            if (name.compare("Connection", Qt::CaseInsensitive) == 0)
                m_keepAlive = m_keepAlive && value.compare("close", Qt::CaseInsensitive) != 0;
        }
        if (m_response.delayMs > 0)
            answerAfter(m_response.delayMs);
        else
            answer();
    }

    // Benchmarks hold the delay against the ideal, so it must not run long: the event loop
    // rounds its own timers up to whole milliseconds, a timer descriptor does not.
    void answerAfter(int milliseconds)
    {
        if (m_timer < 0) {
            m_timer = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
            if (m_timer < 0)
                qFatal("FakeHttpServer: cannot create a timer");
            m_timerNotifier = new QSocketNotifier(m_timer, QSocketNotifier::Read, this);
            connect(m_timerNotifier, &QSocketNotifier::activated, this, [this] {
                quint64 expirations = 0;
                if (::read(m_timer, &expirations, sizeof expirations) > 0)
                    answer();
            });
        }
        itimerspec due {};
        due.it_value.tv_sec = milliseconds / 1000;
        due.it_value.tv_nsec = long(milliseconds % 1000) * 1'000'000;
        ::timerfd_settime(m_timer, 0, &due, nullptr);
    }

    void answer()
    {
        using Behaviour = FakeResponse::Behaviour;
        switch (m_response.behaviour) {
        case Behaviour::Stall:
            return;
        case Behaviour::Held:
            m_response.behaviour = m_response.releasedAs;
            m_shared->held.append(this);
            return;
        case Behaviour::Drop:
            m_socket->disconnectFromHost();
            return;
        case Behaviour::Reset: {
            const linger hard { 1, 0 };
            ::setsockopt(int(m_socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard,
                         sizeof hard);
            m_socket->abort();
            close();
            return;
        }
        case Behaviour::Truncate:
            m_keepAlive = false;
            break;
        default:
            break;
        }
        const qint64 fullSize = m_response.generatedBodySize > 0 ? m_response.generatedBodySize
                                                                 : m_response.body.size();
        m_bodySize = m_response.behaviour == Behaviour::Truncate ? fullSize / 2 : fullSize;
        m_chunked = m_response.behaviour == Behaviour::Chunked;

        QByteArray head = "HTTP/1.1 " + QByteArray::number(m_response.status) + ' '
            + reasonPhrase(m_response.status) + "\r\n";
        bool hasContentType = false;
        for (const auto &[name, value] : m_response.headers) {
            if (name.compare("Connection", Qt::CaseInsensitive) == 0)
                continue;
            hasContentType
                = hasContentType || name.compare("Content-Type", Qt::CaseInsensitive) == 0;
            head += name + ": " + value + "\r\n";
        }
        if (!hasContentType)
            head += "Content-Type: application/octet-stream\r\n";
        if (m_chunked)
            head += "Transfer-Encoding: chunked\r\n";
        else
            head += "Content-Length: " + QByteArray::number(fullSize) + "\r\n";
        head += m_keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
        m_socket->write(head);
        if (m_response.behaviour == Behaviour::Drip) {
            auto *drip = new QTimer(this);
            connect(drip, &QTimer::timeout, this, [this, drip] {
                if (m_closed || m_sent >= m_bodySize) {
                    drip->stop();
                    return;
                }
                m_socket->write(piece(m_sent, 1));
                if (++m_sent >= m_bodySize)
                    writeMore();
            });
            drip->start(std::max(1, m_response.dripIntervalMs));
            return;
        }
        writeMore();
    }

    QByteArray piece(qint64 offset, qint64 length)
    {
        if (m_response.generatedBodySize <= 0)
            return m_response.body.mid(offset, length);
        const QByteArray pattern = m_response.body.isEmpty() ? QByteArray("x") : m_response.body;
        if (m_repeated.isEmpty()) {
            // The pattern repeated past one piece, so every piece is one slice of it.
            while (m_repeated.size() < kPieceSize + pattern.size())
                m_repeated += pattern;
        }
        return m_repeated.mid(offset % pattern.size(), length);
    }

    void writeMore()
    {
        if (!m_answering || m_finished || m_closed || m_bodySize < 0)
            return;
        // A dripping answer is written by its timer alone.
        if (m_response.behaviour == FakeResponse::Behaviour::Drip && m_sent < m_bodySize)
            return;
        while (m_sent < m_bodySize && m_socket->bytesToWrite() < kWriteWindow) {
            const QByteArray data = piece(m_sent, std::min(kPieceSize, m_bodySize - m_sent));
            m_sent += data.size();
            if (m_chunked)
                m_socket->write(QByteArray::number(data.size(), 16) + "\r\n" + data + "\r\n");
            else
                m_socket->write(data);
        }
        if (m_sent >= m_bodySize) {
            m_finished = true;
            if (m_chunked)
                m_socket->write("0\r\n\r\n");
            if (!m_keepAlive) {
                // The answer is complete: the exchange ends now, not when the client has
                // seen the close (which it may see first).
                endExchange();
                m_socket->disconnectFromHost();
                return;
            }
            endExchange();
            m_response = {};
            m_repeated.clear();
            m_bodySize = -1;
            m_sent = 0;
            m_chunked = false;
            m_answering = false;
            m_finished = false;
            // The client may have sent its next request already.
            readRequest();
        }
    }

    QTcpSocket *m_socket;
    int m_timer = -1;
    QSocketNotifier *m_timerNotifier = nullptr;
    std::shared_ptr<FakeHttpServer::Shared> m_shared;
    QByteArray m_buffer;
    QByteArray m_repeated;
    FakeResponse m_response;
    qint64 m_bodySize = -1;
    qint64 m_sent = 0;
    bool m_chunked = false;
    bool m_keepAlive = false;
    bool m_answering = false;
    bool m_finished = false;
    bool m_busy = false;
    bool m_closed = false;
};

QByteArray FakeRequest::header(const QByteArray &name) const
{
    for (const auto &[key, value] : headers) {
        if (key.compare(name, Qt::CaseInsensitive) == 0)
            return value;
    }
    return {};
}

FakeResponse FakeResponse::json(const QByteArray &body, int status)
{
    FakeResponse response = bytes(body, "application/json");
    response.status = status;
    return response;
}

FakeResponse FakeResponse::withStatus(int status, const QByteArray &body)
{
    FakeResponse response;
    response.status = status;
    response.body = body;
    return response;
}

FakeResponse FakeResponse::bytes(const QByteArray &body, const QByteArray &contentType)
{
    FakeResponse response;
    response.body = body;
    response.headers.append({ "Content-Type", contentType });
    return response;
}

FakeResponse FakeResponse::file(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return withStatus(404);
    return bytes(file.readAll(), contentTypeForFile(path));
}

FakeResponse FakeResponse::behaving(Behaviour behaviour)
{
    FakeResponse response;
    response.behaviour = behaviour;
    return response;
}

FakeHttpServer::FakeHttpServer() : m_shared(std::make_shared<Shared>()), m_thread(new QThread)
{
    m_thread->setObjectName(QStringLiteral("FakeHttpServer"));
    m_worker = new QObject;
    m_worker->moveToThread(m_thread);
    m_thread->start();
    const auto shared = m_shared;
    QObject *worker = m_worker;
    quint16 port = 0;
    QMetaObject::invokeMethod(
        m_worker,
        [worker, shared, &port] {
            auto *server = new QTcpServer(worker);
            if (!server->listen(QHostAddress::LocalHost, 0))
                qFatal("FakeHttpServer: cannot listen on the loopback interface");
            port = server->serverPort();
            QObject::connect(server, &QTcpServer::newConnection, worker, [server, shared, worker] {
                while (QTcpSocket *socket = server->nextPendingConnection())
                    new FakeConnection(socket, shared, worker);
            });
        },
        Qt::BlockingQueuedConnection);
    m_port = port;
}

FakeHttpServer::~FakeHttpServer()
{
    QObject *worker = m_worker;
    QMetaObject::invokeMethod(
        m_worker, [worker] { delete worker; }, Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
    delete m_thread;
}

QUrl FakeHttpServer::baseUrl() const
{
    return QUrl(QStringLiteral("http://127.0.0.1:%1").arg(m_port));
}

QUrl FakeHttpServer::url(const QString &pathAndQuery) const
{
    return QUrl(baseUrl().toString() + pathAndQuery);
}

void FakeHttpServer::setRoute(const QString &path, const FakeResponse &response)
{
    setHandler(path, [response](const FakeRequest &) { return response; });
}

void FakeHttpServer::setHandler(const QString &path, Handler handler)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->handlers.insert(path, std::move(handler));
}

void FakeHttpServer::setFallbackHandler(Handler handler)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->fallback = std::move(handler);
}

void FakeHttpServer::serveDirectory(const QString &prefix, const QString &directory)
{
    QString normalised = prefix;
    if (!normalised.endsWith(QLatin1Char('/')))
        normalised += QLatin1Char('/');
    QMutexLocker lock(&m_shared->mutex);
    m_shared->directories.append({ normalised, directory });
}

void FakeHttpServer::serveFixtures()
{
    serveDirectory(QStringLiteral("/fixtures/"), fixturesDir() + QStringLiteral("/store"));
}

void FakeHttpServer::setDefaultDelayMs(int milliseconds)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->defaultDelayMs = milliseconds;
}

void FakeHttpServer::clearRoutes()
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->handlers.clear();
    m_shared->fallback = nullptr;
    m_shared->directories.clear();
}

void FakeHttpServer::setHoldingAnswers(bool holding)
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->holdingAnswers = holding;
}

void FakeHttpServer::releaseHeld()
{
    const auto shared = m_shared;
    QMetaObject::invokeMethod(
        m_worker,
        [shared] {
            for (const QPointer<FakeConnection> &connection : std::exchange(shared->held, {})) {
                if (connection)
                    connection->answerHeld();
            }
        },
        Qt::BlockingQueuedConnection);
}

bool FakeHttpServer::answerHeldInTurns(int total, int atOnce, int timeoutMs)
{
    for (int answered = 0; answered < total;) {
        const int turn = std::min(atOnce, total - answered);
        if (!waitFor([&] { return currentConnections() == turn; }, timeoutMs))
            return false;
        releaseHeld();
        answered += turn;
    }
    return true;
}

int FakeHttpServer::requestCount(const QString &path) const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->counts.value(path);
}

int FakeHttpServer::totalRequestCount() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->totalRequests;
}

QList<FakeRequest> FakeHttpServer::requests() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->requests;
}

int FakeHttpServer::currentConnections() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->currentConnections;
}

int FakeHttpServer::maxConcurrentConnections() const
{
    QMutexLocker lock(&m_shared->mutex);
    return m_shared->maxConnections;
}

void FakeHttpServer::resetCounters()
{
    QMutexLocker lock(&m_shared->mutex);
    m_shared->counts.clear();
    m_shared->requests.clear();
    m_shared->totalRequests = 0;
    m_shared->maxConnections = m_shared->currentConnections;
}

} // namespace tanvill::test
