#include "platform/qt_tls_probe.h"

#include <QFile>
#include <QNetworkProxy>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>

namespace bf {

namespace {

// The authorities of the file SSL_CERT_FILE names, besides the system's:
// Qt reads the system's store itself, not that variable.
const QList<QSslCertificate>& ExtraAuthorities() {
    static const QList<QSslCertificate> extra = [] {
        const QByteArray file = qgetenv("SSL_CERT_FILE");
        return file.isEmpty() ? QList<QSslCertificate>()
                              : QSslCertificate::fromPath(QString::fromLocal8Bit(file));
    }();
    return extra;
}

std::optional<double> EarliestEnd(const QList<QSslCertificate>& chain) {
    std::optional<double> earliest;
    for (const QSslCertificate& certificate : chain) {
        const QDateTime end = certificate.expiryDate();
        if (!end.isValid()) continue;
        const double at = static_cast<double>(end.toSecsSinceEpoch());
        if (!earliest || at < *earliest) earliest = at;
    }
    return earliest;
}

}  // namespace

QtTlsProbe::QtTlsProbe() : context_(std::make_unique<QObject>()) {}

QtTlsProbe::~QtTlsProbe() = default;

void QtTlsProbe::probe(const std::string& host, uint16_t port, TlsProbeDone done) {
    auto* socket = new QSslSocket(context_.get());
    auto* deadline = new QTimer(socket);
    socket->setProxy(QNetworkProxy::NoProxy);
    socket->setReadBufferSize(4096);
    if (!ExtraAuthorities().isEmpty()) {
        QSslConfiguration configuration = socket->sslConfiguration();
        configuration.addCaCertificates(ExtraAuthorities());
        socket->setSslConfiguration(configuration);
    }
    auto result = std::make_shared<TlsProbeResult>();
    // Ends the probe once: its answer is told, the socket closed later.
    auto finish = [socket, result, done = std::move(done)](std::string failure) mutable {
        if (!done) return;
        if (!failure.empty() && !result->expiry) result->failure = std::move(failure);
        TlsProbeDone tell = std::move(done);
        done = nullptr;
        socket->disconnect();
        socket->abort();
        socket->deleteLater();
        try {
            tell(*result);
        } catch (...) {
        }
    };
    auto shared = std::make_shared<decltype(finish)>(std::move(finish));
    // An untrusted chain still tells its end: the errors are noted and the
    // handshake carries on to read it; nothing is sent on the connection.
    QObject::connect(socket, &QSslSocket::sslErrors, socket,
                     [socket, result](const QList<QSslError>& errors) {
                         std::string why;
                         for (const QSslError& error : errors) {
                             if (!why.empty()) why += "; ";
                             why += error.errorString().toStdString();
                         }
                         result->untrusted = why.substr(0, 300);
                         result->expiry = EarliestEnd(socket->peerCertificateChain());
                         socket->ignoreSslErrors();
                     });
    QObject::connect(socket, &QSslSocket::encrypted, socket, [socket, result, shared] {
        result->expiry = EarliestEnd(socket->peerCertificateChain());
        (*shared)(result->expiry ? "" : "no certificate");
    });
    QObject::connect(socket, &QSslSocket::errorOccurred, socket,
                     [socket, shared](QAbstractSocket::SocketError) {
                         (*shared)(socket->errorString().toStdString().substr(0, 300));
                     });
    deadline->setSingleShot(true);
    QObject::connect(deadline, &QTimer::timeout, socket, [shared] { (*shared)("timed out"); });
    deadline->start(kTimeoutMs);
    socket->connectToHostEncrypted(QString::fromStdString(host), port);
}

}  // namespace bf
