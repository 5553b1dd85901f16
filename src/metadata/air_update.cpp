#include "metadata/air_update.h"

#include "core/outside_services.h"
#include "core/query_value.h"
#include "core/station.h"
#include "core/time_format.h"
#include "metadata/metadata_outputs.h"

namespace bf {

namespace {

constexpr std::string_view kSeparator = " - ";

// «C:\Spots\Ad1»: a playout system announcing its file, not a song.
bool IsFilePath(const std::string& text) {
    return (text + "        ").substr(1, 2) == ":\\";
}

std::string AirRequest(const Station& station, const std::string& artist, const std::string& title,
                       bool commercial) {
    return BaseAddress(station.options.airUrl) +
           "/Playing.ashx?partnerId=" + QueryValue(station.settings().AIRpartnerid) +
           "&partnerKey=" + QueryValue(station.settings().AIRpartnerkey) +
           "&id=" + QueryValue(station.settings().AIRid) + "&title=" + QueryValue(title) +
           "&artist=" + QueryValue(artist) + (commercial ? "&commercial=true" : "&commercial=false");
}

}  // namespace

AirText SplitAirText(std::string_view text) {
    const size_t n = text.size();
    // Zero-based positions: a separator at i needs i + 1 < n - 3.
    auto isSeparator = [&](size_t i) { return i + 4 < n && text.substr(i, 3) == kSeparator; };
    AirText out;
    size_t i = 0;
    while (i < n && !isSeparator(i)) ++i;
    out.artist = std::string(text.substr(0, i));
    if (i == n) return out;
    for (; i < n; ++i) {
        if (!isSeparator(i)) out.title += text[i];
    }
    if (out.title.size() > 3) out.title.erase(0, 2);
    return out;
}

void tmrAirUpdate_Timer(Station& station) {
    StationState& s = station.state;
    ConsoleModel& c = station.console;
    const AirText split = SplitAirText(s.RXmetadata);
    if (IsSystemCommand(split.artist) || IsSystemCommand(split.title)) return;
    // Either part changing is a new song on air.
    if (split.artist == s.AIRLastArtist && split.title == s.AIRLastTitle) return;

    std::string artist = station.settings().AIRdefaultArtist;
    std::string title = station.settings().AIRdefaultTitle;
    bool commercial = true;
    if (!split.artist.empty() && !split.title.empty() && !IsFilePath(split.artist) &&
        !IsFilePath(split.title)) {
        artist = split.artist;
        title = split.title;
        commercial = false;
    }
    // The text as split, not what was sent: a text that stays the same is
    // sent once, also when the defaults went in its place. Noted before the
    // wait, so a tick during it sees the text as sent.
    s.AIRLastArtist = split.artist;
    s.AIRLastTitle = split.title;

    if (station.InetAIR.busy()) station.InetAIR.cancel();
    station.InetAIR.setTimeoutMs(kAirTimeoutMs);
    NoteServiceReply(station, OutsideService::Air,
                     station.InetAIR.fetch(AirRequest(station, artist, title, commercial)));
    c.lblAIRartist.caption = artist;
    c.lblAIRtitle.caption = title;
    c.lblAIRupdated.caption = FormatTime(station.clock.now());
}

}  // namespace bf
