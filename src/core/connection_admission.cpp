#include "core/connection_admission.h"

namespace bf {

AdmissionStop AdmitConnections(TcpListener& listener, ConnectionPool& pool, const ConnectionLimits& limits) {
    for (int taken = 0;; ++taken) {
        if (limits.perWake > 0 && taken == limits.perWake) {
            listener.callAgain();
            return AdmissionStop::Turn;
        }
        if (listener.atReserve() && !pool.dropLingering()) {
            if (!pool.findIdlest()) return AdmissionStop::Descriptors;
            pool.dropIdlest();
        }
        const bool full = pool.held() >= limits.most;
        if (full && !pool.findIdlest()) return AdmissionStop::Room;
        std::unique_ptr<TcpConnection> connection = listener.accept(pool.eventsForNext(full));
        if (!connection) return AdmissionStop::Drained;
        std::string address = connection->peerAddress();
        if (!limits.admits(0, pool.heldFrom(address))) continue;  // closed at once
        if (full) pool.dropIdlest();
        pool.take(std::move(connection), std::move(address), full);
    }
}

}  // namespace bf
