#include "views/view_metadata.h"

#include <string>

#include "core/station.h"
#include "core/text_decode.h"
#include "core/time_format.h"
#include "metadata/billing_reporter.h"
#include "metadata/weather.h"

namespace bf {

namespace {

// The extra line's label shows this many bytes of it.
constexpr size_t kExtraLabelWidth = 64;

constexpr Label ConsoleModel::*kHeaderLabels[] = {
    &ConsoleModel::lblStreamName,   &ConsoleModel::lblStreamGenre,   &ConsoleModel::lblStreamWebsite,
    &ConsoleModel::lblStreamPublic, &ConsoleModel::lblStreamBitrate, &ConsoleModel::lblStreamCodec};

void SetIndicator(Label& label, bool lit) {
    label.foreColour = lit ? Colour::White : Colour::DimText;
    label.backColour = lit ? Colour::Red : Colour::DimBackground;
}

std::string DateTimeText(const LocalTime& t) {
    return FormatDateDMY(t) + " " + FormatTime(t);
}

void DrawBilling(const Station& station, ConsoleModel& c) {
    const NowPlayingRecord& playing = station.nowPlaying;
    if (const auto& at = playing.paidAiredAt())
        c.lblTraffic.caption =
            FormatDateYMD(*at) + " " + FormatTime(*at) + "  PAY - " + playing.paidAiring().item;
    const BillingState& billing = station.metadata.billing;
    // A feature turned off keeps its label as it was, or as the settings
    // put it (naming the key it lacks).
    if (billing.lastCheck && station.settings().Tallyway) {
        c.lblLastCheck.caption = DateTimeText(*billing.lastCheck);
        const std::string& stamp = playing.paidAiring().stamp;
        c.lblTimestamp.caption = stamp.empty() ? "None" : stamp;
    }
    if (billing.sent) {
        const BillingText text = SplitPaidItem(billing.sent->item);
        c.lblArtist.caption = ShortLabel(text.customer);
        c.lblTitle.caption = ShortLabel(text.title);
    }
    if (billing.answeredAt) {
        c.lblSentTime.caption = DateTimeText(*billing.answeredAt);
        c.lblResponse.caption = billing.response;
    }
}

}  // namespace

void DrawMetadata(const Station& station, ConsoleModel& c) {
    const MetadataState& m = station.metadata;
    if (station.nowPlaying.received()) c.lblRXmetadata.caption = *station.nowPlaying.received();
    for (size_t i = 0; i < m.headers.values.size(); ++i)
        if (m.headers.values[i]) (c.*kHeaderLabels[i]).caption = *m.headers.values[i];
    if (m.outputs.written) {
        c.lblMetadataOutput.caption = m.outputs.metadataLine;
        c.lblMetadataExtra.caption = CutAtCharacter(m.outputs.extraLine, kExtraLabelWidth);
        SetIndicator(c.lblRDSactive, m.outputs.traffic);
        SetIndicator(c.lblAPIactive, m.outputs.command);
    }
    DrawBilling(station, c);
    if (m.air.answeredAt) {
        c.lblAIRartist.caption = m.air.artist;
        c.lblAIRtitle.caption = m.air.title;
        c.lblAIRupdated.caption = FormatTime(*m.air.answeredAt);
    }
    if (m.weather.ticked && station.settings().MetaWeather)
        c.lblWeather.caption =
            "NEXT WEATHER: " + std::to_string((kWeatherCycle - m.weather.counter) / 60) + " mins";
    if (m.weather.sentence) c.lblWeatherText.caption = *m.weather.sentence;
}

}  // namespace bf
