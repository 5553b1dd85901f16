#pragma once

#include <string>
#include <string_view>

namespace bf {

struct Station;

// The console and the main state fields as text, one item a line:
// name TAB value LF. Values escape backslash, CR, LF and TAB as \\, \r, \n
// and \t, so every item stays on its line. Test rigs read the running
// program's console through this.
std::string DumpConsole(const Station& station);

// The escaping that DumpConsole applies to each value.
std::string EscapeDumpValue(std::string_view value);

}  // namespace bf
