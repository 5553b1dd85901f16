#pragma once

#include <string>

namespace bf {

struct Station;
struct ProcessReadings;

// The status page: plain HTML with the station's values filled in, so that
// it reads without JavaScript, and a few lines of script that refresh the
// values from /status.json every few seconds. Needs nothing from elsewhere.
// The page's style and script are files of their own (/page.css, /page.js):
// the page is sent with a policy that lets nothing inline run.
std::string StatusPage(const Station& station, const ProcessReadings& readings);
std::string StatusPageStyle();
std::string StatusPageScript();

}  // namespace bf
