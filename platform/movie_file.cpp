#include "platform/movie_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libavutil/dict.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
}

namespace reel::platform {

using namespace toolbox;

namespace {

using Clock = std::chrono::steady_clock;

constexpr TimeScale kMovieTimeScale = 600;
constexpr int kIoBufferSize = 32 * 1024;
// How much of a file without an index may be read to describe it.
constexpr std::int64_t kProbeBytes = 2 << 20;
constexpr std::int64_t kSampleBytes = 1 << 20;
constexpr int kSamplePackets = 200;
// GOP headers near the end of an elementary stream give its true length.
constexpr std::int64_t kTailBytes = 1 << 20;
constexpr std::int64_t kHeadBytes = 64 << 10;
// Demuxers that hunt for a start code or a frame marker walk the file a byte
// at a time, and gigabytes of zeroes (a preallocated, half-downloaded file)
// would keep them at it far past the deadline. The header and index of a
// three-hour MP4 take about 5 MB, so past this the file simply reads as ended.
constexpr std::int64_t kReadBudget = 32 << 20;
// A header can claim far more samples or edits than the file holds, and
// FFmpeg builds its index from the claim without looking at the clock: an
// 800-byte MP4 can ask for a 2 GB index. Capping any one allocation caps that
// work. The cap still holds the index of a day-long 60 fps track, and an 8K
// picture at 16 bits for the player's decoders that share the setting.
constexpr std::size_t kLargestAllocation = 128 << 20;
// FFmpeg rebuilds a QuickTime track's index once per entry of its edit list,
// again without looking at the clock: a million entries (12 MB) take seconds.
// Real movies carry a handful, so a list longer than this is not followed.
constexpr std::uint32_t kMostEdits = 1000;
constexpr std::size_t kCarry = 11;  // an 'elst' tag and its entry count, less one byte

// Containers worth describing; anything else (images, text, playlists) is not a movie.
constexpr const char* kContainers =
    "mov,mp4,m4a,3gp,3g2,mj2,avi,mpeg,mpegvideo,mpegts,dv,matroska,webm,flv,asf,ogg,"
    "m4v,h264,hevc,mpeg4,rm,nut,mxf";

bool formatIs(const AVInputFormat* format, std::string_view name) {
    std::string_view names = format->name;
    while (!names.empty()) {
        const std::size_t comma = names.find(',');
        if (names.substr(0, comma) == name) return true;
        if (comma == std::string_view::npos) break;
        names.remove_prefix(comma + 1);
    }
    return false;
}

// Header entries that FFmpeg files one at a time, each after a pass over the
// ones before it, without looking at the clock: segment indexes ('sidx', kept
// in order of the place they point at), Matroska chapters and Ogg comment
// chapters (looked up by number). Thousands in the wrong order take seconds
// to minutes; a movie has one segment index, or a few dozen, and tens of chapters.
// Each is counted in every file, and matters only in its own kind of file.
struct CostlyEntries {
    int segmentIndexes = 0;
    int matroskaChapters = 0;  // ChapterUID IDs: two bytes, so random data holds one in 64 KiB
    int commentChapters = 0;

    bool tooMany(const AVInputFormat* format) const {
        if (!format) return false;
        return (formatIs(format, "mov") && segmentIndexes > 1000) ||
               (formatIs(format, "matroska") && matroskaChapters > 5000) ||
               (formatIs(format, "ogg") && commentChapters > 1000);
    }
};

// ---- Reading bytes, with a deadline

struct ByteSource {
    int fd = -1;
    const std::uint8_t* data = nullptr;
    std::int64_t size = 0;
    std::int64_t pos = 0;
    std::int64_t budget = kReadBudget;  // bytes the demuxer may still read
    Clock::time_point deadline = Clock::time_point::max();
    // While the header is read (watching): whether an edit list longer than
    // kMostEdits, or a compressed header that hides its edit lists, has gone
    // by, and how many costly entries.
    bool watching = false;
    bool ignoringEdits = false;  // the second reading, edit lists left aside
    bool longEdits = false;
    CostlyEntries costly;
    const AVInputFormat* format = nullptr;     // once probed
    bool stopped = false;                      // this reading is abandoned: every read fails until rewind()
    std::array<std::uint8_t, kCarry> carry{};  // the end of the previous read
    std::size_t carried = 0;

    bool expired() const { return Clock::now() >= deadline; }
    bool interrupted() const { return stopped || expired(); }

    void rewind() {
        pos = 0;
        budget = kReadBudget;
        carried = 0;
        costly = {};
        format = nullptr;
        stopped = false;
    }

    // Bytes at an offset without moving the read position.
    std::int64_t readAt(std::int64_t offset, std::uint8_t* buffer, std::int64_t count) const {
        if (offset < 0 || offset >= size) return 0;
        count = std::min(count, size - offset);
        if (data) {
            std::memcpy(buffer, data + offset, std::size_t(count));
            return count;
        }
        std::int64_t done = 0;
        while (done < count) {
            const ssize_t got = ::pread(fd, buffer + done, std::size_t(count - done), offset + done);
            if (got < 0 && errno == EINTR) continue;
            if (got < 0) return done > 0 ? done : -errno;
            if (got == 0) break;
            done += got;
        }
        return done;
    }

