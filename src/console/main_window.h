#pragma once

#include <QMainWindow>
#include <QTimer>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "console/display_text.h"
#include "core/console_model.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace bf {

struct Station;

// The operator console. It only draws the console model and forwards clicks
// to the handlers; a short timer brings the widgets in line with the model
// and touches only what changed, so an idle console costs next to nothing.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(Station& station, QWidget* parent = nullptr);

    // Brings every widget and the window itself in line with the model now.
    void refresh();

    // The widget drawing a documented control, or nullptr.
    QLabel* labelWidget(const std::string& name) const;
    QPushButton* buttonWidget(const std::string& name) const;
    QComboBox* sourceList() const { return comboSourceList_; }
    QPlainTextEdit* stationLog() const { return txtAIR_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct LabelView {
        Label ConsoleModel::*member;
        QLabel* widget;
        Label shown;
    };
    struct ButtonView {
        Button ConsoleModel::*member;
        QPushButton* widget;
        Button shown;
    };

    void createControls();
    void buildLayout();
    void refreshLabels();
    void refreshButtons();
    void refreshSourceList();
    void refreshStationLog();
    void refreshWindow();

    Station& station_;
    QTimer refreshTimer_;
    bool firstRefresh_ = true;

    std::vector<LabelView> labels_;
    std::vector<ButtonView> buttons_;
    std::map<std::string, QLabel*> labelByName_;
    std::map<std::string, QPushButton*> buttonByName_;

    QComboBox* comboSourceList_ = nullptr;
    ComboBox shownSourceList_;
    QPlainTextEdit* txtAIR_ = nullptr;
    std::string shownLog_;
    WindowModel shownWindow_;
};

}  // namespace bf
