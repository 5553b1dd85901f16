#include "app/reactions/received_title.h"

#include "metadata/now_playing.h"

namespace bf {

void ReceivedTitleReaction::failoverStarted(const FailoverEvent&) {
    ReceivedTitleOffAir(station_);
}

}  // namespace bf
