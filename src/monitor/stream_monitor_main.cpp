// brackenfield-monitor URL: listens to a stream as a listener would and
// tells, twice a second, how many bytes arrived and how loud the audio was:
//
//   bytes=123456 peak=-3.1 rms=-17.4
//
// (levels in dBFS over the last half second; -120 for digital silence or no
// audio). With --no-levels before the URL it decodes nothing and the lines
// carry the byte count alone ("bytes=123456"), for a station that does not
// listen for silence. With --sample-every SECONDS before the URL it still
// reads and counts every byte but decodes only half a second of audio every
// SECONDS, for a standby stream; the lines between the samples carry no
// levels. While the stream sends nothing the lines go on with the same byte
// count and the last levels, so that bytes that arrived before a stall are
// never told after it as if they were new. The program ends with exit
// status 1 after a line that says whose fault it was:
//
//   error: stream: open: Connection refused     (the stream: refused, a 404,
//                                                ended, nothing for 5 s)
//   error: format: no audio: ...                (this program cannot read a
//                                                stream a player may well play)
//
// A playlist address (".pls", ".m3u", or a playlist content type) is read
// and the first of its streams that opens is listened to, told once as
//
//   entry=http://host:8000/stream
//
// and the stream's title, whenever it changes (ICY titles, Ogg comments,
// titles in HLS segments), as
//
//   title=Artist - Title
//
// The station runs one per stream it watches and reads its lines from a
// pipe; an engineer can run it by hand.
//
//   brackenfield-monitor --player mplayer1 URL [PLAYER OPTIONS...]
//
// starts a player slot on a playlist address: under the slot's name it reads
// the playlist and then becomes ./mplayer1 with the options and the
// playlist's streams, in order (MPlayer plays the next when one fails).
//
// A remote playlist's entries that lead to this machine (loopback, link-local,
// unspecified) are left out and told ("note: playlist entry ... refused: it
// names the station's own machine (127.0.0.1)"; with --player in the player's
// log); with --no-private before the rest, so are those of a private network.

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/opt.h>
}

#include <sys/prctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/monitor_line.h"
#include "core/text_decode.h"
#include "monitor/stream_resolver.h"

namespace {

using bf::AddressKind;
using bf::StreamEntry;

constexpr double kReportSeconds = 0.5;
constexpr double kSilenceDb = -120.0;
// Opening the stream (connection, headers, the first frames) may take this
// long: a server that sends a header without end is given up.
constexpr double kOpenSeconds = 10.0;

// HLS audio is read at most this far ahead of the time it plays.
constexpr double kHlsAheadSeconds = 1.0;
// Titles are told whole up to this many bytes.
constexpr size_t kLongestTitle = 4000;

// The title a stream names now, made fit for one line: control characters
// become blanks, and a long one is cut before a character, not inside one.
std::string OneLine(std::string_view text) {
    std::string title(bf::CutAtCharacter(text, kLongestTitle));
    for (char& c : title)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) c = ' ';
    return title;
}

// Writes one line for the station and hands it on at once.
bool Say(const bf::MonitorLine& line) {
    std::printf("%s\n", bf::FormatMonitorLine(line).c_str());
    return std::fflush(stdout) == 0;
}

double Now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

// While the stream opens, a deadline; then none (a stall ends the read by
// rw_timeout).
double openDeadline = 0;

// --no-private: a remote playlist may not name addresses of the station's
// network either (RemotePlaylistPrivate=0).
bool refusePrivate = false;

// The peak and the sum of squares of one frame's samples, as fractions of
// full scale.
struct Levels {
    double peak = 0;
    double squares = 0;
    long long samples = 0;
    // A stereo stream's channels apart: the sums of squares, left and right.
    bool stereo = false;
    double channelSquares[2] = {0, 0};