    std::vector<std::uint8_t> slice(std::int64_t offset, std::int64_t count) const {
        std::vector<std::uint8_t> bytes(
            std::size_t(std::max<std::int64_t>(0, std::min(count, size - offset))));
        const std::int64_t got = readAt(offset, bytes.data(), std::int64_t(bytes.size()));
        bytes.resize(std::size_t(std::max<std::int64_t>(0, got)));
        return bytes;
    }
};

std::uint32_t bigEndian32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// An 'elst' box (tag, version and flags, entry count) with too many entries,
// or a 'cmov' box, whose edit lists come out of zlib and so never pass by here.
bool longEditsIn(const std::uint8_t* bytes, std::size_t size) {
    constexpr std::string_view elst = "elst", cmov = "cmov";
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    if (text.find(cmov) != std::string_view::npos) return true;
    for (std::size_t at = text.find(elst); at != std::string_view::npos; at = text.find(elst, at + 1)) {
        if (at + 12 <= size && bigEndian32(bytes + at + 8) > kMostEdits) return true;
    }
    return false;
}

int occurrences(std::string_view text, std::string_view word) {
    int count = 0;
    for (std::size_t at = text.find(word); at != std::string_view::npos;
         at = text.find(word, at + word.size()))
        ++count;
    return count;
}

// Segment index boxes, Matroska ChapterUID elements (ID 73 C4) and Ogg
// chapter comments ("CHAPTER001=...", in any case).
void countCostlyEntries(CostlyEntries& costly, const std::uint8_t* bytes, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(bytes), size);
    costly.segmentIndexes += occurrences(text, "sidx");
    costly.matroskaChapters += occurrences(text, "\x73\xC4");
    constexpr std::string_view chapter = "chapter";
    for (std::size_t at = 0; at + chapter.size() <= size; ++at) {
        std::size_t i = 0;
        while (i < chapter.size() && (bytes[at + i] | 0x20) == chapter[i]) ++i;
        if (i == chapter.size()) ++costly.commentChapters;
    }
}

// Every byte FFmpeg reads comes through here, so this is where the header's
// edit lists can be seen before FFmpeg acts on them.
bool watchForLongEdits(ByteSource& source, const std::uint8_t* bytes, std::size_t size) {
    // A box split across two reads: the end of the last read joined to the start of this one.
    std::array<std::uint8_t, 2 * kCarry> seam{};
    const std::size_t head = std::min(size, kCarry);
    std::copy_n(source.carry.begin(), source.carried, seam.begin());
    std::copy_n(bytes, head, seam.begin() + std::ptrdiff_t(source.carried));
    const std::size_t joined = source.carried + head;
    if (longEditsIn(seam.data(), joined) || longEditsIn(bytes, size)) return true;
    // Keep the last bytes seen for the next read.
    source.carried = std::min(joined, kCarry);
    const std::uint8_t* tail = size >= kCarry ? bytes + size - kCarry : seam.data() + joined - source.carried;
    std::copy_n(tail, source.carried, source.carry.begin());
    return false;
}

int readPacket(void* opaque, std::uint8_t* buffer, int bufferSize) {
    auto* source = static_cast<ByteSource*>(opaque);
    if (source->interrupted()) return AVERROR_EXIT;
    const std::int64_t got =
        source->readAt(source->pos, buffer, std::min<std::int64_t>(bufferSize, source->budget));
    if (got < 0) return AVERROR(int(-got));
    if (got == 0) return AVERROR_EOF;
    if (source->watching) {
        // Counted within each read only: at most one a read is split, too few to matter.
        countCostlyEntries(source->costly, buffer, std::size_t(got));
        if (!source->ignoringEdits && watchForLongEdits(*source, buffer, std::size_t(got)))
            source->longEdits = true;
        // FFmpeg can read on after a failed read, so the reading stops for good.
        source->stopped =
            source->costly.tooMany(source->format) || (source->longEdits && !source->ignoringEdits);
        if (source->stopped) return AVERROR_EXIT;
    }
    source->pos += got;
    source->budget -= got;
    return int(got);
}

std::int64_t seekSource(void* opaque, std::int64_t offset, int whence) {
    auto* source = static_cast<ByteSource*>(opaque);
    whence &= ~AVSEEK_FORCE;
    if (whence == AVSEEK_SIZE) return source->size;
    std::int64_t target;
    switch (whence) {
        case SEEK_SET:
            target = offset;
            break;
        case SEEK_CUR:
            target = source->pos + offset;
            break;
        case SEEK_END:
            target = source->size + offset;
            break;
        default:
            return AVERROR(EINVAL);
    }
    if (target < 0) return AVERROR(EINVAL);
    source->pos = target;
    source->carried = 0;
    return target;
}

int interrupted(void* opaque) { return static_cast<ByteSource*>(opaque)->interrupted() ? 1 : 0; }

// A movie refers to no other file: external references stay closed.
int refuseOtherFiles(AVFormatContext*, AVIOContext**, const char*, int, AVDictionary**) {
    return AVERROR(EPERM);
}

// Sizes and counts come from the container's index only for these.
bool indexedFormat(const AVInputFormat* format) { return formatIs(format, "mov") || formatIs(format, "avi"); }

class Demuxer {
public:
    explicit Demuxer(ByteSource& source) : source_(source) {
        auto* buffer = static_cast<std::uint8_t*>(av_malloc(kIoBufferSize));
        io_ = avio_alloc_context(buffer, kIoBufferSize, 0, &source, readPacket, nullptr, seekSource);
        if (!io_) av_free(buffer);
        ctx_ = avformat_alloc_context();
        if (!ctx_ || !io_) return;
        ctx_->pb = io_;
        ctx_->flags |= AVFMT_FLAG_CUSTOM_IO;
        ctx_->interrupt_callback = {interrupted, &source};
        ctx_->io_open = refuseOtherFiles;
        av_opt_set(ctx_, "format_whitelist", kContainers, 0);
    }
    ~Demuxer() {
        if (opened_)
            avformat_close_input(&ctx_);
        else
            avformat_free_context(ctx_);
        if (io_) av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
    Demuxer(const Demuxer&) = delete;
    Demuxer& operator=(const Demuxer&) = delete;

    int open(const std::string& name, bool ignoreEdits) {
        if (!ctx_ || !io_) return AVERROR(ENOMEM);
        const AVInputFormat* format = nullptr;
        const int probed = av_probe_input_buffer2(io_, &format, name.c_str(), nullptr, 0, 0);
        if (probed < 0) return probed;
        source_.format = format;
        // Other containers' indexes go unread, and building one can cost more
        // than the deadline: FFmpeg inserts Matroska cue points one at a time,
        // moving every later entry, so 3 MB of them in reverse order take seconds.
        if (!indexedFormat(format)) ctx_->flags |= AVFMT_FLAG_IGNIDX;
        AVDictionary* options = nullptr;
        if (ignoreEdits) av_dict_set(&options, "ignore_editlist", "1", 0);
        const int err = avformat_open_input(&ctx_, name.c_str(), format, &options);
        av_dict_free(&options);
        // On failure the context is freed and nulled by FFmpeg.
        opened_ = err >= 0;
        return err;
    }

    AVFormatContext* operator->() const { return ctx_; }
    AVFormatContext* get() const { return ctx_; }

private:
    ByteSource& source_;
    AVIOContext* io_ = nullptr;
    AVFormatContext* ctx_ = nullptr;
    bool opened_ = false;
};

std::string errorText(int err) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(err, text, sizeof text);
    return text;
}

// ---- What the container tells about each stream

bool isMedia(const AVStream* st) {
    const AVMediaType type = st->codecpar->codec_type;
    return (type == AVMEDIA_TYPE_VIDEO && !(st->disposition & AV_DISPOSITION_ATTACHED_PIC)) ||
           type == AVMEDIA_TYPE_AUDIO;
}

bool incomplete(const AVStream* st) {
    const AVCodecParameters* par = st->codecpar;
    if (par->codec_id == AV_CODEC_ID_NONE) return true;
    if (par->codec_type == AVMEDIA_TYPE_VIDEO) return par->width <= 0 || par->height <= 0;
    if (par->codec_type == AVMEDIA_TYPE_AUDIO)
        return par->sample_rate <= 0 || par->ch_layout.nb_channels <= 0;
    return false;
}

// MOV drops the sample entry's picture size for MPEG-4 video and leaves it
// to the decoder; the headers in the codec's extradata give it back for a
// fraction of what decoding a frame would cost.
void sizeFromExtradata(AVStream* st) {
    AVCodecParameters* par = st->codecpar;
    if (par->codec_type != AVMEDIA_TYPE_VIDEO || (par->width > 0 && par->height > 0) ||
        par->extradata_size <= 0)
        return;
    AVCodecParserContext* parser = av_parser_init(par->codec_id);
    AVCodecContext* codec = avcodec_alloc_context3(nullptr);
    if (parser && codec && avcodec_parameters_to_context(codec, par) >= 0) {
        parser->flags |= PARSER_FLAG_COMPLETE_FRAMES;
        std::uint8_t* out = nullptr;
        int outSize = 0;
        av_parser_parse2(parser, codec, &out, &outSize, par->extradata, par->extradata_size, AV_NOPTS_VALUE,
                         AV_NOPTS_VALUE, 0);
        if (codec->width > 0 && codec->height > 0) {
            par->width = codec->width;
            par->height = codec->height;
        }
    }
    avcodec_free_context(&codec);
    if (parser) av_parser_close(parser);
}

bool formatIs(const AVFormatContext* ctx, std::string_view name) { return formatIs(ctx->iformat, name); }

// FFmpeg keeps four-character codes with the first character in the low byte.
OSType fromFFmpegTag(std::uint32_t tag) {
    return ((tag & 0xFF) << 24) | ((tag & 0xFF00) << 8) | ((tag >> 8) & 0xFF00) | (tag >> 24);
}

OSType codeFromText(std::string_view text) {
    OSType code = 0;
    for (std::size_t i = 0; i < 4; ++i) code = (code << 8) | (i < text.size() ? std::uint8_t(text[i]) : ' ');
    return code;
}

OSType codeFromMovTables(AVCodecID id, bool audio) {
    const AVCodecTag* tables[] = {audio ? avformat_get_mov_audio_tags() : avformat_get_mov_video_tags(),
                                  nullptr};
    return fromFFmpegTag(av_codec_get_tag(tables, id));
}

bool printableCode(OSType code) {
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned c = (code >> shift) & 0xFF;
        if (c < 0x20 || c > 0x7E) return false;
    }
    return true;
}

