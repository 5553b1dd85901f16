// The source list reader on any sourcelist.ini: the whole table, the lookup
// of one source and the table of the source list report agree.

#include "sources/source_list.h"

#include "fuzz_station.h"

using namespace bf;

namespace {

bool Same(const SourceEntry& a, const SourceEntry& b) {
    return a.name == b.name && a.url == b.url && a.command == b.command;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    test::TestStation& s = fuzz::FreshStation();
    s.folder.write("sourcelist.ini", fuzz::AsText(data, size));
    const std::optional<SourceTable> list = ReadSourceList(s->workingFolder);
    BF_FUZZ_CHECK(list.has_value());
    const SourceTable report = ReadSourceTable(s->workingFolder);
    for (char digit = '0'; digit <= '9'; ++digit) {
        const SourceEntry& entry = (*list)[static_cast<size_t>(digit - '0')];
        BF_FUZZ_CHECK(Same(FindSource(s->workingFolder, std::string(1, digit)), entry));
        // The report puts lines of no digit into source 0; the others are the same.
        if (digit != '0') BF_FUZZ_CHECK(Same(report[static_cast<size_t>(digit - '0')], entry));
    }
    if (size > 0) FindSource(s->workingFolder, fuzz::AsText(data, 1));
    return 0;
}
