#include "platform/qt_http_client.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPointer>
#include <QTimer>
#include <QUrl>
#include <string_view>

namespace bf {

// The state of one waiting fetch; it lives on that fetch's stack frame, so
// nested fetches each have their own.
struct QtHttpClient::Request {
    enum class End { Waiting, Finished, HeadersRead, Cancelled, TimedOut };
    QEventLoop loop;
    QTimer deadline;
    QPointer<QNetworkReply> reply;
    End end = End::Waiting;
    int status = 0;  // of the headers that ended a headers-only fetch
};

namespace {

// Replies beyond this are not read further; a server that streams without
// end then runs into the timeout instead of filling the memory.
constexpr qint64 kMaxBodyBytes = 16 * 1024 * 1024;

HttpResult failure(int error, std::string text) {
    return HttpResult{{}, error, std::move(text)};
}

// URLs are bytes and carry their query values unencoded (blanks, 8-bit
// titles). Encode exactly those bytes so that the server decodes the same
// bytes again, whatever their character set.
QUrl ToUrl(const std::string& text) {
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

// An error Qt reports for an HTTP status (404, 500, ...): the server did
// answer, and its answer is the reply.
bool IsStatusError(QNetworkReply::NetworkError e) {
    return (e >= QNetworkReply::ContentAccessDenied && e <= QNetworkReply::UnknownContentError) ||
           (e >= QNetworkReply::InternalServerError && e <= QNetworkReply::UnknownServerError) ||
           e == QNetworkReply::ProtocolInvalidOperationError ||
           e == QNetworkReply::ProxyAuthenticationRequiredError;
}

HttpResult ResultOf(QNetworkReply& reply) {
    const QNetworkReply::NetworkError e = reply.error();
    const bool answered = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    if (e == QNetworkReply::NoError || (answered && IsStatusError(e))) {
        const QByteArray body = reply.readAll();
        const int status = reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        return HttpResult{std::string(body.constData(), static_cast<std::size_t>(body.size())),
                          HttpError::None,
                          {},
                          status};
    }
    switch (e) {
        case QNetworkReply::ConnectionRefusedError:
            return failure(HttpError::ConnectionRefused, "Connection refused");
        case QNetworkReply::HostNotFoundError:
            return failure(HttpError::HostNotFound, "Host not found");
        case QNetworkReply::RemoteHostClosedError:
            return failure(HttpError::ConnectionReset, "Connection closed by the server");
        case QNetworkReply::TimeoutError:
            return failure(HttpError::TimedOut, "Request timed out");
        case QNetworkReply::ProtocolUnknownError:
            return failure(HttpError::MalformedUrl, "URL is malformed");
        default: {
            const QByteArray text = reply.errorString().toUtf8();
            return failure(HttpError::OtherNetworkError,
                           text.isEmpty() ? std::string("Network error") : text.toStdString());
        }
    }
}

}  // namespace

QtHttpClient::QtHttpClient() : manager_(std::make_unique<QNetworkAccessManager>()) {
    // Only what the station asks for: no proxy picked up from the environment.
    manager_->setProxy(QNetworkProxy::NoProxy);
    manager_->setRedirectPolicy(QNetworkRequest::NoLessSafeRedirectPolicy);
}

QtHttpClient::~QtHttpClient() {
    *alive_ = false;
    cancel();
}

bool QtHttpClient::busy() const {
    return running_ != nullptr;
}

void QtHttpClient::setTimeoutMs(int ms) {
    timeoutMs_ = ms > 0 ? ms : kDefaultTimeoutMs;
}

void QtHttpClient::cancel() {
    Request* request = running_;
    if (request == nullptr) return;
    running_ = nullptr;
    if (request->end == Request::End::Waiting) request->end = Request::End::Cancelled;
    request->deadline.stop();
    if (request->reply) request->reply->abort();
    request->loop.quit();
}

HttpResult QtHttpClient::fetch(const std::string& url) {
    return run(url, false);
}

HttpResult QtHttpClient::fetchHeaders(const std::string& url) {
    return run(url, true);
}

HttpResult QtHttpClient::run(const std::string& url, bool headersOnly) {
    cancel();
    if (QCoreApplication::instance() == nullptr)
        return failure(HttpError::OtherNetworkError, "No event loop");
    const QUrl target = ToUrl(url);
    if (!IsFetchable(target)) return failure(HttpError::MalformedUrl, "URL is malformed");

    Request request;
    const std::shared_ptr<bool> alive = alive_;
    request.reply = manager_->get(QNetworkRequest(target));
    request.reply->setReadBufferSize(kMaxBodyBytes);

    QObject::connect(request.reply, &QNetworkReply::finished, &request.loop, [this, alive, &request] {
        if (request.end == Request::End::Waiting) request.end = Request::End::Finished;
        if (*alive && running_ == &request) running_ = nullptr;
        request.loop.quit();
    });
    if (headersOnly) {
        QObject::connect(
            request.reply, &QNetworkReply::metaDataChanged, &request.loop, [this, alive, &request] {
                if (request.end != Request::End::Waiting || !request.reply) return;
                const QVariant status = request.reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
                if (!status.isValid()) return;
                // A redirect is followed: only the final answer's headers count.
                const int code = status.toInt();
                if (code >= 300 && code < 400 && request.reply->hasRawHeader("Location")) return;
                request.end = Request::End::HeadersRead;
                request.status = code;
                if (*alive && running_ == &request) running_ = nullptr;
                request.reply->abort();
                request.loop.quit();
            });
    }
    request.deadline.setSingleShot(true);
    request.deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&request.deadline, &QTimer::timeout, &request.loop, [this, alive, &request] {
        if (request.end != Request::End::Waiting) return;
        request.end = Request::End::TimedOut;
        if (*alive && running_ == &request) running_ = nullptr;
        if (request.reply) request.reply->abort();
        request.loop.quit();
    });
    request.deadline.start(timeoutMs_);
    running_ = &request;

    if (request.end == Request::End::Waiting) request.loop.exec();

    if (!*alive) return failure(HttpError::Cancelled, "Request cancelled");
    if (running_ == &request) running_ = nullptr;
    request.deadline.stop();

    HttpResult result;
    switch (request.end) {
        case Request::End::Finished:
            result =
                request.reply ? ResultOf(*request.reply) : failure(HttpError::Cancelled, "Request cancelled");
            break;
        case Request::End::HeadersRead:
            result = HttpResult{{}, HttpError::None, {}, request.status};
            break;
        case Request::End::TimedOut:
            result = failure(HttpError::TimedOut, "Request timed out");
            break;
        case Request::End::Waiting:  // the loop was ended from outside: the application quits
        case Request::End::Cancelled:
            result = failure(HttpError::Cancelled, "Request cancelled");
            break;
    }
    if (request.reply) {
        QObject::disconnect(request.reply, nullptr, &request.loop, nullptr);
        if (request.reply->isRunning()) request.reply->abort();
        request.reply->deleteLater();
    }
    return result;
}

}  // namespace bf
