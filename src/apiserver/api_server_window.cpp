#include "apiserver/api_server_window.h"

#include <QLabel>
#include <QMessageBox>
#include <QScrollArea>
#include <QVBoxLayout>

#include "core/station.h"
#include "core/text_decode.h"

namespace bf {

ApiServerWindow::ApiServerWindow(Station& station, int port, const std::string& address)
    : station_(station), server_(std::make_unique<ApiServer>(station, listener_)) {
    setWindowTitle(QStringLiteral("Brackenfield API Server"));
    resize(kRowLeft * 2 + kRowWidth + 24, 240);

    auto* scroll = new QScrollArea(this);
    rowsArea_ = new QWidget;
    scroll->setWidget(rowsArea_);
    scroll->setWidgetResizable(false);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(scroll);

    // The rows are drawn at most ten times a second, however many requests
    // come between: drawing a row per request cost a flood more than answering it.
    rowTimer_.setSingleShot(true);
    rowTimer_.setInterval(kRowDrawMs);
    rowTimer_.callOnTimeout(this, [this] { ShowRows(); });
    server_->rowChanged = [this](int16_t) {
        if (!rowTimer_.isActive()) rowTimer_.start();
    };
    server_->failed = [this](const ApiFailure& failure) { ShowFailure(failure); };
    // A caller that has not sent its request within a second gets its slot all
    // the same, and the idle time-out from then on.
    listener_.awaitFirstBytes(std::chrono::seconds(1));
    server_->Open(port, address);
    ShowRows();
}

ApiServerWindow::~ApiServerWindow() {
    server_.reset();
}

QLabel* ApiServerWindow::rowWidget(int16_t slot) const {
    return slot >= 0 && static_cast<size_t>(slot) < rows_.size() ? rows_[slot] : nullptr;
}

QMessageBox* ApiServerWindow::failureBox() const {
    return failureBox_.data();
}

void ApiServerWindow::ShowRows() {
    const auto& texts = station_.api.rows;
    // Rows are created in order; each new one is placed below the last by
    // row 0's height plus the gap.
    while (rows_.size() < texts.size()) {
        const int index = static_cast<int>(rows_.size());
        auto* row = new QLabel(rowsArea_);
        row->setGeometry(kRowLeft, index * (kRowHeight + kRowGap), kRowWidth, kRowHeight);
        row->setTextFormat(Qt::PlainText);
        row->show();
        rows_.push_back(row);
        rowsArea_->resize(kRowLeft * 2 + kRowWidth, (index + 1) * (kRowHeight + kRowGap));
    }
    shown_.resize(texts.size());
    for (size_t slot = 0; slot < texts.size(); ++slot) {
        if (shown_[slot] == texts[slot]) continue;
        rows_[slot]->setText(QString::fromStdString(ToUtf8(texts[slot])));
        shown_[slot] = texts[slot];
    }
}

void ApiServerWindow::ShowFailure(const ApiFailure& failure) {
    // One box at a time, never modal: the station runs unattended, and the
    // failure is in the station log anyway.
    if (failureBox_) return;
    auto* box =
        new QMessageBox(QMessageBox::Warning, windowTitle(),
                        QString::fromStdString(ToUtf8(ApiFailureText(failure))), QMessageBox::Ok, this);
    box->setModal(false);
    box->setAttribute(Qt::WA_DeleteOnClose);
    failureBox_ = box;
    box->show();
}

std::unique_ptr<ApiServerWindow> OpenApiServerWindow(Station& station) {
    auto window =
        std::make_unique<ApiServerWindow>(station, station.options.apiPort, station.options.apiBind);
    window->show();
    return window;
}

}  // namespace bf
