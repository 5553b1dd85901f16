#include "core/console_model.h"

namespace bf {

#define BF_LABEL(n) {#n, &ConsoleModel::n}

const std::vector<ConsoleModel::NamedLabel>& ConsoleModel::labels() {
    static const std::vector<NamedLabel> all = {
        BF_LABEL(lblClock),          BF_LABEL(lblDate),           BF_LABEL(lblStatus),
        BF_LABEL(lblStatus2),        BF_LABEL(lblMplayer),        BF_LABEL(lblBooted),
        BF_LABEL(lblUptime),         BF_LABEL(lblSourceNumber),   BF_LABEL(lblSourceDisp),
        BF_LABEL(lblStudio),         BF_LABEL(lblCurrentSource),  BF_LABEL(lblMplayer1),
        BF_LABEL(lblMplayer2),       BF_LABEL(lblStreamName),     BF_LABEL(lblStreamGenre),
        BF_LABEL(lblStreamWebsite),  BF_LABEL(lblStreamPublic),   BF_LABEL(lblStreamBitrate),
        BF_LABEL(lblStreamCodec),    BF_LABEL(lblRXmetadata),     BF_LABEL(lblMetadataOutput),
        BF_LABEL(lblMetadataExtra),  BF_LABEL(lblAPIactive),      BF_LABEL(lblRDSactive),
        BF_LABEL(lblTraffic),        BF_LABEL(lblRemoteStatus),   BF_LABEL(lblFailText),
        BF_LABEL(lblFailURL),        BF_LABEL(lblFailCheckTime),  BF_LABEL(lblFail),
        BF_LABEL(lblSilence),        BF_LABEL(lblTuneInAir),      BF_LABEL(lblConfigurationStatus),
        BF_LABEL(lblAPIstatus),      BF_LABEL(lblWeather),        BF_LABEL(lblWeatherText),
        BF_LABEL(lblAIRupdated),     BF_LABEL(lblAIRtitle),       BF_LABEL(lblAIRartist),
        BF_LABEL(lblLastCheck),      BF_LABEL(lblTimestamp),      BF_LABEL(lblTitle),
        BF_LABEL(lblArtist),         BF_LABEL(lblSentTime),       BF_LABEL(lblResponse),
        BF_LABEL(lblFilterSystem),   BF_LABEL(lblNextEvent),      BF_LABEL(lblLastEvent),
        BF_LABEL(lblDebug),          BF_LABEL(lblVersion),
    };
    return all;
}

const std::vector<ConsoleModel::NamedButton>& ConsoleModel::buttons() {
    static const std::vector<NamedButton> all = {
        {"cmdAutoManual", &ConsoleModel::cmdAutoManual},   {"cmdFullScreen", &ConsoleModel::cmdFullScreen},
        {"cmdViewEvents", &ConsoleModel::cmdViewEvents},   {"cmdViewSource", &ConsoleModel::cmdViewSource},
        {"cmdTerminate", &ConsoleModel::cmdTerminate},     {"cmdForceSwitch", &ConsoleModel::cmdForceSwitch},
        {"cmdForceSource", &ConsoleModel::cmdForceSource},
    };
    return all;
}

#undef BF_LABEL

}  // namespace bf
