#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

class QTimer;

namespace bf {

struct Station;

// The console, drawn from the owners first (DrawConsole), and the main state fields as text, one item a line:
// name TAB value LF. Values escape backslash, CR, LF and TAB as \\, \r, \n
// and \t, so every item stays on its line. Test rigs read the running
// program's console through this.
std::string DumpConsole(const Station& station);

// The escaping that DumpConsole applies to each value.
std::string EscapeDumpValue(std::string_view value);

// Keeps a file holding the dump for a test rig (--console-dump FILE): looked
// at four times a second and replaced (atomically) only when it changed.
class ConsoleDumpFile {
public:
    // Writes the file at once, then keeps it up to date.
    ConsoleDumpFile(Station& station, std::filesystem::path path);
    ~ConsoleDumpFile();
    ConsoleDumpFile(const ConsoleDumpFile&) = delete;
    ConsoleDumpFile& operator=(const ConsoleDumpFile&) = delete;

private:
    void Update();

    Station& station_;
    const std::filesystem::path path_;
    std::string written_;
    std::unique_ptr<QTimer> timer_;
};

}  // namespace bf
