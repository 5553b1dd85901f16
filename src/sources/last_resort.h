#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace bf {

// What LastResortFile names: one file, played in a loop (as it always was),
// a folder of audio files, or a local .m3u playlist; the folder and the
// playlist are played in turn in a shuffled order, again and again.
struct LastResortList {
    enum class Kind { None, File, Folder, Playlist };
    Kind kind = Kind::None;
    // A folder's or a playlist's audio files that can be read now, in order
    // (a folder's by name).
    std::vector<std::filesystem::path> tracks;
    // What was left out and why: a playlist's URLs (it plays local files
    // only), files that cannot be read or that are no audio.
    std::vector<std::string> skipped;
    // Whether there is a last resort to play: a file, or a list with a track.
    bool plays() const { return kind == Kind::File || !tracks.empty(); }
};

// The audio files it plays: .mp3 .ogg .opus .flac .wav .m4a .aac, in any case.
bool IsAudioFile(const std::filesystem::path& path);

// Whether a file looks like audio of the kind its name says, told by its
// first bytes (`start`: at most kAudioHeadBytes) and, when it begins with an
// ID3v2 tag, as many from the tag's end on (`afterTag`): fewer bytes than
// that mean the file ends there. `extension` is the name's, in lower case;
// a kind without a known signature passes. An MP3 or an AAC (ADTS) stream
// shows two frame headers in a row (noise rarely does); a file that ends
// before its first frame does passes on that frame.
inline constexpr size_t kAudioHeadBytes = 4096;
bool LooksLikeAudio(std::string_view extension, std::string_view start, std::string_view afterTag = {});

// Reads what `setting` names now (a relative path starts from the station
// folder). A folder or playlist holds at most kLastResortTracks tracks;
// with `enough`, the reading ends at that many (whether it plays at all
// needs one track, not every file's first bytes).
inline constexpr size_t kLastResortTracks = 5000;
LastResortList ReadLastResort(const std::filesystem::path& folder, std::string_view setting,
                              size_t enough = kLastResortTracks);

// The playlist the player is given for a folder or a playlist: the tracks,
// one path a line, in a shuffled order (`seed`).
std::string ShuffledPlaylist(std::vector<std::filesystem::path> tracks, unsigned seed);

}  // namespace bf
