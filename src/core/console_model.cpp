#include "core/console_model.h"

namespace bf {

// Each control under its own name, typed once.
#define BF_NAMED(n) \
    { #n, &ConsoleModel::n }

const std::vector<ConsoleModel::NamedLabel>& ConsoleModel::labels() {
    static const std::vector<NamedLabel> all = {
        BF_NAMED(lblClock),         BF_NAMED(lblDate),          BF_NAMED(lblStatus),
        BF_NAMED(lblStatus2),       BF_NAMED(lblMplayer),       BF_NAMED(lblBooted),
        BF_NAMED(lblUptime),        BF_NAMED(lblSourceNumber),  BF_NAMED(lblSourceDisp),
        BF_NAMED(lblStudio),        BF_NAMED(lblCurrentSource), BF_NAMED(lblMplayer1),
        BF_NAMED(lblMplayer2),      BF_NAMED(lblStreamName),    BF_NAMED(lblStreamGenre),
        BF_NAMED(lblStreamWebsite), BF_NAMED(lblStreamPublic),  BF_NAMED(lblStreamBitrate),
        BF_NAMED(lblStreamCodec),   BF_NAMED(lblRXmetadata),    BF_NAMED(lblMetadataOutput),
        BF_NAMED(lblMetadataExtra), BF_NAMED(lblAPIactive),     BF_NAMED(lblRDSactive),
        BF_NAMED(lblTraffic),       BF_NAMED(lblRemoteStatus),  BF_NAMED(lblFailText),
        BF_NAMED(lblFailURL),       BF_NAMED(lblFailCheckTime), BF_NAMED(lblFail),
        BF_NAMED(lblSilence),       BF_NAMED(lblTuneInAir),     BF_NAMED(lblConfigurationStatus),
        BF_NAMED(lblAPIstatus),     BF_NAMED(lblWeather),       BF_NAMED(lblWeatherText),
        BF_NAMED(lblAIRupdated),    BF_NAMED(lblAIRtitle),      BF_NAMED(lblAIRartist),
        BF_NAMED(lblLastCheck),     BF_NAMED(lblTimestamp),     BF_NAMED(lblTitle),
        BF_NAMED(lblArtist),        BF_NAMED(lblSentTime),      BF_NAMED(lblResponse),
        BF_NAMED(lblFilterSystem),  BF_NAMED(lblNextEvent),     BF_NAMED(lblLastEvent),
        BF_NAMED(lblDebug),         BF_NAMED(lblVersion),       BF_NAMED(lblChain),
    };
    return all;
}

const std::vector<ConsoleModel::NamedButton>& ConsoleModel::buttons() {
    static const std::vector<NamedButton> all = {
        BF_NAMED(cmdAutoManual), BF_NAMED(cmdFullScreen),  BF_NAMED(cmdViewEvents),  BF_NAMED(cmdViewSource),
        BF_NAMED(cmdTerminate),  BF_NAMED(cmdForceSwitch), BF_NAMED(cmdForceSource),
    };
    return all;
}

#undef BF_NAMED

}  // namespace bf
