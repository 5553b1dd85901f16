// A browser console's form body and Cookie header, as any caller may send
// them: the parser never reads outside the text, a form it takes has no name
// twice and at most kMostFormFields fields, each decoded from no more bytes
// than it has, and a cookie value is a part of the header.

#include "webconsole/web_form.h"

#include "core/html_text.h"
#include "fuzz_station.h"

using namespace bf;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text = fuzz::AsText(data, size);
    if (const std::optional<WebForm> form = ParseWebForm(text)) {
        BF_FUZZ_CHECK(form->size() <= kMostFormFields);
        size_t decoded = 0;
        for (size_t i = 0; i < form->size(); ++i) {
            decoded += (*form)[i].first.size() + (*form)[i].second.size() + 1;
            for (size_t j = 0; j < i; ++j) BF_FUZZ_CHECK((*form)[i].first != (*form)[j].first);
            BF_FUZZ_CHECK(FormValue(*form, (*form)[i].first) == std::string_view((*form)[i].second));
        }
        BF_FUZZ_CHECK(decoded <= text.size());
    }
    if (const std::optional<std::string_view> value = CookieValue(text, "bf_session_9110")) {
        BF_FUZZ_CHECK(value->data() >= text.data() &&
                      value->data() + value->size() <= text.data() + text.size());
        BF_FUZZ_CHECK(value->find(';') == std::string_view::npos);
    }
    const std::string html = HtmlText(text);
    BF_FUZZ_CHECK(html.find_first_of("<>\"'") == std::string::npos);
    return 0;
}
