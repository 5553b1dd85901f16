#include "platform/qt_http_client.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QNetworkProxy>
#include <QPointer>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <optional>
#include <string_view>

#include "platform/http_reply_reader.h"

namespace bf {

namespace {

// Qt reads no more from the system while this much is unread.
constexpr qint64 kReadBufferBytes = 64 * 1024;

HttpResult failure(int error, std::string text) {
    return HttpResult{{}, error, std::move(text)};
}

// URLs are bytes and carry their query values unencoded (blanks, 8-bit
// titles). Encode exactly those bytes so that the server decodes the same
// bytes again, whatever their character set.
QUrl ToUrl(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    QByteArray encoded;
    encoded.reserve(static_cast<qsizetype>(text.size()));
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain =
            byte > 0x20 && byte < 0x7f && std::string_view("\"<>\\^`{|}").find(c) == std::string_view::npos;
        if (plain) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0f];
        }
    }
    return QUrl(QString::fromLatin1(encoded), QUrl::TolerantMode);
}

bool IsFetchable(const QUrl& url) {
    const QString scheme = url.scheme();
    return url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
           !url.host().isEmpty();
}

bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// One GET (or a POST of `body` as `contentType`) that asks the server to
// close the connection after its reply and to send the body as it is (no
// compression).
QByteArray RequestText(const QUrl& url, const std::optional<std::pair<std::string, std::string>>& posting) {
    QByteArray target = url.toEncoded(QUrl::RemoveScheme | QUrl::RemoveAuthority | QUrl::RemoveFragment);
    if (!target.startsWith('/')) target.prepend('/');
    QByteArray host = url.host(QUrl::FullyEncoded).toLatin1();
    if (host.contains(':')) host = '[' + host + ']';
    if (url.port() != -1) host += ':' + QByteArray::number(url.port());
    QByteArray text = (posting ? "POST " : "GET ") + target + " HTTP/1.1\r\nHost: " + host +
                      "\r\nUser-Agent: Brackenfield\r\nAccept: */*\r\nConnection: close\r\n";
    if (!url.userName().isEmpty()) {
        const QByteArray credentials =
            (url.userName(QUrl::FullyDecoded) + ':' + url.password(QUrl::FullyDecoded)).toUtf8();
        text += "Authorization: Basic " + credentials.toBase64() + "\r\n";
    }
    if (!posting) return text + "\r\n";
    const auto& [contentType, body] = *posting;
    text += "Content-Type: " + QByteArray::fromStdString(contentType) +
            "\r\nContent-Length: " + QByteArray::number(static_cast<qint64>(body.size())) + "\r\n\r\n";
    return text + QByteArray::fromStdString(body);
}

HttpResult SocketFailure(QAbstractSocket::SocketError error, const QString& text) {
    switch (error) {
        case QAbstractSocket::ConnectionRefusedError:
            return failure(HttpError::ConnectionRefused, "Connection refused");
        case QAbstractSocket::HostNotFoundError:
            return failure(HttpError::HostNotFound, "Host not found");
        case QAbstractSocket::SocketTimeoutError:
            return failure(HttpError::TimedOut, "Request timed out");
        default:
            return failure(HttpError::OtherNetworkError,
                           text.isEmpty() ? "Network error" : text.toStdString());
    }
}

// A socket may be dropped while one of its signals is on the stack: it is
// cut off at once and deleted later.
struct CutOff {
    void operator()(QTcpSocket* socket) const {
        socket->disconnect();
        socket->abort();
        socket->deleteLater();
    }
};
using Socket = std::unique_ptr<QTcpSocket, CutOff>;

// One request and its reply, the first of a fetch or one after a redirect.
struct Exchange {
    HttpReplyReader reader;
    std::optional<HttpResult> failure;  // the connection failed
    bool over = false;
};

