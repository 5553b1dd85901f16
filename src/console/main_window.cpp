#include "console/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QVBoxLayout>

#include "console/console_buttons.h"
#include "app/startup.h"
#include "core/station.h"
#include "sources/manual_switch.h"

namespace bf {

namespace {

constexpr int kRefreshMs = 100;

QColor FromPacked(uint32_t packed) {
    return QColor(static_cast<int>(packed & 0xFF), static_cast<int>((packed >> 8) & 0xFF),
                  static_cast<int>((packed >> 16) & 0xFF));
}

bool SameLook(const Label& a, const Label& b) {
    return a.foreColour == b.foreColour && a.backColour == b.backColour;
}

void ApplyColours(QWidget* widget, std::optional<uint32_t> fore, std::optional<uint32_t> back,
                  QPalette::ColorRole foreRole, QPalette::ColorRole backRole) {
    // Starting from the application's palette each time means that a colour
    // taken away (nullopt) really returns to the default.
    QPalette palette = QApplication::palette(widget);
    if (fore) palette.setColor(foreRole, FromPacked(*fore));
    if (back) palette.setColor(backRole, FromPacked(*back));
    widget->setPalette(palette);
}

// Runs of blanks in a caption were the old way of breaking a button's text
// into lines ("EXIT AND STOP" over "(DEAD AIR)"); they become line breaks.
QString ButtonText(const std::string& caption) {
    static const QRegularExpression blanks(QStringLiteral(" {2,}"));
    return DecodeForDisplay(caption).trimmed().replace(blanks, QStringLiteral("\n"));
}

// The station log uses CR LF; the text box wants plain line feeds.
QString LogText(const std::string& text) {
    QString shown = DecodeForDisplay(text);
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    if (shown.endsWith(QLatin1Char('\n'))) shown.chop(1);
    return shown;
}

using ClickHandler = void (*)(Station&);

const std::map<std::string, ClickHandler>& ClickHandlers() {
    static const std::map<std::string, ClickHandler> all = {
        {"cmdAutoManual", cmdAutoManual_Click},   {"cmdFullScreen", cmdFullScreen_Click},
        {"cmdViewEvents", cmdViewEvents_Click},   {"cmdViewSource", cmdViewSource_Click},
        {"cmdTerminate", cmdTerminate_Click},     {"cmdForceSwitch", cmdForceSwitch_Click},
        {"cmdForceSource", cmdForceSource_Click},
    };
    return all;
}

}  // namespace

MainWindow::MainWindow(Station& station, QWidget* parent) : QMainWindow(parent), station_(station) {
    createControls();
    buildLayout();
    refresh();
    refreshTimer_.setTimerType(Qt::CoarseTimer);
    refreshTimer_.callOnTimeout(this, &MainWindow::refresh);
    refreshTimer_.start(kRefreshMs);
}

QLabel* MainWindow::labelWidget(const std::string& name) const {
    auto it = labelByName_.find(name);
    return it == labelByName_.end() ? nullptr : it->second;
}

QPushButton* MainWindow::buttonWidget(const std::string& name) const {
    auto it = buttonByName_.find(name);
    return it == buttonByName_.end() ? nullptr : it->second;
}

// Widgets are owned by their Qt parent, as everywhere in Qt.
void MainWindow::createControls() {
    for (const auto& named : ConsoleModel::labels()) {
        auto* label = new QLabel(this);
        label->setObjectName(QString::fromLatin1(named.name));
        label->setTextFormat(Qt::PlainText);
        // A long URL or title is cut at the edge instead of stretching the
        // fixed-size window; the tool tip shows all of it.
        label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        label->setMinimumWidth(0);
        labels_.push_back({named.member, label, Label{}});
        labelByName_[named.name] = label;
    }
    for (const auto& named : ConsoleModel::buttons()) {
        auto* button = new QPushButton(this);
        button->setObjectName(QString::fromLatin1(named.name));
        button->setMinimumHeight(40);
        const std::string name = named.name;
        const ClickHandler handler = ClickHandlers().at(name);
        const Button ConsoleModel::*member = named.member;
        connect(button, &QPushButton::clicked, this, [this, handler, member] {
            // A button that the model has just disabled takes no click, even
            // before the next refresh has greyed it out.
            if (!(station_.console.*member).enabled) return;
            handler(station_);
            refresh();
        });
        buttons_.push_back({named.member, button, Button{}});
        buttonByName_[name] = button;
    }

    comboSourceList_ = new QComboBox(this);
    comboSourceList_->setObjectName(QStringLiteral("comboSourceList"));
    comboSourceList_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    comboSourceList_->setMinimumContentsLength(1);
    comboSourceList_->setMinimumWidth(190);
    comboSourceList_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    comboSourceList_->setMinimumHeight(40);
    connect(comboSourceList_, &QComboBox::activated, this, [this](int index) {
        if (index < 0 || static_cast<size_t>(index) >= shownSourceList_.items.size()) return;
        station_.console.comboSourceList.text = shownSourceList_.items[static_cast<size_t>(index)];
        refresh();
    });

    txtAIR_ = new QPlainTextEdit(this);
    txtAIR_->setObjectName(QStringLiteral("txtAIR"));
    txtAIR_->setReadOnly(true);
    txtAIR_->setUndoRedoEnabled(false);
    txtAIR_->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtAIR_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    QFont huge = font();
    huge.setPointSize(24);
    huge.setBold(true);
    for (const char* name : {"lblStatus", "lblSourceDisp"}) {
        QLabel* l = labelWidget(name);
        l->setFont(huge);
        l->setAlignment(Qt::AlignCenter);
        l->setMinimumHeight(48);
    }
    labelWidget("lblStatus")->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    labelWidget("lblSourceDisp")->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    labelWidget("lblSourceDisp")->setFixedWidth(72);
    labelWidget("lblSourceDisp")->setFrameShape(QFrame::StyledPanel);
    QFont big = font();
    big.setPointSize(18);
    big.setBold(true);
    labelWidget("lblClock")->setFont(big);
    labelWidget("lblStatus2")->setFixedHeight(8);
    labelWidget("lblFail")->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    labelWidget("lblFail")->setFixedSize(16, 16);
    for (const char* name : {"lblAPIactive", "lblRDSactive"}) {
        QLabel* l = labelWidget(name);
        l->setAlignment(Qt::AlignCenter);
        l->setFrameShape(QFrame::Panel);
        l->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    }
    QFont bold = font();
    bold.setBold(true);
    for (const char* name :
         {"lblStudio", "lblCurrentSource", "lblRXmetadata", "lblMetadataOutput", "lblFailText"})
        labelWidget(name)->setFont(bold);
}

void MainWindow::buildLayout() {
    auto L = [this](const char* name) -> QLabel* { return labelWidget(name); };
    auto caption = [this](const char* text) { return new QLabel(QString::fromLatin1(text), this); };
    auto row = [](std::initializer_list<QWidget*> widgets, bool stretch = false) {
        auto* box = new QHBoxLayout;
        box->setSpacing(6);
        for (QWidget* w : widgets) box->addWidget(w, 1);
        if (stretch) box->addStretch(1);
        return box;
    };
    auto form = [](QGroupBox* group) {
        auto* f = new QFormLayout(group);
        f->setContentsMargins(6, 4, 6, 4);
        f->setVerticalSpacing(2);
        f->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
        return f;
    };
    auto group = [this](const char* title) { return new QGroupBox(QString::fromLatin1(title), this); };

    // On air: the indicator, the source on air, the players, the clock.
    QGroupBox* onAir = group("On air");
    auto* onAirBox = new QHBoxLayout(onAir);
    onAirBox->setContentsMargins(6, 4, 6, 4);
    auto* left = new QVBoxLayout;
    left->setSpacing(2);
    auto* indicator = new QHBoxLayout;
    indicator->addWidget(L("lblStatus"), 1);
    indicator->addWidget(L("lblSourceDisp"), 0);
    left->addLayout(indicator);
    left->addWidget(L("lblStatus2"));
    auto* sourceForm = new QFormLayout;
    sourceForm->setVerticalSpacing(2);
    sourceForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    auto* number = new QHBoxLayout;
    number->addWidget(L("lblSourceNumber"), 1);
    number->addWidget(L("lblStudio"), 4);
    sourceForm->addRow(caption("Current Source Number:"), number);
    sourceForm->addRow(caption("Current Source Address:"), L("lblCurrentSource"));
    sourceForm->addRow(caption("Mplayer Instance:"),
                       row({L("lblMplayer"), L("lblMplayer1"), L("lblMplayer2"), L("lblSilence")}));
    left->addLayout(sourceForm);
    onAirBox->addLayout(left, 5);
    auto* clockForm = new QFormLayout;
    clockForm->setVerticalSpacing(2);
    clockForm->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    clockForm->addRow(L("lblClock"));
    clockForm->addRow(L("lblDate"));
    clockForm->addRow(caption("System Start"), L("lblBooted"));
    clockForm->addRow(caption("System Uptime"), L("lblUptime"));
    clockForm->addRow(L("lblVersion"));
    onAirBox->addSpacing(8);
    onAirBox->addLayout(clockForm, 2);

    QGroupBox* stream = group("Stream");
    QFormLayout* streamForm = form(stream);
    streamForm->addRow(caption("Stream Name:"), L("lblStreamName"));
    streamForm->addRow(caption("Stream Genre:"), L("lblStreamGenre"));
    streamForm->addRow(caption("Stream Website:"), L("lblStreamWebsite"));
    streamForm->addRow(caption("Stream Public:"), L("lblStreamPublic"));
    streamForm->addRow(caption("Stream Bitrate:"), L("lblStreamBitrate"));
    streamForm->addRow(caption("Stream Codec:"), L("lblStreamCodec"));

    QGroupBox* metadata = group("Metadata");
    QFormLayout* metadataForm = form(metadata);
    metadataForm->addRow(caption("Stream Metadata:"), L("lblRXmetadata"));
    metadataForm->addRow(caption("Metadata Output:"), L("lblMetadataOutput"));
    metadataForm->addRow(L("lblMetadataExtra"));
    metadataForm->addRow(row({L("lblAPIactive"), L("lblRDSactive")}));
    metadataForm->addRow(L("lblFilterSystem"));
    metadataForm->addRow(row({L("lblWeather"), L("lblWeatherText")}));

    QGroupBox* failover = group("Failover");
    QFormLayout* failoverForm = form(failover);
    auto* lamp = new QHBoxLayout;
    lamp->addWidget(L("lblFail"), 0, Qt::AlignVCenter);
    lamp->addWidget(L("lblFailText"), 1);
    failoverForm->addRow(lamp);
    failoverForm->addRow(L("lblFailURL"));
    failoverForm->addRow(L("lblFailCheckTime"));
    failoverForm->addRow(L("lblDebug"));

    QGroupBox* services = group("Services");
    QFormLayout* servicesForm = form(services);
    servicesForm->addRow(caption("AIR API:"), L("lblTuneInAir"));
    servicesForm->addRow(caption("AIR Updated:"), L("lblAIRupdated"));
    servicesForm->addRow(caption("Current AIR Aritst:"), L("lblAIRartist"));
    servicesForm->addRow(caption("Current AIR Title:"), L("lblAIRtitle"));
    servicesForm->addRow(caption("Network API:"), L("lblAPIstatus"));
    servicesForm->addRow(L("lblRemoteStatus"));
    servicesForm->addRow(caption("Management Server:"), L("lblConfigurationStatus"));

    QGroupBox* billing = group("Billing");
    QFormLayout* billingForm = form(billing);
    billingForm->addRow(caption("Tallyway System Status"));
    billingForm->addRow(L("lblTraffic"));
    billingForm->addRow(caption("Tallyway Check:"), L("lblLastCheck"));
    billingForm->addRow(caption("Customer:"), L("lblArtist"));
    billingForm->addRow(caption("Stamp:"), L("lblTimestamp"));
    billingForm->addRow(caption("Title:"), L("lblTitle"));
    billingForm->addRow(caption("Response:"), L("lblResponse"));
    billingForm->addRow(caption("Sent Time:"), L("lblSentTime"));

    QGroupBox* schedule = group("Schedule");
    QFormLayout* scheduleForm = form(schedule);
    scheduleForm->addRow(caption("Configured Local Switches"));
    scheduleForm->addRow(L("lblNextEvent"));
    scheduleForm->addRow(L("lblLastEvent"));

    auto column = [](std::initializer_list<QGroupBox*> groups) {
        auto* box = new QVBoxLayout;
        box->setSpacing(4);
        for (QGroupBox* g : groups) box->addWidget(g);
        box->addStretch(1);
        return box;
    };
    auto* middle = new QHBoxLayout;
    middle->setSpacing(6);
    middle->addLayout(column({stream, metadata}), 4);
    middle->addLayout(column({failover, services}), 3);
    middle->addLayout(column({billing, schedule}), 3);

    QGroupBox* log = group("Station log");
    auto* logBox = new QVBoxLayout(log);
    logBox->setContentsMargins(6, 4, 6, 4);
    logBox->addWidget(txtAIR_);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->setSpacing(6);
    for (const char* name : {"cmdAutoManual", "cmdFullScreen", "cmdViewEvents", "cmdViewSource"})
        buttonRow->addWidget(buttonWidget(name));
    buttonRow->addSpacing(6);
    buttonRow->addWidget(comboSourceList_, 1);
    buttonRow->addWidget(buttonWidget("cmdForceSwitch"));
    buttonRow->addWidget(buttonWidget("cmdForceSource"));
    buttonRow->addSpacing(6);
    buttonRow->addWidget(buttonWidget("cmdTerminate"));

    auto* central = new QWidget(this);
    auto* page = new QVBoxLayout(central);
    page->setContentsMargins(6, 6, 6, 6);
    page->setSpacing(4);
    page->addWidget(onAir);
    page->addLayout(middle);
    page->addWidget(log, 1);
    page->addLayout(buttonRow);
    setCentralWidget(central);
}

void MainWindow::refresh() {
    refreshWindow();
    refreshLabels();
    refreshButtons();
    refreshSourceList();
    refreshStationLog();
    firstRefresh_ = false;
}

void MainWindow::refreshLabels() {
    const ConsoleModel& model = station_.console;
    for (LabelView& view : labels_) {
        const Label& label = model.*view.member;
        if (firstRefresh_ || label.caption != view.shown.caption) {
            const QString text = DecodeForDisplay(label.caption);
            view.widget->setText(text);
            view.widget->setToolTip(text);
        }
        if (firstRefresh_ || !SameLook(label, view.shown)) {
            ApplyColours(view.widget, label.foreColour, label.backColour, QPalette::WindowText,
                         QPalette::Window);
            view.widget->setAutoFillBackground(label.backColour.has_value());
        }
        if (firstRefresh_ ? !label.visible : label.visible != view.shown.visible)
            view.widget->setVisible(label.visible);
        view.shown = label;
    }
}

void MainWindow::refreshButtons() {
    const ConsoleModel& model = station_.console;
    for (ButtonView& view : buttons_) {
        const Button& button = model.*view.member;
        if (firstRefresh_ || button.caption != view.shown.caption)
            view.widget->setText(ButtonText(button.caption));
        if (firstRefresh_ || button.backColour != view.shown.backColour)
            ApplyColours(view.widget, std::nullopt, button.backColour, QPalette::ButtonText,
                         QPalette::Button);
        if (firstRefresh_ || button.enabled != view.shown.enabled) view.widget->setEnabled(button.enabled);
        view.shown = button;
    }
}

void MainWindow::refreshSourceList() {
    const ComboBox& model = station_.console.comboSourceList;
    const bool itemsChanged = firstRefresh_ || model.items != shownSourceList_.items;
    if (!itemsChanged && model.text == shownSourceList_.text) return;
    QSignalBlocker quiet(comboSourceList_);
    if (itemsChanged) {
        comboSourceList_->clear();
        for (const std::string& item : model.items) comboSourceList_->addItem(DecodeForDisplay(item));
    }
    // The list shows its text until the operator picks an entry; the text is
    // then that entry's.
    int index = -1;
    for (size_t i = 0; i < model.items.size(); ++i)
        if (model.items[i] == model.text) {
            index = static_cast<int>(i);
            break;
        }
    if (index < 0) comboSourceList_->setPlaceholderText(DecodeForDisplay(model.text));
    comboSourceList_->setCurrentIndex(index);
    shownSourceList_ = model;
}

void MainWindow::refreshStationLog() {
    const std::string& log = station_.console.txtAIR;
    if (!firstRefresh_ && log == shownLog_) return;
    // Setting the text puts the view at the top, where the newest line is.
    txtAIR_->setPlainText(LogText(log));
    shownLog_ = log;
}

void MainWindow::refreshWindow() {
    const WindowModel& model = station_.console.window;
    if (firstRefresh_ || model.title != shownWindow_.title) setWindowTitle(DecodeForDisplay(model.title));

    const bool borderChanged = firstRefresh_ || model.sizableBorder != shownWindow_.sizableBorder;
    const bool geometryChanged = firstRefresh_ || model.maximized != shownWindow_.maximized ||
                                 model.width != shownWindow_.width || model.height != shownWindow_.height;
    if (!borderChanged && !geometryChanged) return;

    const bool wasVisible = isVisible();
    if (borderChanged) setWindowFlag(Qt::FramelessWindowHint, !model.sizableBorder);  // hides the window
    if (model.maximized) {
        // A fixed size would keep the window from growing.
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
        setWindowState(windowState() | Qt::WindowMaximized);
    } else {
        setWindowState(windowState() & ~Qt::WindowMaximized);
        setFixedSize(model.width, model.height);
    }
    if (wasVisible && !isVisible()) show();
    shownWindow_ = model;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    Form_Unload(station_);
    event->accept();
}

}  // namespace bf
