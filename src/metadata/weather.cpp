#include "metadata/weather.h"

#include <cmath>

#include "core/number_parse.h"
#include "core/outside_services.h"
#include "core/query_value.h"
#include "core/run_handler.h"
#include "core/station.h"
#include "core/text_decode.h"

namespace bf {

namespace {

// The field's text up to its delimiter; all of it when there is none.
std::string UpTo(const std::string& field, char delimiter) {
    return field.substr(0, field.find(delimiter));
}

}  // namespace

std::string ComposeWeather(std::string_view body, const std::string& fallback) {
    // The reply is searched as text: each field is a fixed number of bytes
    // after its key, cut at its delimiter below. The padding keeps a key near
    // the end from reading past the reply.
    const std::string padded = std::string(body) + std::string(32, ' ');
    const std::string_view text(padded);
    std::string temperatureField, nameField, pressureField;
    for (size_t i = 0; i < body.size(); ++i) {
        const std::string_view at = text.substr(i);
        if (at.starts_with("{\"temp\":")) temperatureField = padded.substr(i + 8, 8);
        // A place name is cut before a character, never inside one.
        if (at.starts_with("\"name\":")) nameField = CutAtCharacter(text.substr(i + 8), 16);
        if (at.starts_with(",\"pressure\":")) pressureField = padded.substr(i + 12, 6);
    }
    const std::string temperatureText = temperatureField.size() == 8 ? UpTo(temperatureField, ',') : "";
    const std::string place = nameField.size() > 2 ? UpTo(nameField, '"') : "";
    const std::string pressure = pressureField.size() > 2 ? UpTo(pressureField, ',') : "";

    // Rounded down, towards minus infinity: 272.9 K is -1 degree.
    const double celsius = std::floor(ParseLeadingNumber(temperatureText) - 273.15);
    if (!(celsius >= -50 && celsius <= 50)) return fallback;
    const int degrees = static_cast<int>(celsius);
    const char* unit = (degrees == 1 || degrees == -1) ? "degree" : "degrees";
    return "The temperature in " + place + " is " + std::to_string(degrees) + " " + unit +
           ". Air pressure is " + pressure + ".";
}

void tmrWeather_Timer(Station& station) {
    WeatherState& w = station.metadata.weather;
    const bool due = w.counter == 0;
    w.counter = static_cast<int16_t>(w.counter + 1 > kWeatherCycle ? 0 : w.counter + 1);
    w.ticked = true;
    if (!due) return;

    // A fetch still under way 30 minutes on is given up for the new one.
    station.InetWeather.setTimeoutMs(kWeatherTimeoutMs);
    station.InetWeather.get(BaseAddress(station.options.weatherUrl) +
                                "/data/2.5/weather?q=" + station.settings().MetaLocation +
                                "&APPID=" + station.settings().MetaOpenWeatherMapKey,
                            [&station](const HttpResult& reply) {
                                RunHandler(station, "InetWeather_Reply", [&] {
                                    NoteServiceReply(station, OutsideService::Weather, reply);
                                    station.metadata.weather.sentence =
                                        ComposeWeather(reply.body, station.settings().DefaultStrapline);
                                });
                            });
}

}  // namespace bf