    void add(double sample, int channel = 0) {
        const double magnitude = std::fabs(sample);
        peak = std::max(peak, magnitude);
        squares += sample * sample;
        if (stereo) channelSquares[channel & 1] += sample * sample;
        ++samples;
    }
    // The samples of one plane, converted by `value` (the format is looked
    // up once a frame, not once a sample).
    template <typename T, typename Convert>
    void addPlane(const uint8_t* data, int count, int channel, int channels, Convert value) {
        const T* samples = reinterpret_cast<const T*>(data);
        for (int i = 0; i < count; ++i) add(value(samples[i]), channels ? i % channels : channel);
    }
    void add(const AVFrame& frame) {
        const auto format = static_cast<AVSampleFormat>(frame.format);
        const int channels = frame.ch_layout.nb_channels;
        const bool planar = av_sample_fmt_is_planar(format) != 0;
        const int planes = planar ? channels : 1;
        const int perPlane = planar ? frame.nb_samples : frame.nb_samples * channels;
        const AVSampleFormat packed = av_get_packed_sample_fmt(format);
        stereo = channels == 2;
        for (int p = 0; p < planes; ++p) {
            const uint8_t* data = frame.extended_data[p];
            // Interleaved samples take turns; a plane is one channel's.
            const int turns = planar ? 0 : channels;
            switch (packed) {
                case AV_SAMPLE_FMT_FLT:
                    addPlane<float>(data, perPlane, p, turns, [](float v) { return double(v); });
                    break;
                case AV_SAMPLE_FMT_DBL:
                    addPlane<double>(data, perPlane, p, turns, [](double v) { return v; });
                    break;
                case AV_SAMPLE_FMT_S16:
                    addPlane<int16_t>(data, perPlane, p, turns, [](int16_t v) { return v / 32768.0; });
                    break;
                case AV_SAMPLE_FMT_S32:
                    addPlane<int32_t>(data, perPlane, p, turns, [](int32_t v) { return v / 2147483648.0; });
                    break;
                case AV_SAMPLE_FMT_U8:
                    addPlane<uint8_t>(data, perPlane, p, turns, [](uint8_t v) { return (v - 128) / 128.0; });
                    break;
                default:
                    return;
            }
        }
    }
    static double Db(double fraction) { return fraction > 1e-6 ? 20 * std::log10(fraction) : kSilenceDb; }
};

// The lines: the bytes read so far, with the levels of the audio decoded
// since the last line, or while a read waits for the network, of the last
// line again.
struct Reporter {
    const AVFormatContext* input = nullptr;  // set once the stream is open
    // HLS reads its segments apart from its playlist: its audio is counted.
    bool countPackets = false;
    long long packetBytes = 0;
    double reported = 0;
    Levels levels;  // of the audio decoded since the last line
    double peakDb = kSilenceDb;
    double rmsDb = kSilenceDb;
    std::optional<double> leftDb, rightDb;  // a stereo stream's channels
    // Seconds of audio decoded, and when the first came.
    double audioSeconds = 0;
    double audioSince = 0;

    bool decodes = true;       // false: no levels are told
    bf::LevelSampler sampler;  // a standby's: levels of samples only

