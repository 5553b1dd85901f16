#pragma once

#include <string>

namespace bf {

// The station has two player slots; each plays through its own copy of the
// player in the working folder and keeps its files beside it.
inline constexpr int kPlayerSlots = 2;

// The files of a player slot, every one named after the slot's player copy.
struct PlayerFiles {
    std::string name;         // the player copy, also its process name: "mplayer1"
    std::string log;          // what it writes while it plays: "mplayer1.log"
    std::string previousLog;  // its run before, kept for its last words: "mplayer1.log.1"
    std::string audioCount;   // the audio blocks it passed on: "mplayer1.export"
    std::string record;       // what it was started to play, for a start that keeps it: "mplayer1.url"
};

// Empty names for a slot that does not exist.
inline PlayerFiles PlayerFilesOf(int slot) {
    if (slot < 1 || slot > kPlayerSlots) return {};
    const std::string name = "mplayer" + std::to_string(slot);
    return {name, name + ".log", name + ".log.1", name + ".export", name + ".url"};
}

// The image name of a slot's player copy: "mplayer1" or "mplayer2"; empty
// for a slot that does not exist.
inline std::string PlayerName(int slot) {
    return PlayerFilesOf(slot).name;
}

}  // namespace bf
