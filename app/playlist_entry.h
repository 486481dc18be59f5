#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "media/cl_movie.h"
#include "platform/track_info.h"

namespace reel {

// What the playlist knows of one file. Every value is text, set once when
// the entry is made and never edited.
struct EntryRecord {
    std::string rate, name, standard, type, audioType, length, seconds, size, originalSize;
    // Kept from a playlist file and written back to it; empty when it named none.
    std::string title{};
    // Why a line of a playlist cannot be viewed ("File not found", ...); empty when it can.
    std::string problem{};
    // Kept beside the nine keys, not among them: the sound and subtitle
    // streams inside the file (files found beside it are looked for when needed).
    std::vector<TrackInfo> tracks = {};  // defaulted, so the nine strings may still be listed alone

    using Field = std::string EntryRecord::*;
    // The keys in the order they are set, with the field each names.
    static constexpr std::array<std::pair<std::string_view, Field>, 9> keys{{
        {"rate", &EntryRecord::rate},
        {"name", &EntryRecord::name},
        {"standard", &EntryRecord::standard},
        {"type", &EntryRecord::type},
        {"audioType", &EntryRecord::audioType},
        {"length", &EntryRecord::length},
        {"seconds", &EntryRecord::seconds},
        {"size", &EntryRecord::size},
        {"originalSize", &EntryRecord::originalSize},
    }};

    bool operator==(const EntryRecord&) const = default;
};

// The path's extension (after the last dot of its last component), upper-cased.
std::string upperExtension(std::string_view path);

// Extensions that become playlist entries, in the order they are tested.
constexpr std::array<std::string_view, 8> kAcceptedExtensions{"MPG", "AVI", "MPEG", "MOV",
                                                              "MPV", "MP4", "VOB",  "DV"};
bool isAcceptedExtension(std::string_view upperExt);

using MovieOpener = std::function<std::unique_ptr<CLMovie>(const std::string& path, std::string* whyNot)>;

// The opener that inspects real files.
MovieOpener fileOpener();

struct EntryOutcome {
    std::optional<EntryRecord> entry;
    std::string skipReason;       // set when entry is empty
    bool wrongExtension = false;  // skipped for its name alone, which the playlist does quietly
};

// Describes one file as a playlist entry, or says why it cannot be one.
EntryOutcome buildEntry(const std::string& path, const MovieOpener& open);

// A playlist line that cannot be viewed: kept, greyed, passed over, written back.
EntryRecord unviewableEntry(const std::string& path, const std::string& title, double seconds,
                            const std::string& problem);

// The entry of a movie that is already open, as buildEntry makes it; path's
// extension, which must be an accepted one, says whether it is described as MPEG.
EntryRecord entryOf(const std::string& path, const CLMovie& mov);

}  // namespace reel
