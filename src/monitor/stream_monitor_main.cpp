// brackenfield-monitor URL: listens to a stream as a listener would and
// tells, twice a second, how many bytes arrived and how loud the audio was:
//
//   bytes=123456 peak=-3.1 rms=-17.4
//
// (levels in dBFS over the last half second; -120 for digital silence or no
// audio). While the stream sends nothing the lines go on with the same byte
// count and the last levels, so that bytes that arrived before a stall are
// never told after it as if they were new. The program ends with exit
// status 1 after a line that says whose fault it was:
//
//   error: stream: open: Connection refused     (the stream: refused, a 404,
//                                                ended, nothing for 5 s)
//   error: format: no audio: ...                (this program cannot read a
//                                                stream a player may well play)
//
// The station runs one per stream it watches and reads its lines from a
// pipe; an engineer can run it by hand.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
}

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr double kReportSeconds = 0.5;
constexpr double kSilenceDb = -120.0;
// Opening the stream (connection, headers, the first frames) may take this
// long: a server that sends a header without end is given up.
constexpr double kOpenSeconds = 10.0;

double Now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// While the stream opens, a deadline; then none (a stall ends the read by
// rw_timeout).
double openDeadline = 0;

// The lines: the bytes read so far, with the levels of the audio decoded
// since the last line, or while a read waits for the network, of the last
// line again.
struct Reporter {
    const AVFormatContext* input = nullptr;  // set once the stream is open
    double reported = 0;
    double peakDb = kSilenceDb;
    double rmsDb = kSilenceDb;

    bool due() const { return Now() - reported >= kReportSeconds; }
    bool line() {
        reported = Now();
        std::printf("bytes=%lld peak=%.1f rms=%.1f\n",
                    static_cast<long long>(input && input->pb ? input->pb->bytes_read : 0), peakDb, rmsDb);
        return std::fflush(stdout) == 0;
    }
};
Reporter reporter;

// FFmpeg asks while it waits for the network (every 100 ms or so): the open's
// deadline, and the lines go on during a read that waits.
int Interrupt(void*) {
    if (openDeadline != 0) return Now() > openDeadline ? 1 : 0;
    if (reporter.input && reporter.due() && !reporter.line()) return 1;
    return 0;
}

// Whether an error says that this program cannot make sense of the stream
// (its format, its codec, our memory) rather than that the stream is gone.
bool OwnFault(int error) {
    switch (error) {
        case AVERROR_INVALIDDATA:
        case AVERROR_DEMUXER_NOT_FOUND:
        case AVERROR_DECODER_NOT_FOUND:
        case AVERROR_PROTOCOL_NOT_FOUND:
        case AVERROR_STREAM_NOT_FOUND:
        case AVERROR_OPTION_NOT_FOUND:
        case AVERROR_PATCHWELCOME:
        case AVERROR_BUG:
        case AVERROR(ENOMEM):
        case AVERROR(ENOSYS):
            return true;
        default:
            return false;
    }
}

int Fail(const char* what, int error, bool ownFault) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    std::printf("error: %s: %s: %s\n", ownFault ? "format" : "stream", what, text);
    std::fflush(stdout);
    return 1;
}

int Fail(const char* what, int error) {
    // The open's deadline ends it as an "immediate exit": it timed out.
    if (error == AVERROR_EXIT && openDeadline != 0) error = AVERROR(ETIMEDOUT);
    return Fail(what, error, OwnFault(error));
}

// The peak and the sum of squares of one frame's samples, as fractions of
// full scale.
struct Levels {
    double peak = 0;
    double squares = 0;
    long long samples = 0;