OSType videoCode(const AVFormatContext* ctx, const AVStream* st) {
    const AVCodecParameters* par = st->codecpar;
    // MOV sample entries and AVI fourccs are the container's own word for the codec.
    if ((formatIs(ctx, "mov") || formatIs(ctx, "avi")) && par->codec_tag) {
        const OSType tag = fromFFmpegTag(par->codec_tag);
        if (printableCode(tag)) return tag;
    }
    if (par->codec_id == AV_CODEC_ID_DVVIDEO)  // the table's first DV code is PAL's
        return FourCC(par->height == 480 ? "dvc " : "dvcp");
    if (const OSType code = codeFromMovTables(par->codec_id, false)) return code;
    return codeFromText(avcodec_get_name(par->codec_id));
}

OSType audioCode(const AVStream* st) {
    const AVCodecID id = st->codecpar->codec_id;
    if (const OSType code = codeFromMovTables(id, true)) return code;
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(id);
    if (descriptor && std::string_view(descriptor->name).substr(0, 4) == "pcm_") return FourCC("lpcm");
    return codeFromText(avcodec_get_name(id));
}

// One word, no blanks: the second word of a handler's creator name.
std::string codecWord(AVCodecID id) {
    switch (id) {
        case AV_CODEC_ID_MPEG1VIDEO:
            return "MPEG";
        case AV_CODEC_ID_MPEG2VIDEO:
            return "MPEG-2";
        case AV_CODEC_ID_MPEG4:
            return "MPEG-4";
        case AV_CODEC_ID_H264:
            return "H.264";
        case AV_CODEC_ID_HEVC:
            return "HEVC";
        case AV_CODEC_ID_DVVIDEO:
            return "DV";
        default:
            break;
    }
    std::string word = avcodec_get_name(id);
    for (char& c : word) {
        if (c == ' ') c = '-';
        c = char(std::toupper(static_cast<unsigned char>(c)));
    }
    return word;
}

