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

// Keeps a track that can be read; names one that cannot.
void Take(LastResortList& list, const fs::path& path) {
    if (list.tracks.size() >= kLastResortTracks) return;
    if (Readable(path))
        list.tracks.push_back(path);
    else
        list.skipped.push_back(path.filename().string() + " cannot be read");
}

}  // namespace

bool IsAudioFile(const fs::path& path) {
    const std::string extension = LowerExtension(path);
    for (const char* audio : {".mp3", ".ogg", ".opus", ".flac", ".wav", ".m4a", ".aac"})
        if (extension == audio) return true;
    return false;
}

LastResortList ReadLastResort(const fs::path& folder, std::string_view setting) {
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
        for (const fs::path& name : names) Take(list, name);
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
            Take(list, path.parent_path() / fs::path(std::string(line)));
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
