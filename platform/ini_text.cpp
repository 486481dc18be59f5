#include "platform/ini_text.h"

#include <vector>

namespace reel::platform {

namespace {

std::string_view trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

bool isGeneral(std::string_view name) {
    constexpr std::string_view general = "general";
    if (name.size() != general.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if ((name[i] | 0x20) != general[i]) return false;
    }
    return true;
}

struct Line {
    std::size_t start = 0, end = 0;  // the line without its '\n' (or "\r\n")
    std::size_t next = 0;            // where the next line starts
    bool crlf = false;
};

std::vector<Line> linesOf(std::string_view text) {
    std::vector<Line> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t newline = text.find('\n', at);
        Line line{at, newline == std::string_view::npos ? text.size() : newline, 0, false};
        line.next = newline == std::string_view::npos ? text.size() : newline + 1;
        if (line.end > line.start && text[line.end - 1] == '\r') {
            --line.end;
            line.crlf = newline != std::string_view::npos;
        }
        lines.push_back(line);
        at = line.next;
    }
    return lines;
}

// Where the key's value sits in each of its lines in [General], and where the
// group's first header and its last non-blank line are.
struct Found {
    std::vector<std::pair<std::size_t, std::size_t>> values;  // [begin, end) in the text
    std::optional<std::size_t> header;                        // index of the first [General] line
    std::optional<std::size_t> lastOfGroup;                   // index of its last non-blank line
};

Found find(std::string_view text, const std::vector<Line>& lines, std::string_view key) {
    Found found;
    bool general = true;  // above every header
    bool firstGroup = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const std::string_view raw = text.substr(lines[i].start, lines[i].end - lines[i].start);
        const std::string_view line = trimmed(raw);
        if (!line.empty() && line.front() == '[' && line.find(']') != std::string_view::npos) {
            general = isGeneral(trimmed(line.substr(1, line.find(']') - 1)));
            firstGroup = general && !found.header;
            if (firstGroup) {
                found.header = i;
                found.lastOfGroup = i;
            }
            continue;
        }
        if (!general) continue;
        if (firstGroup && !line.empty()) found.lastOfGroup = i;
        const std::size_t equals = raw.find('=');
        if (equals == std::string_view::npos || trimmed(raw.substr(0, equals)) != key) continue;
        std::size_t begin = equals + 1;
        while (begin < raw.size() && (raw[begin] == ' ' || raw[begin] == '\t')) ++begin;
        std::size_t end = raw.size();
        while (end > begin && (raw[end - 1] == ' ' || raw[end - 1] == '\t')) --end;
        found.values.emplace_back(lines[i].start + begin, lines[i].start + end);
    }
    return found;
}

}  // namespace

std::optional<std::string> iniGeneralValue(std::string_view text, std::string_view key) {
    const Found found = find(text, linesOf(text), key);
    if (found.values.empty()) return std::nullopt;
    const auto [begin, end] = found.values.back();
    std::string_view value = text.substr(begin, end - begin);
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::string withIniGeneralValue(std::string_view text, std::string_view key, std::string_view value) {
    const std::vector<Line> lines = linesOf(text);
    const Found found = find(text, lines, key);
    std::string out(text);
    if (!found.values.empty()) {
        // From the last, so that earlier places stay where they were.
        for (auto it = found.values.rbegin(); it != found.values.rend(); ++it)
            out.replace(it->first, it->second - it->first, value);
        return out;
    }
    if (found.lastOfGroup) {
        const Line& last = lines[*found.lastOfGroup];
        const std::string_view ending = lines[*found.header].crlf ? "\r\n" : "\n";
        std::string added = std::string(key) + "=" + std::string(value) + std::string(ending);
        // The group's last line may end the file without a line end.
        if (last.next == last.end) added.insert(0, ending);
        out.insert(last.next, added);
        return out;
    }
    std::string group = "[General]\n" + std::string(key) + "=" + std::string(value) + "\n";
    if (!text.empty()) group += "\n";
    return group + out;
}

}  // namespace reel::platform
