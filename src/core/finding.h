#pragma once

#include <string>

namespace bf {

// A problem found in a station folder: the file, its line (0: the file as a
// whole) and what is wrong, as "FILE:LINE: message" shows it.
struct Finding {
    std::string file;
    int line = 0;
    std::string message;
    // Worth a look, but no fault: the check's exit status leaves it out.
    bool warning = false;
    bool operator==(const Finding&) const = default;
};

inline std::string FindingText(const Finding& f) {
    return f.file + (f.line > 0 ? ":" + std::to_string(f.line) : std::string()) + ": " +
           (f.warning ? "warning: " : "") + f.message;
}

}  // namespace bf