std::string handlerName(const std::string& word) { return "Reel " + word + " Media Handler"; }

std::string metadata(const AVDictionary* dict, const char* key) {
    const AVDictionaryEntry* entry = av_dict_get(dict, key, nullptr, 0);
    return entry && entry->value ? entry->value : "";
}

void setCompressorName(SampleDescription& description, const std::string& name) {
    const std::size_t length = std::min<std::size_t>(name.size(), description.name.size() - 1);
    description.name[0] = std::uint8_t(length);
    std::memcpy(description.name.data() + 1, name.data(), length);
}

template <typename T>
T clampTo(double value) {
    if (!std::isfinite(value)) return 0;
    // The largest 64-bit value has no double (it rounds up to 2^63, which no
    // int64 holds), but one past the largest value is exact at every width.
    const double end = double(std::numeric_limits<T>::max()) + 1.0;
    value = std::round(value);
    if (value >= end) return std::numeric_limits<T>::max();
    if (value < double(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
    return static_cast<T>(value);
}

double toSeconds(std::int64_t value, AVRational base) {
    if (value == AV_NOPTS_VALUE || base.den == 0) return std::numeric_limits<double>::quiet_NaN();
    return double(value) * av_q2d(base);
}

bool positive(double seconds) { return std::isfinite(seconds) && seconds > 0; }

// A time scale and duration pair that fits the toolbox's 32-bit values.
void setMediaTiming(MediaRecord& media, std::int64_t scale, std::int64_t duration) {
    while (scale > 1 && (duration > std::numeric_limits<TimeValue>::max() ||
                         scale > std::numeric_limits<TimeScale>::max())) {
        scale /= 2;
        duration /= 2;
    }
    media.timeScale = TimeScale(std::clamp<std::int64_t>(scale, 0, std::numeric_limits<TimeScale>::max()));
    media.duration = TimeValue(std::clamp<std::int64_t>(duration, 0, std::numeric_limits<TimeValue>::max()));
}

AVRational frameRate(AVFormatContext* ctx, AVStream* st) {
    AVRational rate = av_guess_frame_rate(ctx, st, nullptr);
    if (rate.num <= 0 || rate.den <= 0) rate = st->r_frame_rate;
    // An AVI picture stream counts time in frames: its header's scale and rate.
    if ((rate.num <= 0 || rate.den <= 0) && formatIs(ctx, "avi") &&
        st->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
        rate = av_inv_q(st->time_base);
    if (rate.num <= 0 || rate.den <= 0) return {0, 1};
    return rate;
}

// ---- Files without an index: a bounded sample of their packets

struct StreamSample {
    std::int64_t bytes = 0;
    std::int64_t packets = 0;
    double firstTime = std::numeric_limits<double>::quiet_NaN();
    double lastTime = std::numeric_limits<double>::quiet_NaN();
    std::int64_t firstPos = -1;
    std::int64_t lastPos = -1;

    double span() const {
        return std::isfinite(firstTime) && std::isfinite(lastTime) ? lastTime - firstTime : 0;
    }
};

std::vector<StreamSample> samplePackets(AVFormatContext* ctx, const ByteSource& source) {
    std::vector<StreamSample> samples(ctx->nb_streams);
    AVPacket* packet = av_packet_alloc();
    if (!packet) return samples;
    std::int64_t bytes = 0;
    for (int n = 0; n < kSamplePackets && bytes < kSampleBytes && !source.expired(); ++n) {
        if (av_read_frame(ctx, packet) < 0) break;
        if (packet->stream_index >= 0 && unsigned(packet->stream_index) < ctx->nb_streams) {
            StreamSample& s = samples[std::size_t(packet->stream_index)];
            const AVStream* st = ctx->streams[packet->stream_index];
            const double at =
                toSeconds(packet->pts != AV_NOPTS_VALUE ? packet->pts : packet->dts, st->time_base);
            if (std::isfinite(at)) {
                if (!std::isfinite(s.firstTime) || at < s.firstTime) s.firstTime = at;
                if (!std::isfinite(s.lastTime) || at > s.lastTime) s.lastTime = at;
            }
            if (packet->pos >= 0) {
                if (s.firstPos < 0) s.firstPos = packet->pos;
                s.lastPos = packet->pos;
            }
            s.bytes += packet->size;
            s.packets += 1;
            bytes += packet->size;
        }
        av_packet_unref(packet);
    }
    av_packet_free(&packet);
    return samples;
}

// ---- MPEG video: the length that GOP time codes give

struct GopTime {
    std::int64_t frames = -1;        // time code as a frame count
    std::int64_t picturesAfter = 0;  // pictures after this GOP header in the bytes scanned
};

std::optional<GopTime> lastGopTime(const std::vector<std::uint8_t>& bytes, int nominalFps, bool first) {
    std::optional<GopTime> found;
    for (std::size_t i = 0; i + 7 < bytes.size(); ++i) {
        if (bytes[i] != 0 || bytes[i + 1] != 0 || bytes[i + 2] != 1) continue;
        const std::uint8_t code = bytes[i + 3];
        if (code == 0xB8) {
            // drop_frame(1) hours(5) minutes(6) marker(1) seconds(6) pictures(6)
            const std::uint32_t bits = (std::uint32_t(bytes[i + 4]) << 24) |
                                       (std::uint32_t(bytes[i + 5]) << 16) |
                                       (std::uint32_t(bytes[i + 6]) << 8) | bytes[i + 7];
            const int hours = (bits >> 26) & 0x1F;
            const int minutes = (bits >> 20) & 0x3F;
            const int seconds = (bits >> 13) & 0x3F;
            const int pictures = (bits >> 7) & 0x3F;
            if (!((bits >> 19) & 1) || minutes > 59 || seconds > 59 || pictures >= nominalFps) continue;
            found = GopTime{((hours * 60 + minutes) * 60 + seconds) * std::int64_t(nominalFps) + pictures, 0};
            if (first) return found;
        } else if (code == 0x00 && found) {
            found->picturesAfter += 1;
        }
    }
    return found;
}

// Seconds of an MPEG video elementary stream from its first and last GOP time codes.
double elementaryLength(const ByteSource& source, AVRational rate) {
    if (rate.num <= 0 || rate.den <= 0) return 0;
    const double fps = av_q2d(rate);
    const int nominal = int(std::lround(fps));
    if (nominal <= 0 || nominal > 60) return 0;
    const auto head = lastGopTime(source.slice(0, kHeadBytes), nominal, true);
    const std::int64_t tailStart = std::max<std::int64_t>(0, source.size - kTailBytes);
    const auto tail = lastGopTime(source.slice(tailStart, kTailBytes), nominal, false);
    if (!head || !tail) return 0;
    const std::int64_t frames = tail->frames + tail->picturesAfter - head->frames;
    return frames > 0 ? double(frames) / fps : 0;
}

// MPEG-1 and MPEG-2 program streams differ in their pack headers.
bool isMpeg2System(const ByteSource& source) {
    const auto bytes = source.slice(0, kHeadBytes);
    for (std::size_t i = 0; i + 4 < bytes.size(); ++i) {
        if (bytes[i] == 0 && bytes[i + 1] == 0 && bytes[i + 2] == 1 && bytes[i + 3] == 0xBA)
            return (bytes[i + 4] & 0xC0) == 0x40;
    }
    return false;
}

// ---- Putting the movie together

struct Inspection {
    AVFormatContext* ctx;
    const ByteSource& source;
    // Per stream: the bytes its index lists, or -1 where sizes and counts
    // are estimated from a sample of packets and the stream's headers.
    std::vector<std::int64_t> indexedBytes;
    std::vector<StreamSample> samples;
    std::vector<double> seconds;  // per stream

    bool indexed(unsigned index) const { return indexedBytes[index] >= 0; }
};

std::int64_t indexedBytes(AVStream* st) {
    std::int64_t total = 0;
    const int count = avformat_index_get_entries_count(st);
    for (int i = 0; i < count; ++i) {
        if (const AVIndexEntry* entry = avformat_index_get_entry(st, i)) total += entry->size;
    }
    return total;
}

// What each stream's index tells, where it can be believed. An AVI cut short
// loses its index with its end, and FFmpeg stops building a QuickTime index at
// the first sample that claims more than a gigabyte: an index that lists
// nothing, or more bytes than the file holds, is no measure of the stream.
std::vector<std::int64_t> believableIndexes(AVFormatContext* ctx, std::int64_t fileSize) {
    std::vector<std::int64_t> bytes(ctx->nb_streams, -1);
    if (!indexedFormat(ctx->iformat)) return bytes;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        AVStream* st = ctx->streams[i];
        if (avformat_index_get_entries_count(st) == 0) continue;
        const std::int64_t listed = indexedBytes(st);
        if (listed <= fileSize) bytes[i] = listed;
    }
    return bytes;
}

std::int64_t estimatedBytes(const Inspection& in, unsigned index) {
    // What the believable indexes list is theirs; the rest of the file is shared out.
    std::int64_t rest = in.source.size, sampled = 0;
    int unmeasured = 0;
    for (unsigned i = 0; i < in.ctx->nb_streams; ++i) {
        if (in.indexed(i)) {
            rest -= in.indexedBytes[i];
        } else {
            sampled += in.samples[i].bytes;
            unmeasured += isMedia(in.ctx->streams[i]) && in.samples[i].bytes == 0;
        }
    }
    rest = std::max<std::int64_t>(rest, 0);
    if (sampled > 0 && in.samples[index].bytes > 0)
        return std::int64_t(double(rest) * double(in.samples[index].bytes) / double(sampled));
    const std::int64_t bitRate = in.ctx->streams[index]->codecpar->bit_rate;
    // A header's bit rate and length can be anything; no track holds more than the file.
    if (bitRate > 0 && positive(in.seconds[index]))
        return std::min(in.source.size, clampTo<std::int64_t>(double(bitRate) * in.seconds[index] / 8));
    // A stream of an indexed container that the sample missed, whose index is
    // gone and whose header gives no bit rate, still holds something: its
    // share of what nothing else claims.
    if (indexedFormat(in.ctx->iformat)) return std::max<std::int64_t>(1, rest / std::max(1, unmeasured));
    return 0;
}

TrackRecord makeTrack(Inspection& in, unsigned index) {
    AVStream* st = in.ctx->streams[index];
    const AVCodecParameters* par = st->codecpar;
    const bool video = par->codec_type == AVMEDIA_TYPE_VIDEO;
    const double seconds = in.seconds[index];

    TrackRecord track;
    // Only QuickTime files say which tracks are switched on.
    track.enabled = !formatIs(in.ctx, "mov") || (st->disposition & AV_DISPOSITION_DEFAULT);
    track.duration = clampTo<TimeValue>(seconds * kMovieTimeScale);

    MediaRecord& media = track.media;
    media.mediaType = video ? VideoMediaType : SoundMediaType;
    media.characteristics =
        video ? std::vector<OSType>{kCharacteristicHasVideoFrameRate, VisualMediaCharacteristic}
              : std::vector<OSType>{AudioMediaCharacteristic};
    media.handlerCreatorName = handlerName(video ? codecWord(par->codec_id) : "Sound");

    if (in.indexed(index)) {
        track.dataSize = in.indexedBytes[index];
        media.sampleCount = long(st->nb_frames > 0 ? st->nb_frames : avformat_index_get_entries_count(st));
    } else {
        track.dataSize = estimatedBytes(in, index);
        const StreamSample& s = in.samples[index];
        const double perSecond =
            video ? av_q2d(frameRate(in.ctx, st)) : (s.span() > 0 ? double(s.packets - 1) / s.span() : 0);
        media.sampleCount = positive(seconds) ? clampTo<long>(seconds * perSecond) : 0;
    }

    const AVRational rate = frameRate(in.ctx, st);
    const bool knownDuration = st->duration != AV_NOPTS_VALUE && st->duration > 0 && in.indexed(index);
    if (knownDuration) {
        setMediaTiming(media, st->time_base.den, st->duration * st->time_base.num);
    } else if (video && rate.num > 0) {
        setMediaTiming(media, rate.num, clampTo<std::int64_t>(double(media.sampleCount) * rate.den));
    } else {
        const std::int64_t scale = par->sample_rate > 0 ? par->sample_rate : kMovieTimeScale;
        setMediaTiming(media, scale, positive(seconds) ? clampTo<std::int64_t>(seconds * double(scale)) : 0);
    }

    SampleDescription& description = media.description;
    if (video) {
        description.dataFormat = videoCode(in.ctx, st);
        if (formatIs(in.ctx, "mov")) {
            setCompressorName(description, metadata(st->metadata, "encoder"));
            const std::string vendor = metadata(st->metadata, "vendor_id");
            if (vendor.size() == 4) description.vendor = codeFromText(vendor);
        }
    } else {
        description.dataFormat = audioCode(st);
        description.numChannels = std::int16_t(std::clamp(par->ch_layout.nb_channels, 0, 32767));
        description.sampleRate = std::uint64_t(std::max(par->sample_rate, 0)) << 16;
    }
    return track;
}

// MPEG files show first as one muxed track that plays the whole stream.
TrackRecord makeMuxedTrack(const Inspection& in, int videoIndex, double seconds) {
    TrackRecord track;
    track.duration = clampTo<TimeValue>(seconds * kMovieTimeScale);
    track.dataSize = in.source.size;

    MediaRecord& media = track.media;
    media.mediaType = MPEGMediaType;
    media.characteristics = {kCharacteristicIsMPEG, VisualMediaCharacteristic, AudioMediaCharacteristic};

    const bool elementary = formatIs(in.ctx, "mpegvideo");
    AVCodecID videoCodec = AV_CODEC_ID_NONE;
    if (videoIndex >= 0) {
        AVStream* st = in.ctx->streams[videoIndex];
        videoCodec = st->codecpar->codec_id;
        const AVRational rate = frameRate(in.ctx, st);
        if (rate.num > 0) {
            media.characteristics.push_back(kCharacteristicHasVideoFrameRate);
            media.hasEncodedFrameRate = true;
            media.encodedFrameRate = X2Fix(av_q2d(rate));
            media.sampleCount = clampTo<long>(seconds * av_q2d(rate));
        }
    }
    const bool mpeg2 = elementary ? videoCodec == AV_CODEC_ID_MPEG2VIDEO : isMpeg2System(in.source);
    media.description.dataFormat = FourCC(elementary ? (mpeg2 ? "m2v " : "m1v ") : (mpeg2 ? "m2s " : "m1s "));
    const std::string word =
        videoCodec != AV_CODEC_ID_NONE ? codecWord(videoCodec) : (mpeg2 ? "MPEG-2" : "MPEG");
    media.handlerCreatorName = handlerName(word);
    setMediaTiming(media, 90000, clampTo<std::int64_t>(std::max(0.0, seconds) * 90000));
    return track;
}

// Seconds of each stream: its own length where the container gives one,
// otherwise the file's, otherwise the longest of the other streams'.
std::vector<double> streamSeconds(const AVFormatContext* ctx) {
    std::vector<double> seconds;
    double longest = 0;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVStream* st = ctx->streams[i];
        const double own = toSeconds(st->duration, st->time_base);
        seconds.push_back(positive(own) ? own : 0);
        if (positive(own)) longest = std::max(longest, own);
    }
    const double whole =
        ctx->duration != AV_NOPTS_VALUE && ctx->duration > 0 ? double(ctx->duration) / AV_TIME_BASE : longest;
    for (double& s : seconds) {
        if (s == 0) s = whole;
    }
    return seconds;
}

// The sound and subtitle streams as a viewer chooses among them. The header
// has all of it, so this reads nothing more.
std::vector<TrackInfo> streamList(const AVFormatContext* ctx) {
    std::vector<TrackInfo> streams;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        const AVStream* st = ctx->streams[i];
        const AVCodecParameters* par = st->codecpar;
        TrackInfo info;
        if (par->codec_type == AVMEDIA_TYPE_AUDIO && !incomplete(st)) {
            info.kind = TrackInfo::Kind::Audio;
            info.channels = par->ch_layout.nb_channels;
        } else if (par->codec_type == AVMEDIA_TYPE_SUBTITLE) {
            info.kind = TrackInfo::Kind::Subtitle;
        } else {
            continue;
        }
        info.language = metadata(st->metadata, "language");
        if (info.language == "und") info.language.clear();  // "undetermined" says nothing
        info.title = metadata(st->metadata, "title");
        // MP4 and QuickTime keep a track's name as its handler's, which is
        // otherwise the muxer's generic "SoundHandler", "Core Media Audio" and the like.
        const std::string handler = metadata(st->metadata, "handler_name");
        if (info.title.empty() && handler.find("Handler") == std::string::npos &&
            handler.rfind("Core Media", 0) == std::string::npos)
            info.title = handler;
        info.codec = avcodec_get_name(par->codec_id);
        info.isDefault = st->disposition & AV_DISPOSITION_DEFAULT;
        info.forced = st->disposition & AV_DISPOSITION_FORCED;
        streams.push_back(std::move(info));
    }
    return streams;
}

