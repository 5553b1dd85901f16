#include "sources/last_resort.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <random>

#include "core/text_decode.h"
#include "core/text_file.h"

namespace bf {

namespace fs = std::filesystem;

namespace {

std::string LowerExtension(const fs::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

bool Readable(const fs::path& path) {
    std::error_code ec;
    return fs::is_regular_file(path, ec) && ::access(path.c_str(), R_OK) == 0;
}

unsigned Byte(std::string_view bytes, size_t at) {
    return static_cast<unsigned char>(bytes[at]);
}

// The length of the ID3v2 tag the bytes begin with (its header, its body
// and a footer), 0 without one. Versions 2.2 to 2.4; the size is 4 bytes of
// 7 bits each.
size_t Id3v2Length(std::string_view bytes) {
    if (bytes.size() < 10 || !bytes.starts_with("ID3") || Byte(bytes, 3) < 2 || Byte(bytes, 3) > 4 ||
        Byte(bytes, 4) == 0xFF)
        return 0;
    size_t size = 0;
    for (size_t i = 6; i < 10; ++i) {
        if (Byte(bytes, i) & 0x80) return 0;
        size = size << 7 | Byte(bytes, i);
    }
    return 10 + size + ((Byte(bytes, 5) & 0x10) ? 10 : 0);
}

// A frame header of a stream: the frame's length (0: no header there) and
// the bits every header of the same stream repeats.
struct Frame {
    size_t length = 0;
    unsigned same = 0;
};

// An MPEG audio frame header (MPEG-1, 2 and 2.5, Layer I, II and III).
Frame MpegFrame(std::string_view b, size_t at) {
    if (at + 4 > b.size() || Byte(b, at) != 0xFF || (Byte(b, at + 1) & 0xE0) != 0xE0) return {};
    const unsigned version = (Byte(b, at + 1) >> 3) & 3;      // 0 MPEG-2.5, 1 reserved, 2 MPEG-2, 3 MPEG-1
    const unsigned layer = 4 - ((Byte(b, at + 1) >> 1) & 3);  // 1..3; 4 reserved
    const unsigned bitrate = Byte(b, at + 2) >> 4, rate = (Byte(b, at + 2) >> 2) & 3;
    const unsigned padding = (Byte(b, at + 2) >> 1) & 1;
    if (version == 1 || layer == 4 || bitrate == 0 || bitrate == 15 || rate == 3) return {};
    static constexpr unsigned kKbps[5][15] = {
        {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // MPEG-1 Layer I
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // MPEG-1 Layer II
        {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // MPEG-1 Layer III
        {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // MPEG-2/2.5 Layer I
        {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}};         // MPEG-2/2.5 Layer II, III
    static constexpr unsigned kHz[3] = {44100, 48000, 32000};
    const unsigned bps = 1000 * kKbps[version == 3 ? layer - 1 : std::min(layer, 2U) + 2][bitrate];
    const unsigned hz = kHz[rate] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const unsigned slot = layer == 3 && version != 3 ? 72 : 144;  // Layer III of MPEG-2/2.5: 576 samples
    const size_t length = layer == 1 ? (12 * bps / hz + padding) * 4 : slot * bps / hz + padding;
    return {length, (Byte(b, at + 1) & 0xFE) << 8 | (Byte(b, at + 2) & 0x0C)};
}

// An AAC frame header in ADTS: a 12-bit sync, layer 00, a sampling rate of
// the table, and the frame's 13-bit length, header included.
Frame AdtsFrame(std::string_view b, size_t at) {
    if (at + 7 > b.size() || Byte(b, at) != 0xFF || (Byte(b, at + 1) & 0xF6) != 0xF0) return {};
    if (((Byte(b, at + 2) >> 2) & 0x0F) > 12) return {};
    const size_t length = (Byte(b, at + 3) & 3) << 11 | Byte(b, at + 4) << 3 | Byte(b, at + 5) >> 5;
    if (length < ((Byte(b, at + 1) & 1) ? 7U : 9U)) return {};
    return {length, Byte(b, at + 1) << 8 | (Byte(b, at + 2) & 0xFD)};
}

// Whether a frame header within the first `window` bytes is followed,
// exactly one frame later, by a header of the same stream; or, when the
// bytes are all the file has, by the file's end before a next header's
// `headerBytes`.
bool ChainedFrames(std::string_view b, size_t window, Frame (*header)(std::string_view, size_t),
                   size_t headerBytes) {
    for (size_t at = 0; at < std::min(window, b.size()); ++at) {
        const Frame first = header(b, at);
        if (first.length == 0) continue;
        const Frame next = header(b, at + first.length);
        if (next.length != 0 && next.same == first.same) return true;
        if (b.size() < kAudioHeadBytes && at + first.length + headerBytes > b.size()) return true;
    }
    return false;
}

// Keeps a track that can be read and looks like audio; names one that does
// not. Only the file's first bytes are read (and as many after a tag), of
// the first kSniffedTracks files of a reading: a large folder on a slow
// disk is read at the moment of need, and the player gets past a file it
// cannot play by itself.
constexpr size_t kSniffedTracks = 256;
void Take(LastResortList& list, const fs::path& path, size_t enough, size_t& sniffed) {
    if (list.tracks.size() >= enough) return;
    const bool readable = Readable(path);
    if (readable && sniffed >= kSniffedTracks) {
        list.tracks.push_back(path);
        return;
    }
    const std::optional<std::string> start = readable ? ReadFileHead(path, kAudioHeadBytes) : std::nullopt;
    if (!start) {
        list.skipped.push_back(path.filename().string() + " cannot be read");
        return;
    }
    ++sniffed;
    std::string afterTag;
    if (const size_t tag = Id3v2Length(*start); tag > 0)
        afterTag = ReadFileFrom(path, tag, kAudioHeadBytes).value_or(FilePart{}).bytes;
    if (LooksLikeAudio(LowerExtension(path), *start, afterTag))
        list.tracks.push_back(path);
    else
        list.skipped.push_back(path.filename().string() + " does not look like " + LowerExtension(path) +
                               " audio");
}

}  // namespace

bool IsAudioFile(const fs::path& path) {
    const std::string extension = LowerExtension(path);
    for (const char* audio : {".mp3", ".ogg", ".opus", ".flac", ".wav", ".m4a", ".aac"})
        if (extension == audio) return true;
    return false;
}

bool LooksLikeAudio(std::string_view extension, std::string_view start, std::string_view afterTag) {
    // A tagged file's audio may follow the tag after a little padding, and
    // a recording cut out of a stream may begin in the middle of a frame.
    const bool tagged = Id3v2Length(start) > 0;
    const std::string_view audio = tagged ? afterTag : start;
    const size_t window = kAudioHeadBytes / 2;
    if (extension == ".mp3") return ChainedFrames(audio, window, MpegFrame, 4);
    if (extension == ".aac") return ChainedFrames(audio, window, AdtsFrame, 7);
    if (extension == ".flac") return audio.starts_with("fLaC");
    if (extension == ".ogg" || extension == ".opus") return start.starts_with("OggS");
    if (extension == ".wav")
        return start.size() >= 12 && start.substr(8, 4) == "WAVE" &&
               (start.starts_with("RIFF") || start.starts_with("RF64") || start.starts_with("BW64"));
    if (extension == ".m4a") return start.size() >= 8 && start.substr(4, 4) == "ftyp";
    return true;
}

LastResortList ReadLastResort(const fs::path& folder, std::string_view setting, size_t enough) {
    enough = std::min(enough, kLastResortTracks);
    size_t sniffed = 0;
    LastResortList list;
    if (setting.empty()) return list;
    const fs::path path = folder / fs::path(std::string(setting));
    std::error_code ec;
    if (fs::is_directory(path, ec)) {
        list.kind = LastResortList::Kind::Folder;
        std::vector<fs::path> names;
        for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
            if (IsAudioFile(it->path()) && names.size() < kLastResortTracks) names.push_back(it->path());
        std::ranges::sort(names);
        for (const fs::path& name : names) {
            if (list.tracks.size() >= enough) break;
            Take(list, name, enough, sniffed);
        }
        return list;
    }
    if (LowerExtension(path) != ".m3u") {
        list.kind = LastResortList::Kind::File;
        return list;
    }
    list.kind = LastResortList::Kind::Playlist;
    int number = 0;
    ForEachLine(ReadFileHead(path, 1024 * 1024).value_or(""), [&](std::string_view line) {
        ++number;
        while (!line.empty() && (line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
        if (line.empty() || line.starts_with("#")) return;
        if (line.find("://") != std::string_view::npos)
            list.skipped.push_back("line " + std::to_string(number) + " is a URL (" +
                                   std::string(CutAtCharacter(line, 60)) + "): local files only");
        else
            Take(list, path.parent_path() / fs::path(std::string(line)), enough, sniffed);
    });
    return list;
}

std::string ShuffledPlaylist(std::vector<fs::path> tracks, unsigned seed) {
    std::mt19937 random(seed);
    std::shuffle(tracks.begin(), tracks.end(), random);
    std::string text;
    for (const fs::path& track : tracks) text += track.string() + "\n";
    return text;
}

}  // namespace bf
