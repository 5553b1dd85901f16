#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace bf {

// Colours packed as red + 256 * green + 65536 * blue.
namespace Colour {
constexpr uint32_t Red = 255;
constexpr uint32_t Green = 65280;
constexpr uint32_t White = 16777215;
constexpr uint32_t DimText = 3158064;        // 48, 48, 48
constexpr uint32_t DimBackground = 4210752;  // 64, 64, 64
}  // namespace Colour

struct Label {
    Label(std::string c = {}, std::optional<uint32_t> fore = {}, std::optional<uint32_t> back = {})
        : caption(std::move(c)), foreColour(fore), backColour(back) {}
    std::string caption;                 // bytes; decoded only to draw
    std::optional<uint32_t> foreColour;  // nullopt: the window's default
    std::optional<uint32_t> backColour;
    bool visible = true;
    bool operator==(const Label&) const = default;
};

struct Button {
    Button(std::string c = {}, std::optional<uint32_t> back = {}) : caption(std::move(c)), backColour(back) {}
    std::string caption;
    std::optional<uint32_t> backColour;
    bool enabled = true;
    bool operator==(const Button&) const = default;
};

struct ComboBox {
    std::string text;  // the chosen entry's text, or the design text
    std::vector<std::string> items;
    bool operator==(const ComboBox&) const = default;
};

struct WindowModel {
    std::string title = "Brackenfield";
    int width = 1041;
    int height = 755;
    bool sizableBorder = true;
    bool maximized = false;
    bool operator==(const WindowModel&) const = default;
};

// Every control of the operator console as plain data. Handlers change it;
// the Qt window only draws it and forwards clicks.
struct ConsoleModel {
    WindowModel window;

    Button cmdAutoManual{"AUTOMATIC", Colour::Green};
    Button cmdFullScreen{"FULL SCREEN"};
    Button cmdViewEvents{"View Events"};
    Button cmdViewSource{"View Sources"};
    Button cmdTerminate{"             EXIT AND STOP            (DEAD AIR)"};
    Button cmdForceSwitch{"Force Switch Now"};
    Button cmdForceSource{"FORCE SWITCH FROM BACKUP"};
    ComboBox comboSourceList{"Select Source for Forced Manual Switch", {}};

    std::string txtAIR;  // the station log, newest line first

    Label lblClock{"00:00:00"};
    Label lblDate{"2000-01-01"};
    Label lblStatus{"NO SOURCE"};
    Label lblStatus2{""};
    Label lblMplayer{"None"};
    Label lblBooted{"N/A"};
    Label lblUptime{"N/A"};
    Label lblSourceNumber{"None"};
    Label lblSourceDisp{""};
    Label lblStudio{"NONE"};
    Label lblCurrentSource{"None"};
    Label lblMplayer1{"STOP"};
    Label lblMplayer2{"STOP"};
    Label lblStreamName{"None"};
    Label lblStreamGenre{"None"};
    Label lblStreamWebsite{"None"};
    Label lblStreamPublic{"None"};
    Label lblStreamBitrate{"None"};
    Label lblStreamCodec{"None"};
    Label lblRXmetadata{"None"};
    Label lblMetadataOutput{"None"};
    Label lblMetadataExtra{"WAITING FOR METADATA"};
    Label lblAPIactive{"API COMMAND", Colour::DimText, Colour::DimBackground};
    Label lblRDSactive{"RDS TRAFFIC", Colour::DimText, Colour::DimBackground};
    Label lblTraffic{"NO BILLING TRAFFIC SEEN"};
    Label lblRemoteStatus{"NO REMOTE API CALLS MADE"};
    Label lblFailText{"DISABLED"};
    Label lblFailURL{"NONE"};
    Label lblFailCheckTime{"NO TIME"};
    Label lblFail{""};
    Label lblChain{"none"};  // the backup chain, link by link
    Label lblSilence{"SILENCE"};
    Label lblTuneInAir{"Disabled"};
    Label lblConfigurationStatus{"Disabled"};
    Label lblAPIstatus{"Disabled"};
    Label lblWeather{"NO WEATHER"};
    Label lblWeatherText{"NO WEATHER"};
    Label lblAIRupdated{"None"};
    Label lblAIRtitle{"None"};
    Label lblAIRartist{"None"};
    Label lblLastCheck{"None"};
    Label lblTimestamp{"None"};
    Label lblTitle{"None"};
    Label lblArtist{"None"};
    Label lblSentTime{"None"};
    Label lblResponse{"None"};
    Label lblFilterSystem{"SYSTEM API FILTER OFF"};
    Label lblNextEvent{"No Event Next"};
    Label lblLastEvent{"No Previous Event"};
    Label lblDebug{"Debug text will appear here."};
    Label lblVersion{""};

    struct NamedLabel {
        const char* name;
        Label ConsoleModel::*member;
    };
    struct NamedButton {
        const char* name;
        Button ConsoleModel::*member;
    };
    // Every label and button with the name the operators know it by, for the
    // view and for dumps of the console.
    static const std::vector<NamedLabel>& labels();
    static const std::vector<NamedButton>& buttons();
};

}  // namespace bf
