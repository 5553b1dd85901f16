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
#include <algorithm>
#include <functional>

#include "console/console_buttons.h"
#include "core/run_handler.h"
#include "core/station.h"
#include "sources/manual_switch.h"
#include "views/console_view.h"

namespace bf {

namespace {

constexpr int kRefreshMs = 100;

using M = ConsoleModel;

// How a label stands out from the plain ones; zero leaves a size free.
struct Look {
    int pointSize = 0;
    bool bold = false;
    bool centred = false;
    int width = 0;
    int height = 0;
    int minHeight = 0;
    QFrame::Shape frame = QFrame::NoFrame;
};
// clang-format off
constexpr Look kPlain, kBold{.bold = true}, kClock{.pointSize = 18, .bold = true};
constexpr Look kIndicator{.pointSize = 24, .bold = true, .centred = true, .minHeight = 48};
constexpr Look kSourceDigit{.pointSize = 24, .bold = true, .centred = true, .width = 72, .minHeight = 48,
                            .frame = QFrame::StyledPanel};
constexpr Look kColourBar{.height = 8}, kLamp{.width = 16, .height = 16};
constexpr Look kFlag{.centred = true, .frame = QFrame::Panel};
// clang-format on

struct Cell {
    LabelMember member;
    Look look = kPlain;
    int stretch = 1;
};
// One line of a group: a field caption and the labels beside it. Without a
// caption the labels take the whole line; without labels the caption does.
struct Row {
    Row(const char* text) : caption(text) {}
    Row(const char* text, LabelMember member, Look look = kPlain) : caption(text), cells{{member, look}} {}
    Row(const char* text, std::initializer_list<Cell> list) : caption(text), cells(list) {}
    const char* caption;
    std::vector<Cell> cells;
};
// Columns side by side in two bands, each with its share of the width;
// groups stack in their column.
constexpr struct {
    int band;
    int stretch;
} kColumns[] = {{0, 5}, {0, 2}, {1, 4}, {1, 3}, {1, 3}};
struct Group {
    const char* title;
    size_t column;
    std::vector<Row> rows;
};

// The console above the station log, every label of the model in one place.
const std::vector<Group>& Groups() {
    // clang-format off
    static const std::vector<Group> groups = {
        {"On air", 0, {{nullptr, {{&M::lblStatus, kIndicator}, {&M::lblSourceDisp, kSourceDigit}}},
                       {nullptr, &M::lblStatus2, kColourBar},
                       {"Current Source Number:", {{&M::lblSourceNumber}, {&M::lblStudio, kBold, 4}}},
                       {"Current Source Address:", &M::lblCurrentSource, kBold},
                       {"Mplayer Instance:", {{&M::lblMplayer}, {&M::lblMplayer1}, {&M::lblMplayer2},
                                              {&M::lblSilence}}}}},
        {"System", 1, {{nullptr, &M::lblClock, kClock}, {nullptr, &M::lblDate},
                       {"System Start", &M::lblBooted}, {"System Uptime", &M::lblUptime},
                       {nullptr, &M::lblVersion}}},
        {"Stream", 2, {{"Stream Name:", &M::lblStreamName}, {"Stream Genre:", &M::lblStreamGenre},
                       {"Stream Website:", &M::lblStreamWebsite}, {"Stream Public:", &M::lblStreamPublic},
                       {"Stream Bitrate:", &M::lblStreamBitrate}, {"Stream Codec:", &M::lblStreamCodec}}},
        {"Metadata", 2, {{"Stream Metadata:", &M::lblRXmetadata, kBold},
                         {"Metadata Output:", &M::lblMetadataOutput, kBold},
                         {nullptr, &M::lblMetadataExtra},
                         {nullptr, {{&M::lblAPIactive, kFlag}, {&M::lblRDSactive, kFlag}}},
                         {nullptr, &M::lblFilterSystem},
                         {nullptr, {{&M::lblWeather}, {&M::lblWeatherText}}}}},
        {"Failover", 3, {{nullptr, {{&M::lblFail, kLamp}, {&M::lblFailText, kBold}}},
                         {nullptr, &M::lblFailURL}, {nullptr, &M::lblFailCheckTime}, {nullptr, &M::lblDebug},
                         {"Backup chain:", &M::lblChain}}},
        {"Services", 3, {{"AIR API:", &M::lblTuneInAir}, {"AIR Updated:", &M::lblAIRupdated},
                         {"Current AIR Aritst:", &M::lblAIRartist},  // misspelt on purpose: operators know it so
                         {"Current AIR Title:", &M::lblAIRtitle}, {"Network API:", &M::lblAPIstatus},
                         {nullptr, &M::lblRemoteStatus}, {"Management Server:", &M::lblConfigurationStatus}}},
        {"Billing", 4, {{"Tallyway System Status"}, {nullptr, &M::lblTraffic},
                        {"Tallyway Check:", &M::lblLastCheck}, {"Customer:", &M::lblArtist},
                        {"Stamp:", &M::lblTimestamp}, {"Title:", &M::lblTitle},
                        {"Response:", &M::lblResponse}, {"Sent Time:", &M::lblSentTime}}},
        {"Schedule", 4, {{"Configured Local Switches"}, {nullptr, &M::lblNextEvent},
                         {nullptr, &M::lblLastEvent}}},
    };
    // clang-format on
    return groups;
}

using ClickHandler = void (*)(Station&);
struct ButtonSpec {
    ButtonMember member;
    const char* handlerName;
    ClickHandler handler;
};
#define BF_BUTTON(name) \
    { &ConsoleModel::name, #name "_Click", name##_Click }
// In the order of the button row.
constexpr ButtonSpec kButtons[] = {
    BF_BUTTON(cmdAutoManual),  BF_BUTTON(cmdFullScreen),  BF_BUTTON(cmdViewEvents), BF_BUTTON(cmdViewSource),
    BF_BUTTON(cmdForceSwitch), BF_BUTTON(cmdForceSource), BF_BUTTON(cmdTerminate),
};
#undef BF_BUTTON

void ApplyLook(QLabel* label, const Look& look) {
    if (look.pointSize != 0 || look.bold) {
        QFont font = label->font();
        if (look.pointSize != 0) font.setPointSize(look.pointSize);
        font.setBold(look.bold);
        label->setFont(font);
    }
    if (look.centred) label->setAlignment(Qt::AlignCenter);
    if (look.width != 0) label->setFixedWidth(look.width);
    if (look.height != 0) label->setFixedHeight(look.height);
    if (look.minHeight != 0) label->setMinimumHeight(look.minHeight);
    label->setFrameShape(look.frame);
}

QGroupBox* CreateGroup(const Group& group, QWidget* parent,
                       const std::function<QLabel*(LabelMember)>& create) {
    auto* box = new QGroupBox(QString::fromLatin1(group.title), parent);
    auto* form = new QFormLayout(box);
    form->setContentsMargins(6, 4, 6, 4);
    form->setVerticalSpacing(2);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    for (const Row& row : group.rows) {
        QLabel* caption = row.caption ? new QLabel(QString::fromLatin1(row.caption), box) : nullptr;
        if (row.cells.empty()) {
            form->addRow(caption);
            continue;
        }
        auto* fields = new QHBoxLayout;
        fields->setSpacing(6);
        for (const Cell& cell : row.cells) {
            QLabel* label = create(cell.member);
            ApplyLook(label, cell.look);
            fields->addWidget(label, cell.stretch);
        }
        if (caption)
            form->addRow(caption, fields);
        else
            form->addRow(fields);
    }
    return box;
}

QColor FromPacked(uint32_t packed) {
    return QColor(static_cast<int>(packed & 0xFF), static_cast<int>((packed >> 8) & 0xFF),
                  static_cast<int>((packed >> 16) & 0xFF));
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

// Runs of blanks in a caption break a button's text into lines
// ("EXIT AND STOP" over "(DEAD AIR)").
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

}  // namespace

// Widgets are owned by their Qt parent, as everywhere in Qt.
MainWindow::MainWindow(Station& station, QWidget* parent) : QMainWindow(parent), station_(station) {
    auto* central = new QWidget(this);
    auto* page = new QVBoxLayout(central);
    page->setContentsMargins(6, 6, 6, 6);
    page->setSpacing(4);
    const auto create = [this](LabelMember member) { return createLabel(member); };
    QBoxLayout* bands[] = {new QHBoxLayout, new QHBoxLayout};
    std::vector<QBoxLayout*> columns;
    for (const auto& [band, stretch] : kColumns) {
        columns.push_back(new QVBoxLayout);
        columns.back()->setSpacing(4);
        bands[band]->addLayout(columns.back(), stretch);
    }
    for (const Group& group : Groups())
        columns.at(group.column)->addWidget(CreateGroup(group, central, create));
    for (QBoxLayout* column : columns) column->addStretch(1);
    for (QBoxLayout* band : bands) {
        band->setSpacing(6);
        page->addLayout(band);
    }

    auto* log = new QGroupBox(QStringLiteral("Station log"), central);
    auto* logBox = new QVBoxLayout(log);
    logBox->setContentsMargins(6, 4, 6, 4);
    txtAIR_ = new QPlainTextEdit(log);
    txtAIR_->setReadOnly(true);
    txtAIR_->setUndoRedoEnabled(false);
    txtAIR_->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtAIR_->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    logBox->addWidget(txtAIR_);
    page->addWidget(log, 1);
    page->addLayout(createButtonRow());
    setCentralWidget(central);

    refresh();
    refreshTimer_.setTimerType(Qt::CoarseTimer);
    refreshTimer_.callOnTimeout(this, &MainWindow::refresh);
    refreshTimer_.start(kRefreshMs);
}

QLabel* MainWindow::label(LabelMember member) const {
    for (const LabelView& view : labels_)
        if (view.member == member) return view.widget;
    return nullptr;
}

QPushButton* MainWindow::button(ButtonMember member) const {
    for (const ButtonView& view : buttons_)
        if (view.member == member) return view.widget;
    return nullptr;
}

QLabel* MainWindow::createLabel(LabelMember member) {
    auto* label = new QLabel(this);
    label->setTextFormat(Qt::PlainText);
    // A long URL or title is cut at the edge instead of stretching the
    // fixed-size window; the tool tip shows all of it.
    label->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    label->setMinimumWidth(0);
    labels_.push_back({member, label, std::nullopt});
    return label;
}

QLayout* MainWindow::createButtonRow() {
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    for (const ButtonSpec& spec : kButtons) {
        if (spec.member == &M::cmdForceSwitch) {
            row->addSpacing(6);
            createSourceList();
            row->addWidget(comboSourceList_, 1);
        }
        if (spec.member == &M::cmdTerminate) row->addSpacing(6);
        auto* button = new QPushButton(this);
        button->setMinimumHeight(40);
        connect(button, &QPushButton::clicked, this, [this, &spec] {
            // A button that the model has just disabled takes no click, even
            // before the next refresh has greyed it out.
            if (!(station_.console.*spec.member).enabled) return;
            RunHandler(station_, spec.handlerName, [this, &spec] { spec.handler(station_); });
            refresh();
        });
        buttons_.push_back({spec.member, button, std::nullopt});
        row->addWidget(button);
    }
    return row;
}

void MainWindow::createSourceList() {
    comboSourceList_ = new QComboBox(this);
    comboSourceList_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    comboSourceList_->setMinimumContentsLength(1);
    comboSourceList_->setMinimumWidth(190);
    comboSourceList_->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    comboSourceList_->setMinimumHeight(40);
    connect(comboSourceList_, &QComboBox::activated, this, [this](int index) {
        const auto entry = static_cast<size_t>(index);
        if (!shownSourceList_ || index < 0 || entry >= shownSourceList_->items.size()) return;
        station_.console.comboSourceList.text = shownSourceList_->items[entry];
        refresh();
    });
}

void MainWindow::refresh() {
    DrawConsole(station_, station_.console);
    refreshWindow();
    refreshLabels();
    refreshButtons();
    refreshSourceList();
    refreshStationLog();
}

// Only what differs from what is shown is drawn again, so an idle console
// costs next to nothing.
void MainWindow::refreshLabels() {
    for (LabelView& view : labels_) {
        const Label& label = station_.console.*view.member;
        if (view.shown == label) continue;
        const QString text = DecodeForDisplay(label.caption);
        view.widget->setText(text);
        view.widget->setToolTip(text);
        ApplyColours(view.widget, label.foreColour, label.backColour, QPalette::WindowText, QPalette::Window);
        view.widget->setAutoFillBackground(label.backColour.has_value());
        if (!label.visible || (view.shown && !view.shown->visible)) view.widget->setVisible(label.visible);
        view.shown = label;
    }
}

void MainWindow::refreshButtons() {
    for (ButtonView& view : buttons_) {
        const Button& button = station_.console.*view.member;
        if (view.shown == button) continue;
        view.widget->setText(ButtonText(button.caption));
        ApplyColours(view.widget, std::nullopt, button.backColour, QPalette::ButtonText, QPalette::Button);
        view.widget->setEnabled(button.enabled);
        view.shown = button;
    }
}

void MainWindow::refreshSourceList() {
    const ComboBox& model = station_.console.comboSourceList;
    if (shownSourceList_ == model) return;
    QSignalBlocker quiet(comboSourceList_);
    if (!shownSourceList_ || model.items != shownSourceList_->items) {
        comboSourceList_->clear();
        for (const std::string& item : model.items) comboSourceList_->addItem(DecodeForDisplay(item));
    }
    // The list shows its text until the operator picks an entry; the text is
    // then that entry's.
    const auto chosen = std::find(model.items.begin(), model.items.end(), model.text);
    const int index = chosen == model.items.end() ? -1 : static_cast<int>(chosen - model.items.begin());
    if (index < 0) comboSourceList_->setPlaceholderText(DecodeForDisplay(model.text));
    comboSourceList_->setCurrentIndex(index);
    shownSourceList_ = model;
}

void MainWindow::refreshStationLog() {
    const std::string& log = station_.console.txtAIR;
    if (shownLog_ == log) return;
    // Setting the text puts the view at the top, where the newest line is.
    txtAIR_->setPlainText(LogText(log));
    shownLog_ = log;
}

void MainWindow::refreshWindow() {
    const WindowModel& model = station_.console.window;
    if (shownWindow_ == model) return;
    setWindowTitle(DecodeForDisplay(model.title));
    // Without its border the maximised window is a full-screen one, which
    // also covers the desktop's panel.
    Qt::WindowState state = Qt::WindowNoState;
    if (model.maximized) state = model.sizableBorder ? Qt::WindowMaximized : Qt::WindowFullScreen;
    if (state != Qt::WindowNoState) {
        // A fixed size would keep the window from growing.
        setMinimumSize(0, 0);
        setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    }
    setWindowState((windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen)) | state);
    if (state == Qt::WindowNoState) setFixedSize(model.width, model.height);
    shownWindow_ = model;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    RunHandler(station_, "Form_Unload", [this] { Form_Unload(station_); });
    event->accept();
}

}  // namespace bf