    bool due() const { return Now() - reported >= kReportSeconds; }
    bool line() {
        reported = Now();
        const bool fresh = levels.samples > 0;
        if (fresh) {
            peakDb = Levels::Db(levels.peak);
            rmsDb = Levels::Db(std::sqrt(levels.squares / static_cast<double>(levels.samples)));
            leftDb = rightDb = std::nullopt;
            if (levels.stereo) {
                const double each = static_cast<double>(levels.samples) / 2;
                leftDb = Levels::Db(std::sqrt(levels.channelSquares[0] / each));
                rightDb = Levels::Db(std::sqrt(levels.channelSquares[1] / each));
            }
            levels = Levels{};
        }
        const long long bytes = countPackets ? packetBytes : input && input->pb ? input->pb->bytes_read : 0;
        bf::MonitorLine told{bf::MonitorLine::Kind::Count, bytes, {}, {}, {}, {}, {}};
        if (decodes && (fresh || !sampler.sampling())) {
            told.peak = peakDb;
            told.rms = rmsDb;
            told.left = leftDb;
            told.right = rightDb;
        }
        return Say(told);
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

std::string ErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

int Fail(const char* what, const std::string& why, bool ownFault) {
    Say({ownFault ? bf::MonitorLine::Kind::CannotRead : bf::MonitorLine::Kind::StreamGone,
         0,
         {},
         {},
         OneLine(std::string(what) + ": " + why)});
    return 1;
}

int Fail(const char* what, int error, bool ownFault) {
    return Fail(what, ErrorText(error), ownFault);
}

int Fail(const char* what, int error) {
    // The open's deadline ends it as an "immediate exit": it timed out.
    if (error == AVERROR_EXIT && openDeadline != 0) error = AVERROR(ETIMEDOUT);
    return Fail(what, error, OwnFault(error));
}

std::string Tag(const AVDictionary* tags, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(tags, key, nullptr, 0);
    return entry && entry->value ? entry->value : "";
}

// "Artist - Title" from a stream's comments (Ogg, FLAC, ID3 in HLS).
std::string TitleOfTags(const AVDictionary* tags) {
    const std::string artist = Tag(tags, "artist");
    const std::string title = Tag(tags, "title");
    if (!artist.empty() && !title.empty()) return artist + " - " + title;
    return title.empty() ? artist : title;
}

// The StreamTitle of an ICY metadata block: between "StreamTitle='" and
// "';", or to its end.
std::string TitleOfIcy(const std::string& block) {
    static constexpr std::string_view kPrefix = "StreamTitle='";
    const size_t at = block.find(kPrefix);
    if (at == std::string::npos) return {};
    const size_t from = at + kPrefix.size();
    const size_t end = block.find("';", from);
    return block.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

// Tells the title whenever the stream names another one.
struct TitleTeller {
    std::string told;
    bool any = false;
    std::string lastIcyBlock;

    void tell(const std::string& title) {
        const std::string line = OneLine(title);
        if (any && line == told) return;
        told = line;
        any = true;
        Say({bf::MonitorLine::Kind::Title, 0, {}, {}, line});
    }
    void look(AVFormatContext* input, AVStream* stream, bool first) {
        if (first || (stream->event_flags & AVSTREAM_EVENT_FLAG_METADATA_UPDATED) ||
            (input->event_flags & AVFMT_EVENT_FLAG_METADATA_UPDATED)) {
            stream->event_flags &= ~AVSTREAM_EVENT_FLAG_METADATA_UPDATED;
            const bool updated = (input->event_flags & AVFMT_EVENT_FLAG_METADATA_UPDATED) != 0;
            input->event_flags &= ~AVFMT_EVENT_FLAG_METADATA_UPDATED;
            std::string title = TitleOfTags(stream->metadata);
            // A file's own tags (an MP3's ID3 at its start) are no title of
            // the moment; updated ones are.
            if (title.empty() && updated) title = TitleOfTags(input->metadata);
            if (!title.empty()) tell(title);
        }
        if (!input->pb) return;
        uint8_t* block = nullptr;
        if (av_opt_get(input->pb, "icy_metadata_packet", AV_OPT_SEARCH_CHILDREN, &block) >= 0 && block &&
            *block) {
            const std::string text(reinterpret_cast<const char*>(block));
            if (text != lastIcyBlock) {
                lastIcyBlock = text;
                tell(TitleOfIcy(text));
            }
        }
        av_free(block);
    }
};

// The streams an address stands for, what a remote playlist may not name
// left out and told, each on a line of its own after `prefix`.
bf::ResolvedStreams Resolve(const std::string& address, const std::string& prefix) {
    bf::ResolvedStreams resolved =
        bf::monitor::ResolveStreams(address, true, AVIOInterruptCB{Interrupt, nullptr}, refusePrivate);
    for (const std::string& line : resolved.refused)
        std::printf("%s%s\n", prefix.c_str(), OneLine(line).c_str());
    std::fflush(stdout);
    return resolved;
}

struct Opened {
    AVFormatContext* input = nullptr;
    int error = 0;
    std::string why;  // FFmpeg's own words for the failure, if it logged any
};

Opened Open(const StreamEntry& entry) {
    Opened opened;
    AVDictionary* options = bf::monitor::ConnectionOptions(kOpenSeconds, 5);
    av_dict_set(&options, "probesize", "32768", 0);
    av_dict_set(&options, "formatprobesize", "32768", 0);
    AVFormatContext* input = avformat_alloc_context();
    if (!input) {
        av_dict_free(&options);
        opened.error = AVERROR(ENOMEM);
        return opened;
    }
    input->interrupt_callback = AVIOInterruptCB{Interrupt, nullptr};
    openDeadline = Now() + kOpenSeconds;
    opened.error = avformat_open_input(&input, entry.address.c_str(), nullptr, &options);
    av_dict_free(&options);
    if (opened.error < 0) {
        opened.why = bf::monitor::LastFfmpegError();
        return opened;
    }
    opened.input = input;
    return opened;
}

// Starts a player slot on a playlist address: the playlist is read under the
// slot's name (so that the station sees its player from the start), then
// the slot's player takes over this process.
int PlayPlaylist(int argc, char* argv[]) {
    const std::string name = argv[2];
    if (name.empty() || name.size() > 15 ||
        name.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-") !=
            std::string::npos) {
        std::fprintf(stderr, "brackenfield-monitor: bad player name\n");
        return 2;
    }
    ::prctl(PR_SET_NAME, name.c_str(), 0, 0, 0);
    const std::string address = argv[3];
    // The station gives the player its time to play from when this line is
    // followed by another, waiting for the reading as long as it takes here
    // at most (its kPlaylistReadSeconds).
    std::printf("Playlist %s: reading\n", address.c_str());
    std::fflush(stdout);
    openDeadline = Now() + 3 * kOpenSeconds;
    const bf::ResolvedStreams resolved = Resolve(address, "Playlist " + address + ": ");
    if (resolved.streams.empty()) {
        std::printf("Playlist %s: %s\n", address.c_str(), OneLine(resolved.error).c_str());
        std::fflush(stdout);
        return 1;
    }
    const std::string program = "./" + name;
    std::vector<std::string> args{program};
    for (int i = 4; i < argc; ++i) args.emplace_back(argv[i]);
    // What MPlayer opens through FFmpeg (https, HLS), FFmpeg takes apart.
    const bool lavf = std::ranges::any_of(resolved.streams, [](const StreamEntry& s) {
        return bf::PlayerAddress(s.address, s.kind).starts_with("ffmpeg://");
    });
    if (lavf) args.insert(args.end(), {"-demuxer", "lavf"});
    std::printf("Playlist %s: %zu stream%s\n", address.c_str(), resolved.streams.size(),
                resolved.streams.size() == 1 ? "" : "s");
    for (const StreamEntry& stream : resolved.streams)
        args.push_back(bf::PlayerAddress(stream.address, stream.kind));
    std::fflush(stdout);
    std::vector<char*> pointers;
    for (std::string& arg : args) pointers.push_back(arg.data());
    pointers.push_back(nullptr);
    ::execv(program.c_str(), pointers.data());
    std::printf("Playlist %s: cannot start %s: %s\n", address.c_str(), program.c_str(), std::strerror(errno));
    std::fflush(stdout);
    return 1;
}

}  // namespace

int main(int argc, char* argv[]) {
    for (;;) {
        if (argc >= 2 && std::strcmp(argv[1], "--no-private") == 0) {
            refusePrivate = true;
        } else if (argc == 3 && std::strcmp(argv[1], "--no-levels") == 0) {
            reporter.decodes = false;
        } else if (argc >= 4 && std::strcmp(argv[1], "--sample-every") == 0 &&
                   bf::ParseSamplePeriod(argv[2])) {
            reporter.sampler = bf::LevelSampler(*bf::ParseSamplePeriod(argv[2]));
            --argc;
            ++argv;
        } else {
            break;
        }
        --argc;
        ++argv;
    }
    const bool player = argc >= 4 && std::strcmp(argv[1], "--player") == 0;
    if (argc != 2 && !player) {
        std::fprintf(stderr,
                     "usage: brackenfield-monitor [--no-private] [--no-levels | --sample-every SECONDS] URL\n"
                     "       brackenfield-monitor [--no-private] --player NAME URL [PLAYER OPTIONS...]\n");
        return 2;
    }
    // The station reads the lines; once it is gone, so is this program.
    std::signal(SIGPIPE, SIG_DFL);
    bf::monitor::CaptureFfmpegLog();
    avformat_network_init();
    if (player) return PlayPlaylist(argc, argv);

    // A playlist is read first; another address that turns out to be one
    // (by its content type) is read when it does not open as a stream.
    const std::string address = argv[1];
    const bf::AddressForm form = bf::FormOfAddress(address);
    std::vector<StreamEntry> streams{{address, form.kind}};
    bool resolved = false;
    std::string resolveError;
    if (form.kind == AddressKind::Playlist) {
        openDeadline = Now() + 2 * kOpenSeconds;
        const bf::ResolvedStreams r = Resolve(address, "note: ");
        if (r.streams.empty()) return Fail("playlist", r.error, false);
        streams = r.streams;
        resolved = true;
    }
    Opened opened;
    std::string firstWhy;
    int firstError = 0;
    for (size_t i = 0; i < streams.size() && !opened.input; ++i) {
        opened = Open(streams[i]);
        if (opened.input) {
            if (streams[i].address != address)
                Say({bf::MonitorLine::Kind::Entry, 0, {}, {}, OneLine(streams[i].address)});
            break;
        }
        if (firstError == 0) {
            firstError = opened.error;
            firstWhy = opened.why;
        }
        const bool format = opened.error == AVERROR_INVALIDDATA || opened.error == AVERROR_DEMUXER_NOT_FOUND;
        if (!resolved && format) {
            openDeadline = Now() + 2 * kOpenSeconds;
            const bf::ResolvedStreams r = Resolve(address, "note: ");
            resolved = true;
            if (!r.streams.empty() && !(r.streams.size() == 1 && r.streams[0].address == address)) {
                streams = r.streams;
                i = static_cast<size_t>(-1);
                firstError = 0;
            }
        }
    }
    if (!opened.input) {
        if (firstError == AVERROR_EXIT && openDeadline != 0) firstError = AVERROR(ETIMEDOUT);
        const bool own = OwnFault(firstError);
        return Fail("open", firstWhy.empty() || own ? ErrorText(firstError) : firstWhy, own);
    }
    AVFormatContext* input = opened.input;
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext*)> inputOwner(
        input, [](AVFormatContext* c) { avformat_close_input(&c); });
    int error = 0;
    // An MP3 or AAC stream names its codec in its first frame; only a stream
    // that does not is probed further (which reads seconds of it).
    int stream = av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream < 0 || input->streams[stream]->codecpar->sample_rate == 0) {
        input->max_analyze_duration = 2 * AV_TIME_BASE;
        if ((error = avformat_find_stream_info(input, nullptr)) < 0) return Fail("stream info", error);
        stream = av_find_best_stream(input, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    }
    if (stream < 0) return Fail("no audio", stream, true);

    const AVStream* audio = input->streams[stream];
    const AVCodecParameters* parameters = audio->codecpar;
    std::unique_ptr<AVCodecContext, void (*)(AVCodecContext*)> decoder(
        nullptr, [](AVCodecContext* c) { avcodec_free_context(&c); });
    if (reporter.decodes) {
        // The floating-point MP3 decoder costs least, and gives levels as they are.
        const AVCodec* codec =
            parameters->codec_id == AV_CODEC_ID_MP3 ? avcodec_find_decoder_by_name("mp3float") : nullptr;
        if (!codec) codec = avcodec_find_decoder(parameters->codec_id);
        if (!codec) return Fail("no decoder", AVERROR_DECODER_NOT_FOUND);
        decoder.reset(avcodec_alloc_context3(codec));
        if (!decoder || (error = avcodec_parameters_to_context(decoder.get(), parameters)) < 0)
            return Fail("decoder", error ? error : AVERROR(ENOMEM), true);
        decoder->thread_count = 1;
        if ((error = avcodec_open2(decoder.get(), codec, nullptr)) < 0) return Fail("decoder", error, true);
    }
    openDeadline = 0;

    std::unique_ptr<AVPacket, void (*)(AVPacket*)> packet(av_packet_alloc(),
                                                          [](AVPacket* p) { av_packet_free(&p); });
    std::unique_ptr<AVFrame, void (*)(AVFrame*)> frame(av_frame_alloc(),
                                                       [](AVFrame* f) { av_frame_free(&f); });
    if (!packet || !frame) return Fail("memory", AVERROR(ENOMEM));

    TitleTeller titles;
    titles.look(input, input->streams[stream], true);
    reporter.reported = Now();
    reporter.countPackets = input->iformat && std::strcmp(input->iformat->name, "hls") == 0;
    reporter.input = input;
    for (;;) {
        error = av_read_frame(input, packet.get());
        // Once audio came, an error while reading is the stream's.
        if (error < 0) return Fail("read", error, false);
        const bool audioPacket = packet->stream_index == stream;
        const bf::LevelSampler::Step step =
            audioPacket && decoder ? reporter.sampler.next(Now()) : bf::LevelSampler::Step::Skip;
        if (audioPacket) reporter.packetBytes += packet->size;
        if (audioPacket && step == bf::LevelSampler::Step::Skip) {
            // Not decoded: paced by the packets' own durations.
            if (reporter.audioSince == 0) reporter.audioSince = Now();
            if (packet->duration > 0)
                reporter.audioSeconds += double(packet->duration) * av_q2d(audio->time_base);
        } else if (audioPacket) {
            if (step == bf::LevelSampler::Step::Restart) avcodec_flush_buffers(decoder.get());
            if (avcodec_send_packet(decoder.get(), packet.get()) >= 0)
                while (avcodec_receive_frame(decoder.get(), frame.get()) >= 0) {
                    if (reporter.audioSince == 0) reporter.audioSince = Now();
                    if (frame->sample_rate <= 0) continue;
                    const double seconds = double(frame->nb_samples) / frame->sample_rate;
                    reporter.audioSeconds += seconds;
                    if (reporter.sampler.counts(seconds)) reporter.levels.add(*frame);
                }
        }
        av_packet_unref(packet.get());
        titles.look(input, input->streams[stream], false);
        // HLS hands over seconds of audio at once, a segment at a time: it is
        // taken at the pace a listener hears it, so that its bytes flow as
        // the air does and stop when the air would.
        while (reporter.countPackets &&
               reporter.audioSeconds - (Now() - reporter.audioSince) > kHlsAheadSeconds) {
            ::usleep(50000);
            if (reporter.due() && !reporter.line()) return 1;
        }
        if (reporter.due() && !reporter.line()) return 1;
    }
}
