#include "metadata/air_update.h"

#include <utility>

#include "core/outside_services.h"
#include "core/query_value.h"
#include "core/run_handler.h"
#include "core/station.h"
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

void NoteAirText(Station& station, std::string_view text) {
    station.metadata.air.next = std::string(text);
}

void tmrAirUpdate_Timer(Station& station) {
    AirUpdateState& sent = station.metadata.air;
    if (!sent.next) return;
    const AirText split = SplitAirText(*std::exchange(sent.next, std::nullopt));
    if (IsSystemCommand(split.artist) || IsSystemCommand(split.title)) return;
    // Either part changing is a new song on air.
    if (split.artist == sent.splitArtist && split.title == sent.splitTitle) return;

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
    // sent once, also when the defaults went in its place.
    sent.splitArtist = split.artist;
    sent.splitTitle = split.title;

    // A request still under way five seconds on is given up for the newer
    // text.
    station.InetAIR.setTimeoutMs(kAirTimeoutMs);
    station.InetAIR.get(AirRequest(station, artist, title, commercial),
                        [&station, artist, title](const HttpResult& reply) {
                            RunHandler(station, "InetAIR_Reply", [&] {
                                NoteServiceReply(station, OutsideService::Air, reply);
                                AirUpdateState& shown = station.metadata.air;
                                shown.artist = artist;
                                shown.title = title;
                                shown.answeredAt = station.clock.now();
                            });
                        });
}

}  // namespace bf
