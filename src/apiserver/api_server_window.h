#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "apiserver/api_server.h"
#include "platform/qt_tcp_listener.h"

class QLabel;
class QMessageBox;

namespace bf {

struct Station;

// The API server window "Brackenfield API Server": one status row per
// connection slot, drawn from station.api.rows within a tenth of a second of
// a change. It owns the listener and the
// slots; it starts listening when it is created.
class ApiServerWindow : public QWidget {
public:
    // Listens on `port` of `address` ("" for every interface).
    ApiServerWindow(Station& station, int port, const std::string& address = {});
    ~ApiServerWindow() override;

    ApiServer& server() { return *server_; }
    uint16_t listeningPort() const { return listener_.localPort(); }
    // The widget of row `slot`, or nullptr.
    QLabel* rowWidget(int16_t slot) const;
    // The open failure box, or nullptr.
    QMessageBox* failureBox() const;

    static constexpr int kRowLeft = 8;
    static constexpr int kRowWidth = 480;
    static constexpr int kRowHeight = 17;
    static constexpr int kRowGap = 5;
    static constexpr int kRowDrawMs = 100;

private:
    // Creates the rows that are new and draws those that changed.
    void ShowRows();
    void ShowFailure(const ApiFailure& failure);

    Station& station_;
    QtTcpListener listener_;  // outlives server_, whose connections it made
    std::unique_ptr<ApiServer> server_;
    QWidget* rowsArea_ = nullptr;
    std::vector<QLabel*> rows_;       // children of rowsArea_
    std::vector<std::string> shown_;  // what each row's widget shows
    QTimer rowTimer_;
    QPointer<QMessageBox> failureBox_;
};

// Creates and shows the window, listening on station.options.apiPort of
// station.options.apiBind.
std::unique_ptr<ApiServerWindow> OpenApiServerWindow(Station& station);

}  // namespace bf
