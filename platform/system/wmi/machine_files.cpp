#include "platform/system/wmi/machine_files.h"

#include "platform/text/strings.h"

namespace rk::sys::wmi {
namespace {

// Calls `line_fn` for every line (without its line break).
template <typename Fn>
void for_each_line(std::string_view text, Fn line_fn) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        line_fn(text.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

std::string unescape_octal(std::string_view field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && is_digit(field[i + 1]) && is_digit(field[i + 2]) &&
            is_digit(field[i + 3])) {
            const int value = (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            if (value < 256) {
                out += static_cast<char>(value);
                i += 3;
                continue;
            }
        }
        out += field[i];
    }
    return out;
}

}  // namespace

std::vector<std::map<std::string, std::string>> parse_cpuinfo(std::string_view text) {
    std::vector<std::map<std::string, std::string>> processors;
    bool in_block = false;
    for_each_line(text, [&](std::string_view line) {
        const std::size_t colon = line.find(':');
        if (text::trim(line).empty() || colon == std::string_view::npos) {
            in_block = false;
            return;
        }
        if (!in_block) {
            processors.emplace_back();
            in_block = true;
        }
        processors.back()[std::string(text::trim(line.substr(0, colon)))] =
            std::string(text::trim(line.substr(colon + 1)));
    });
    return processors;
}

std::optional<std::uint64_t> leading_number(std::string_view text) {
    text = text::trim(text);
    if (text.empty() || !is_digit(text.front())) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < text.size() && is_digit(text[i]); ++i) {
        const auto digit = static_cast<std::uint64_t>(text[i] - '0');
        if (value > (UINT64_MAX - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

std::optional<std::uint64_t> meminfo_value(std::string_view text, std::string_view key) {
    std::optional<std::uint64_t> found;
    for_each_line(text, [&](std::string_view line) {
        if (!found && line.size() > key.size() && line.substr(0, key.size()) == key && line[key.size()] == ':') {
            found = leading_number(line.substr(key.size() + 1));
        }
    });
    return found;
}

std::optional<std::uint64_t> boot_time(std::string_view text) {
    std::optional<std::uint64_t> found;
    for_each_line(text, [&](std::string_view line) {
        if (!found && line.substr(0, 6) == "btime ") {
            found = leading_number(line.substr(6));
        }
    });
    return found;
}

std::vector<MountEntry> parse_mounts(std::string_view text) {
    std::vector<MountEntry> mounts;
    for_each_line(text, [&](std::string_view line) {
        std::vector<std::string_view> fields;
        std::size_t pos = 0;
        while (fields.size() < 3) {
            pos = line.find_first_not_of(" \t", pos);
            if (pos == std::string_view::npos) {
                return;
            }
            const std::size_t end = line.find_first_of(" \t", pos);
            fields.push_back(line.substr(pos, end == std::string_view::npos ? end : end - pos));
            if (end == std::string_view::npos) {
                break;
            }
            pos = end;
        }
        if (fields.size() == 3) {
            mounts.push_back({unescape_octal(fields[0]), unescape_octal(fields[1]), unescape_octal(fields[2])});
        }
    });
    return mounts;
}

std::string first_line(std::string_view text) { return std::string(text::trim(text.substr(0, text.find('\n')))); }

}  // namespace rk::sys::wmi
