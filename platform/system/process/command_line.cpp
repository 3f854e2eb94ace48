#include "platform/system/process/command_line.h"

namespace rk::sys {
namespace {

bool is_blank(wchar_t c) { return c == L' ' || c == L'\t'; }

}  // namespace

std::vector<std::wstring> split_command_line(std::wstring_view line) {
    std::vector<std::wstring> arguments;
    if (line.empty()) {
        return arguments;
    }
    std::size_t i = 0;
    const std::size_t n = line.size();

    std::wstring program;
    bool quoted = false;
    for (; i < n; ++i) {
        const wchar_t c = line[i];
        if (c == L'"') {
            quoted = !quoted;
        } else if (is_blank(c) && !quoted) {
            break;
        } else {
            program += c;
        }
    }
    arguments.push_back(std::move(program));

    while (true) {
        while (i < n && is_blank(line[i])) {
            ++i;
        }
        if (i >= n) {
            break;
        }
        std::wstring argument;
        quoted = false;
        while (i < n) {
            const wchar_t c = line[i];
            if (c == L'\\') {
                std::size_t slashes = 0;
                while (i < n && line[i] == L'\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == L'"') {
                    argument.append(slashes / 2, L'\\');
                    if (slashes % 2 == 1) {
                        argument += L'"';
                        ++i;
                    }
                    // An even count leaves the quote to the code below.
                } else {
                    argument.append(slashes, L'\\');
                }
                continue;
            }
            if (c == L'"') {
                if (quoted && i + 1 < n && line[i + 1] == L'"') {
                    argument += L'"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            if (is_blank(c) && !quoted) {
                break;
            }
            argument += c;
            ++i;
        }
        arguments.push_back(std::move(argument));
    }
    return arguments;
}

std::wstring quote_argument(std::wstring_view argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\"") == std::wstring_view::npos) {
        return std::wstring(argument);
    }
    std::wstring quoted = L"\"";
    std::size_t slashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        if (c == L'"') {
            quoted.append(slashes * 2 + 1, L'\\');
        } else {
            quoted.append(slashes, L'\\');
        }
        slashes = 0;
        quoted += c;
    }
    // Backslashes before the closing quote are doubled so it stays a quote.
    quoted.append(slashes * 2, L'\\');
    quoted += L'"';
    return quoted;
}

}  // namespace rk::sys
