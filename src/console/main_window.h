#pragma once

#include <QMainWindow>
#include <QTimer>
#include <optional>
#include <string>
#include <vector>

#include "console/display_text.h"
#include "core/console_model.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace bf {

struct Station;

using LabelMember = Label ConsoleModel::*;
using ButtonMember = Button ConsoleModel::*;

// The operator console. It only draws the console and forwards clicks to the
// handlers: ten times a second (and after a click) it draws the console model
// from the owners (DrawConsole) and brings the widgets in line with it,
// touching only what changed, so an idle console costs next to nothing and a
// busy station (an API flood, a burst of log lines) no more.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(Station& station, QWidget* parent = nullptr);

    // Draws the model from the owners and brings every widget and the window
    // itself in line with it now.
    void refresh();

    // The widget drawing a control of the model, or nullptr.
    QLabel* label(LabelMember member) const;
    QPushButton* button(ButtonMember member) const;
    QComboBox* sourceList() const { return comboSourceList_; }
    QPlainTextEdit* stationLog() const { return txtAIR_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    struct LabelView {
        LabelMember member;
        QLabel* widget;
        std::optional<Label> shown;  // nothing yet: drawn at the next refresh
    };
    struct ButtonView {
        ButtonMember member;
        QPushButton* widget;
        std::optional<Button> shown;
    };

    QLabel* createLabel(LabelMember member);
    QLayout* createButtonRow();
    void createSourceList();
    void refreshLabels();
    void refreshButtons();
    void refreshSourceList();
    void refreshStationLog();
    void refreshWindow();

    Station& station_;
    QTimer refreshTimer_;

    std::vector<LabelView> labels_;
    std::vector<ButtonView> buttons_;

    QComboBox* comboSourceList_ = nullptr;
    std::optional<ComboBox> shownSourceList_;
    QPlainTextEdit* txtAIR_ = nullptr;
    std::optional<std::string> shownLog_;
    std::optional<WindowModel> shownWindow_;
};

}  // namespace bf