// Connects to the URL's server and sends the request; `exchange` is over
// (and `over` called) once the reply has been read as far as wanted, or the
// connection failed. The socket's signals go to `context`.
Socket Start(const QUrl& url, bool headersOnly,
             const std::optional<std::pair<std::string, std::string>>& posting, Exchange& exchange,
             QObject* context, std::function<void()> over) {
    const bool tls = url.scheme() == QLatin1String("https");
    Socket socket(tls ? new QSslSocket : new QTcpSocket);
    QTcpSocket* s = socket.get();
    s->setProxy(QNetworkProxy::NoProxy);
    s->setReadBufferSize(kReadBufferBytes);

    auto finish = [&exchange, over] {
        exchange.over = true;
        over();
    };
    // A stream's or a redirect's body is not wanted: its headers end the exchange.
    const bool follows = !posting;
    auto take = [&exchange, s, headersOnly, follows, finish] {
        if (exchange.over) return;
        const QByteArray bytes = s->readAll();
        const auto state = exchange.reader.feed(std::string_view(bytes.constData(), bytes.size()));
        const int status = exchange.reader.status();
        if (state == HttpReplyReader::State::Done || state == HttpReplyReader::State::Failed ||
            (status != 0 &&
             (headersOnly || (follows && IsRedirect(status) && exchange.reader.header("Location")))))
            finish();
    };
    auto ended = [&exchange, take, finish] {
        take();
        if (exchange.over) return;
        exchange.reader.end();
        finish();
    };
    const QByteArray request = RequestText(url, posting);
    QObject::connect(s, &QTcpSocket::readyRead, context, take);
    QObject::connect(s, &QTcpSocket::disconnected, context, ended);
    QObject::connect(s, &QTcpSocket::errorOccurred, context,
                     [&exchange, s, ended, finish](QAbstractSocket::SocketError error) {
                         if (exchange.over) return;
                         if (error == QAbstractSocket::RemoteHostClosedError) return ended();
                         exchange.failure = SocketFailure(error, s->errorString());
                         finish();
                     });
    const quint16 port = static_cast<quint16>(url.port(tls ? 443 : 80));
    if (tls) {
        auto* secure = static_cast<QSslSocket*>(s);
        // Certificates are checked against the system's store, and against
        // the authorities of the file SSL_CERT_FILE names, as OpenSSL's own
        // programs and the stream monitor do.
        static const QList<QSslCertificate> extra = [] {
            const QByteArray file = qgetenv("SSL_CERT_FILE");
            return file.isEmpty() ? QList<QSslCertificate>()
                                  : QSslCertificate::fromPath(QString::fromLocal8Bit(file));
        }();
        if (!extra.isEmpty()) {
            QSslConfiguration configuration = secure->sslConfiguration();
            configuration.addCaCertificates(extra);
            secure->setSslConfiguration(configuration);
        }
        QObject::connect(secure, &QSslSocket::encrypted, context, [s, request] { s->write(request); });
        secure->connectToHostEncrypted(url.host(), port);
    } else {
        QObject::connect(s, &QTcpSocket::connected, context, [s, request] { s->write(request); });
        s->connectToHost(url.host(), port);
    }
    return socket;
}

// The result of a reply read as far as wanted, which is no redirect.
HttpResult ResultOf(const HttpReplyReader& reader, bool headersOnly) {
    if (reader.state() == HttpReplyReader::State::Done || (headersOnly && reader.status() != 0))
        return HttpResult{headersOnly ? std::string() : reader.body(), HttpError::None, {}, reader.status()};
    return failure(reader.error() == HttpReplyReader::kCutShort ? HttpError::ConnectionReset
                                                                : HttpError::OtherNetworkError,
                   reader.error());
}

}  // namespace

// One request under way: its current exchange (the first, or one after a
// redirect) and what to do with its result.
struct QtHttpClient::Request {
    QUrl target;
    bool headersOnly = false;
    std::optional<std::pair<std::string, std::string>> posting;  // content type and body
    HttpDone done;
    int redirects = 0;
    QTimer deadline;  // of the whole request, redirects included
    bool timedOut = false;
    Exchange exchange;
    Socket socket;
};

QtHttpClient::QtHttpClient() : context_(std::make_unique<QObject>()) {}