    void add(double sample) {
        const double magnitude = std::fabs(sample);
        peak = std::max(peak, magnitude);
        squares += sample * sample;
        ++samples;
    }
    void add(const AVFrame& frame) {
        const auto format = static_cast<AVSampleFormat>(frame.format);
        const int channels = frame.ch_layout.nb_channels;
        const bool planar = av_sample_fmt_is_planar(format) != 0;
        const int planes = planar ? channels : 1;
        const int perPlane = planar ? frame.nb_samples : frame.nb_samples * channels;
        for (int p = 0; p < planes; ++p) {
            const uint8_t* data = frame.extended_data[p];
            for (int i = 0; i < perPlane; ++i) {
                switch (av_get_packed_sample_fmt(format)) {
                    case AV_SAMPLE_FMT_FLT:
                        add(reinterpret_cast<const float*>(data)[i]);
                        break;
                    case AV_SAMPLE_FMT_DBL:
                        add(reinterpret_cast<const double*>(data)[i]);
                        break;
                    case AV_SAMPLE_FMT_S16:
                        add(reinterpret_cast<const int16_t*>(data)[i] / 32768.0);
                        break;
                    case AV_SAMPLE_FMT_S32:
                        add(reinterpret_cast<const int32_t*>(data)[i] / 2147483648.0);
                        break;
                    case AV_SAMPLE_FMT_U8:
                        add((data[i] - 128) / 128.0);
                        break;
                    default:
                        return;
                }
            }
        }
    }
    static double Db(double fraction) { return fraction > 1e-6 ? 20 * std::log10(fraction) : kSilenceDb; }
};

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: brackenfield-monitor URL\n");
        return 2;
    }
    // The station reads the lines; once it is gone, so is this program.
    std::signal(SIGPIPE, SIG_DFL);
    av_log_set_level(AV_LOG_QUIET);
    avformat_network_init();

    AVDictionary* options = nullptr;
    av_dict_set(&options, "rw_timeout", "5000000", 0);  // microseconds without a byte
    av_dict_set(&options, "timeout", "10000000", 0);
    av_dict_set(&options, "probesize", "32768", 0);
    av_dict_set(&options, "formatprobesize", "32768", 0);
    av_dict_set(&options, "reconnect", "0", 0);
    av_dict_set(&options, "user_agent", "brackenfield-monitor", 0);
    AVFormatContext* input = avformat_alloc_context();
    if (!input) return Fail("memory", AVERROR(ENOMEM));
    input->interrupt_callback = AVIOInterruptCB{Interrupt, nullptr};
    openDeadline = Now() + kOpenSeconds;
    int error = avformat_open_input(&input, argv[1], nullptr, &options);
    av_dict_free(&options);
    if (error < 0) return Fail("open", error);
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> inputOwner(
        input, [](AVFormatContext* c) { avformat_close_input(&c); });
    // An MP3 or AAC stream names its codec in its first frame; only a stream
    // that does not is probed further (which reads seconds of it).
    int stream = av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream < 0 || input->streams[stream]->codecpar->sample_rate == 0) {
        input->max_analyze_duration = 2 * AV_TIME_BASE;
        if ((error = avformat_find_stream_info(input, nullptr)) < 0) return Fail("stream info", error);
        stream = av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    }
    if (stream < 0) return Fail("no audio", stream, true);

    const AVCodecParameters* parameters = input->streams[stream]->codecpar;
    // The floating-point MP3 decoder costs least, and gives levels as they are.
    const AVCodec* codec =
        parameters->codec_id == AV_CODEC_ID_MP3 ? avcodec_find_decoder_by_name("mp3float") : nullptr;
    if (!codec) codec = avcodec_find_decoder(parameters->codec_id);
    if (!codec) return Fail("no decoder", AVERROR_DECODER_NOT_FOUND);
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> decoder(
        avcodec_alloc_context3(codec), [](AVCodecContext* c) { avcodec_free_context(&c); });
    if (!decoder || (error = avcodec_parameters_to_context(decoder.get(), parameters)) < 0)
        return Fail("decoder", error ? error : AVERROR(ENOMEM), true);
    decoder->thread_count = 1;
    if ((error = avcodec_open2(decoder.get(), codec, nullptr)) < 0) return Fail("decoder", error, true);
    openDeadline = 0;

    std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(),
                                                          [](AVPacket* p) { av_packet_free(&p); });
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(),
                                                       [](AVFrame* f) { av_frame_free(&f); });
    if (!packet || !frame) return Fail("memory", AVERROR(ENOMEM));

    Levels levels;
    reporter.reported = Now();
    reporter.input = input;
    for (;;) {
        error = av_read_frame(input, packet.get());
        // Once audio came, an error while reading is the stream's.
        if (error < 0) return Fail("read", error, false);
        if (packet->stream_index == stream && avcodec_send_packet(decoder.get(), packet.get()) >= 0) {
            while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) levels.add(*frame);
        }
        av_packet_unref(packet.get());
        if (!reporter.due()) continue;
        const double rms =
            levels.samples ? std::sqrt(levels.squares / static_cast<double>(levels.samples)) : 0;
        reporter.peakDb = Levels::Db(levels.peak);
        reporter.rmsDb = Levels::Db(rms);
        if (!reporter.line()) return 1;
        levels = Levels{};
    }
}
