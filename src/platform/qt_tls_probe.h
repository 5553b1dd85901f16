#pragma once

#include <QObject>
#include <memory>

#include "platform/tls_probe.h"

namespace bf {

// TlsProbe over QSslSocket: the system's authorities and those of the file
// SSL_CERT_FILE names, the host's name checked against the certificate.
// Several probes may run at once; each ends on its own deadline. Destroying
// the probe drops the running ones without calling them back.
class QtTlsProbe : public TlsProbe {
public:
    QtTlsProbe();
    ~QtTlsProbe() override;
    QtTlsProbe(const QtTlsProbe&) = delete;
    QtTlsProbe& operator=(const QtTlsProbe&) = delete;

    void probe(const std::string& host, uint16_t port, TlsProbeDone done) override;

private:
    // Parent of every running probe's socket and timer.
    std::unique_ptr<QObject> context_;
};

}  // namespace bf