QtHttpClient::~QtHttpClient() {
    cancel();
}

bool QtHttpClient::busy() const {
    return running_ != nullptr;
}

void QtHttpClient::setTimeoutMs(int ms) {
    timeoutMs_ = ms > 0 ? ms : kDefaultTimeoutMs;
}

void QtHttpClient::cancel() {
    if (!running_) return;
    running_->socket.reset();
    running_.reset();
}

void QtHttpClient::get(const std::string& url, HttpDone done) {
    begin(url, false, std::move(done));
}

void QtHttpClient::getHeaders(const std::string& url, HttpDone done) {
    begin(url, true, std::move(done));
}

void QtHttpClient::post(const std::string& url, const std::string& contentType, const std::string& body,
                        HttpDone done) {
    begin(url, false, std::move(done), Posting{contentType, body});
}

// Every step of a request runs from the event loop, never inside a socket's
// or the deadline's own signal, so that a `done` may start the next request
// on the same client.
void QtHttpClient::later(const std::shared_ptr<Request>& request) {
    QMetaObject::invokeMethod(
        context_.get(),
        [this, weak = std::weak_ptr<Request>(request)] {
            const std::shared_ptr<Request> r = weak.lock();
            if (r && r == running_) step(r);
        },
        Qt::QueuedConnection);
}

void QtHttpClient::begin(const std::string& url, bool headersOnly, HttpDone done,
                         std::optional<Posting> posting) {
    cancel();
    auto request = std::make_shared<Request>();
    request->headersOnly = headersOnly;
    if (posting) request->posting = std::pair{std::move(posting->contentType), std::move(posting->body)};
    request->done = std::move(done);
    running_ = request;
    request->target = ToUrl(url);
    if (QCoreApplication::instance() == nullptr) {  // nothing would ever answer
        running_.reset();
        request->done(failure(HttpError::OtherNetworkError, "No event loop"));
        return;
    }
    if (!IsFetchable(request->target)) {
        request->exchange.failure = failure(HttpError::MalformedUrl, "URL is malformed");
        request->exchange.over = true;
        later(request);
        return;
    }
    request->deadline.setSingleShot(true);
    request->deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&request->deadline, &QTimer::timeout, context_.get(),
                     [this, r = request.get(), weak = std::weak_ptr<Request>(request)] {
                         r->timedOut = true;
                         later(weak.lock());
                     });
    request->deadline.start(timeoutMs_);
    send(request);
}

void QtHttpClient::send(const std::shared_ptr<Request>& request) {
    request->exchange = Exchange{};
    request->socket =
        Start(request->target, request->headersOnly, request->posting, request->exchange, context_.get(),
              [this, weak = std::weak_ptr<Request>(request)] { later(weak.lock()); });
}

void QtHttpClient::step(const std::shared_ptr<Request>& request) {
    const auto finish = [this, &request](const HttpResult& result) {
        running_.reset();
        request->socket.reset();
        request->deadline.stop();
        if (request->done) request->done(result);
    };
    if (request->timedOut) return finish(failure(HttpError::TimedOut, "Request timed out"));
    Exchange& exchange = request->exchange;
    if (!exchange.over) return;
    if (exchange.failure) return finish(*exchange.failure);
    const std::optional<std::string> location = exchange.reader.header("Location");
    if (!IsRedirect(exchange.reader.status()) || !location || request->posting)
        return finish(ResultOf(exchange.reader, request->headersOnly));
    const QUrl& target = request->target;
    const QUrl next = target.resolved(ToUrl(*location));
    if (request->redirects == kMaxRedirects)
        return finish(failure(HttpError::OtherNetworkError, "More than 5 redirects"));
    if (!IsFetchable(next) || (target.scheme() == QLatin1String("https") && next.scheme() != target.scheme()))
        return finish(
            failure(HttpError::OtherNetworkError, "Redirect refused: " + next.toString().toStdString()));
    ++request->redirects;
    request->target = next;
    send(request);
}

}  // namespace bf
