// The weather service's reply, any bytes, made into the weather sentence.

#include "metadata/weather.h"

#include "fuzz_station.h"

using namespace bf;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string fallback = "Brackenfield Radio";
    const std::string sentence = ComposeWeather(fuzz::AsText(data, size), fallback);
    BF_FUZZ_CHECK(sentence == fallback ||
                  (sentence.starts_with("The temperature in ") && sentence.ends_with(".")));
    return 0;
}