OpenedMovie failure(std::string why) { return {nullptr, std::move(why)}; }

OpenedMovie describe(ByteSource& source, const std::string& name) {
    static std::once_flag setUp;
    std::call_once(setUp, [] {
        // Damaged files would fill the terminal with the demuxers' complaints.
        av_log_set_level(AV_LOG_QUIET);
        av_max_alloc(kLargestAllocation);
    });

    if (source.size == 0) return failure("empty file");
    source.deadline = Clock::now() + kDescribeDeadline;
    const auto tooSlow = [] {
        return failure("gave up after " + std::to_string(kDescribeDeadline.count() / 1000) + " s");
    };

    std::optional<Demuxer> demuxer(std::in_place, source);
    source.watching = true;
    int err = demuxer->open(name, false);
    if (source.longEdits && !source.costly.tooMany(source.format)) {
        // Read again from the start, this time leaving the edit lists aside.
        source.rewind();
        source.ignoringEdits = true;
        demuxer.emplace(source);
        err = demuxer->open(name, true);
    }
    source.watching = false;
    if (source.costly.tooMany(source.format))
        return failure("not a movie file (thousands of segment indexes or chapters)");
    if (err < 0) return source.expired() ? tooSlow() : failure("not a movie file (" + errorText(err) + ")");
    AVFormatContext* ctx = demuxer->get();

    const bool mpeg = formatIs(ctx, "mpeg") || formatIs(ctx, "mpegvideo");
    bool probe = (ctx->ctx_flags & AVFMTCTX_NOHEADER) || ctx->nb_streams == 0;
    for (unsigned i = 0; i < ctx->nb_streams && !probe; ++i) {
        sizeFromExtradata(ctx->streams[i]);
        probe = isMedia(ctx->streams[i]) && incomplete(ctx->streams[i]);
    }
    if (probe) {
        ctx->probesize = kProbeBytes;
        ctx->max_analyze_duration = 2 * AV_TIME_BASE;
        avformat_find_stream_info(ctx, nullptr);
    }
    if (source.expired()) return tooSlow();

    Inspection in{ctx, source, believableIndexes(ctx, source.size), {}, {}};
    bool measured = true;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) measured = measured && in.indexed(i);
    in.samples = measured ? std::vector<StreamSample>(ctx->nb_streams) : samplePackets(ctx, source);
    if (source.expired()) return tooSlow();

    // A stream is described when its headers are whole. MPEG demuxers take
    // any start code for a stream, in whatever bytes follow a damaged start,
    // so there a picture needs its frame rate too, which every real MPEG
    // sequence header carries.
    const auto usable = [&](unsigned i) {
        AVStream* st = ctx->streams[i];
        if (!isMedia(st) || incomplete(st)) return false;
        return !mpeg || st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || frameRate(ctx, st).num > 0;
    };
    in.seconds = streamSeconds(ctx);
    int videoIndex = -1;
    bool anyUsable = false;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        if (!usable(i)) continue;
        anyUsable = true;
        if (videoIndex < 0 && ctx->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_VIDEO)
            videoIndex = int(i);
    }
    if (!anyUsable) return failure("no audio or video in it");
    if (formatIs(ctx, "mpegvideo") && videoIndex >= 0) {
        // The sequence header's bit rate is a ceiling, so FFmpeg's estimate can be far short.
        const double length = elementaryLength(source, frameRate(ctx, ctx->streams[videoIndex]));
        if (positive(length)) in.seconds[std::size_t(videoIndex)] = length;
    }

    auto movie = std::make_shared<MovieRecord>();
    movie->timeScale = kMovieTimeScale;
    double movieSeconds = 0;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        if (usable(i)) movieSeconds = std::max(movieSeconds, in.seconds[i]);
    }
    if (mpeg) movie->tracks.push_back(makeMuxedTrack(in, videoIndex, movieSeconds));

    int width = 0, height = 0;
    for (unsigned i = 0; i < ctx->nb_streams; ++i) {
        AVStream* st = ctx->streams[i];
        if (!usable(i)) continue;
        movie->tracks.push_back(makeTrack(in, i));
        if (st->codecpar->codec_type != AVMEDIA_TYPE_VIDEO || !movie->tracks.back().enabled) continue;
        // The picture as it is shown: stored width stretched by the pixel aspect.
        const AVRational sar = av_guess_sample_aspect_ratio(ctx, st, nullptr);
        const double shownWidth = st->codecpar->width * (sar.num > 0 && sar.den > 0 ? av_q2d(sar) : 1.0);
        const int w = clampTo<std::int16_t>(shownWidth), h = clampTo<std::int16_t>(st->codecpar->height);
        if (double(w) * h > double(width) * height) {
            width = w;
            height = h;
        }
    }
    if (movie->tracks.empty()) return failure("no audio or video in it");
    movie->naturalBounds = Rect{0, 0, std::int16_t(height), std::int16_t(width)};
    movie->streams = streamList(ctx);
    movie->duration = clampTo<TimeValue>(movieSeconds * kMovieTimeScale);
    return {std::move(movie), {}};
}

}  // namespace

OpenedMovie openMovieFile(const std::string& path) {
    // Non-blocking, so that a FIFO or a device with a movie's name cannot hang us.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        if (errno == ENOENT) return failure("no such file");
        return failure(std::strerror(errno));
    }
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};

    struct stat info {};
    if (::fstat(fd, &info) != 0) return failure(std::strerror(errno));
    if (S_ISDIR(info.st_mode)) return failure("is a directory");
    if (!S_ISREG(info.st_mode)) return failure("not a regular file");

    ByteSource source;
    source.fd = fd;
    source.size = info.st_size;
    OpenedMovie opened = describe(source, path);
    if (opened.movie) opened.movie->source = path;
    return opened;
}

OpenedMovie openMovieBytes(const std::uint8_t* data, std::size_t size, const std::string& nameHint) {
    ByteSource source;
    source.data = data;
    source.size = std::int64_t(size);
    return describe(source, nameHint);
}

}  // namespace reel::platform
