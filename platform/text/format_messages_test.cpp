// The printf texts the system logs, one for each sequence of directives (a
// second where a caller passes an argument type the directive must narrow),
// with arguments of the kinds their callers pass (DWORDs, HRESULTs, 64-bit
// counts, size_t, pointers, narrow and wide strings), formatted against output
// written out independently.
#include <cstdint>
#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "platform/text/format.h"
#include "platform/text/utf.h"

namespace rk::text {
namespace {

const void* ptr(std::uintptr_t value) { return reinterpret_cast<const void*>(value); }

struct MessageCase {
    std::wstring_view format;
    std::vector<FormatArg> args;
    std::wstring_view expected;
};

// Texts are wide formats. Strings are literals so the arguments stay valid
// for the life of the table. "%Y", "%m", "%y" and "%Y-%m-%d %TZ" are strftime
// patterns, listed with no arguments: every directive stays as written.
const std::vector<MessageCase>& message_cases() {
    static const std::vector<MessageCase> cases = {
        {L" failed to read cab '%.*ls'", {std::int32_t{4}, std::wstring_view(L"C:\\ProgramData\\Corvane\\Updater\\log.txt", 38)}, L" failed to read cab 'C:\\P'"},
        {L"# SetAutoProxy: Can't get proxy. Err: %d", {std::int32_t{87}}, L"# SetAutoProxy: Can't get proxy. Err: 87"},
        {L"# SetAutoProxyUrl: Can't get proxy. Err: %d", {std::uint32_t{5u}}, L"# SetAutoProxyUrl: Can't get proxy. Err: 5"},
        {L"%%%lus", {std::uint32_t{15u}}, L"%15s"},
        {L"%.*hs = '%ls'", {std::int32_t{5}, std::string_view("bad allocation", 14), L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"bad a = 'C:\\ProgramData\\Corvane\\Updater\\log.txt'"},
        {L"%.*hs", {std::int32_t{5}, std::string_view("win32", 5)}, L"win32"},
        {L"%0.3lu", {std::uint32_t{7u}}, L"007"},
        {L"%02hu/%02hu/%hu %02hu:%02hu:%02hu %s$", {std::uint16_t{1u}, std::uint16_t{31u}, std::uint16_t{2026u}, std::uint16_t{12u}, std::uint16_t{5u}, std::uint16_t{9u}, L"AM"}, L"01/31/2026 12:05:09 AM$"},
        {L"%02x", {std::uint8_t{10u}}, L"0a"},
        {L"%Y", {}, L"%Y"},
        {L"%Y-%m-%d %TZ", {}, L"%Y-%m-%d %TZ"},
        {L"%Y-%m-%d", {}, L"%Y-%m-%d"},
        {L"%d-%d-%d", {std::int32_t{2026}, std::int32_t{1}, std::int32_t{31}}, L"2026-1-31"},
        {L"%d.%d.%d.%d", {std::int32_t{10}, std::int32_t{0}, std::int32_t{19041}, std::int32_t{3636}}, L"10.0.19041.3636"},
        {L"%lld", {std::int64_t{30}}, L"30"},
        {L"%llu", {std::uint64_t{42u}}, L"42"},
        {L"%m", {}, L"%m"},
        {L"%s -- (%s)$", {L"GET", L"caf\u00e9 \u4e2d\u6587"}, L"GET -- (caf\u00e9 \u4e2d\u6587)$"},
        {L"%s", {L"Brightscan_Release.exe"}, L"Brightscan_Release.exe"},
        {L"%s(%d): [ERROR]: [%s]: %s\n", {L"", std::uint32_t{5u}, L"HKLM\\SOFTWARE\\Corvane\\Analytics", L"100% done %d"}, L"(5): [ERROR]: [HKLM\\SOFTWARE\\Corvane\\Analytics]: 100% done %d\n"},
        {L"%s: Failed to Unregister Logging handler (requested handler 0x%08X != registered handler 0x%08X)", {L"HKLM\\SOFTWARE\\Corvane\\Analytics", static_cast<std::int32_t>(0x80070005u), std::uint32_t{1234567u}}, L"HKLM\\SOFTWARE\\Corvane\\Analytics: Failed to Unregister Logging handler (requested handler 0x80070005 != registered handler 0x0012D687)"},
        {L"%s: Request to Unregister Logging handler 0x%08X, but none are registered", {L"\U0001f600 engine.js", std::uint32_t{183u}}, L"\U0001f600 engine.js: Request to Unregister Logging handler 0x000000B7, but none are registered"},
        {L"%u,%u,%u,%u", {std::uint32_t{1u}, std::uint32_t{0u}, std::uint32_t{123u}, std::uint32_t{0u}}, L"1,0,123,0"},
        {L"%y", {}, L"%y"},
        {L"'%hs' [%hs:0x%x]", {"bad allocation", "win32", std::uint32_t{4294967295u}}, L"'bad allocation' [win32:0xffffffff]"},
        {L"'%hs'", {"caf\xc3\xa9"}, L"'caf\u00e9'"},
        {L"'%ls' doesn't have expected exports", {L"lbconfig.ini"}, L"'lbconfig.ini' doesn't have expected exports"},
        {L"<<exception>> '%hs': %ls", {"rk-av-trust.dll", L"https://updates.example.com/rk/manifest.xml"}, L"<<exception>> 'rk-av-trust.dll': https://updates.example.com/rk/manifest.xml"},
        {L"Application is already running - exiting error is: %u", {static_cast<std::int32_t>(0x80070005u)}, L"Application is already running - exiting error is: 2147942405"},
        {L"CreateFile failed: %d", {std::int64_t{4294967298}}, L"CreateFile failed: 2"},
        {L"Datagram was truncated. Buffer length was %zd, but only %zd bytes were sent (%zd bytes lost).", {std::size_t{0u}, std::size_t{0xFFFFFFFFFFFFFFFFull}, std::size_t{512u}}, L"Datagram was truncated. Buffer length was 0, but only -1 bytes were sent (512 bytes lost)."},
        {L"Error (%d) setting value (%s) under registry key: %s", {std::uint32_t{5u}, L"caf\u00e9 \u4e2d\u6587", L"Brightscan_Release.exe"}, L"Error (5) setting value (caf\u00e9 \u4e2d\u6587) under registry key: Brightscan_Release.exe"},
        {L"Error during update interception: %S", {"RkCryptoLib.cpp"}, L"Error during update interception: RkCryptoLib.cpp"},
        {L"Error invoking entryPoint(%s) on dispatch object: 0x%08x", {L"trackEvent", std::int32_t{-2147352573}}, L"Error invoking entryPoint(trackEvent) on dispatch object: 0x80020003"},
        {L"Error trying to BCryptGetProperty::%ls : %ls", {L"lbconfig.ini", L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"Error trying to BCryptGetProperty::lbconfig.ini : C:\\ProgramData\\Corvane\\Updater\\log.txt"},
        {L"Execute(%s) with %d parameters failed: exception is: %hs", {L"caf\u00e9 \u4e2d\u6587", std::int32_t{-1}, "caf\xc3\xa9"}, L"Execute(caf\u00e9 \u4e2d\u6587) with -1 parameters failed: exception is: caf\u00e9"},
        {L"Failed In WinHttpSetOption for WINHTTP_OPTION_SECURE_PROTOCOLS with error %ld", {std::uint32_t{4294967295u}}, L"Failed In WinHttpSetOption for WINHTTP_OPTION_SECURE_PROTOCOLS with error -1"},
        {L"Failed to convert dictionary of %zd items into a JSON payload", {std::size_t{512u}}, L"Failed to convert dictionary of 512 items into a JSON payload"},
        {L"Failed to query all response headers from %s request to %s: error code 0x%08x", {L"C:\\ProgramData\\Corvane\\Updater\\log.txt", L"https://updates.example.com/rk/manifest.xml", std::uint32_t{0u}}, L"Failed to query all response headers from C:\\ProgramData\\Corvane\\Updater\\log.txt request to https://updates.example.com/rk/manifest.xml: error code 0x00000000"},
        {L"Failed to query key %s: %d", {L"GET", std::int64_t{4294967298}}, L"Failed to query key GET: 2"},
        {L"Failed to send datagram, Last Error: 0x%08X", {static_cast<std::int32_t>(0x80070005u)}, L"Failed to send datagram, Last Error: 0x80070005"},
        {L"HTTP GET request failed (%d), url: %s", {std::uint32_t{4294967295u}, L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"HTTP GET request failed (-1), url: C:\\ProgramData\\Corvane\\Updater\\log.txt"},
        {L"HTTP receive response failed (%d), url: %s", {std::int64_t{4294967298}, L"Brightscan_Release.exe"}, L"HTTP receive response failed (2), url: Brightscan_Release.exe"},
        {L"Invalid Blob Type (0x%04X) specified", {std::uint32_t{1234567u}}, L"Invalid Blob Type (0x12D687) specified"},
        {L"Invalid type (%d) for options: Move operation will use defaults (%d)", {std::int32_t{INT32_MIN}, std::int64_t{4294967298}}, L"Invalid type (-2147483648) for options: Move operation will use defaults (2)"},
        {L"MoveFileEx(%s, %s, %02x) failed with code 0x%08x", {L"\U0001f600 engine.js", L"lbconfig.ini", std::uint32_t{31u}, std::uint32_t{183u}}, L"MoveFileEx(\U0001f600 engine.js, lbconfig.ini, 1f) failed with code 0x000000b7"},
        {L"Overriding setting '%s': value '%s' will become '%s'", {L"Brightscan_Release.exe", L"", L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"Overriding setting 'Brightscan_Release.exe': value '' will become 'HKLM\\SOFTWARE\\Corvane\\Analytics'"},
        {L"Parsing script failed. Result: %x", {std::uint32_t{4294967295u}}, L"Parsing script failed. Result: ffffffff"},
        {L"Script errored at Line:%d Column:%d. Description: %s", {std::int32_t{2147483647}, std::uint32_t{4294967295u}, L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"Script errored at Line:2147483647 Column:-1. Description: C:\\ProgramData\\Corvane\\Updater\\log.txt"},
        {L"Shutdown Delay (%lld ms) wait status is (%d)", {std::int64_t{9223372036854775807}, std::int32_t{0}}, L"Shutdown Delay (9223372036854775807 ms) wait status is (0)"},
        {L"Transmission to %s on method %s resulted in status code : %d", {L"\U0001f600 engine.js", L"lbconfig.ini", std::int32_t{INT32_MIN}}, L"Transmission to \U0001f600 engine.js on method lbconfig.ini resulted in status code : -2147483648"},
        {L"Unknown error 0x%0lX", {std::int32_t{-2147352567}}, L"Unknown error 0x80020009"},
        {L"[%S:(%d)][%S] %s: ", {"RkCryptoLib.cpp", std::int32_t{-1}, "bad allocation", L"lbconfig.ini"}, L"[RkCryptoLib.cpp:(-1)][bad allocation] lbconfig.ini: "},
        {L"[%S:(%d)][%S] Failed to create hash traits.", {"win32", std::int32_t{2147483647}, "caf\xc3\xa9"}, L"[win32:(2147483647)][caf\u00e9] Failed to create hash traits."},
        {L"[%hs:0x%x] %ls (%hs)%ls", {"rk-av-trust.dll", std::uint32_t{0u}, L"C:\\ProgramData\\Corvane\\Updater\\log.txt", "", L"https://updates.example.com/rk/manifest.xml"}, L"[rk-av-trust.dll:0x0] C:\\ProgramData\\Corvane\\Updater\\log.txt ()https://updates.example.com/rk/manifest.xml"},
        {L"[%hs] (+ %d) %hs", {"invalid argument %s", std::uint32_t{4294967295u}, "RkCryptoLib.cpp"}, L"[invalid argument %s] (+ -1) RkCryptoLib.cpp"},
        {L"[%hs] (- %d) %hs [perf] %lldms target: '%.*ls', content version: %llu, final_result: %#llx %hs", {"bad allocation", std::int32_t{404}, "win32", std::int64_t{30}, std::int32_t{7}, L"caf\u00e9 \u4e2d\u6587|tail", std::uint64_t{0xFFFFFFFFFFFFFFFFull}, std::uint64_t{0x8000000000004005ull}, "caf\xc3\xa9"}, L"[bad allocation] (- 404) win32 [perf] 30ms target: 'caf\u00e9 \u4e2d\u6587', content version: 18446744073709551615, final_result: 0x8000000000004005 caf\u00e9"},
        {L"[%hs] (- %d) %hs [perf] %lldms", {"rk-av-trust.dll", std::int32_t{0}, "", std::int64_t{-1}}, L"[rk-av-trust.dll] (- 0)  [perf] -1ms"},
        {L"[%ls][%hs:0x%x] %ls (%hs)%ls", {L"Brightscan_Release.exe", "invalid argument %s", std::uint32_t{4294967295u}, L"", "RkCryptoLib.cpp", L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"[Brightscan_Release.exe][invalid argument %s:0xffffffff]  (RkCryptoLib.cpp)HKLM\\SOFTWARE\\Corvane\\Analytics"},
        {L"[%s:%5d]$", {L"process_logger.cpp", std::int32_t{118}}, L"[process_logger.cpp:  118]$"},
        {L"[PID:%5lu TID:%5lu]$", {std::uint32_t{4242u}, std::uint32_t{1234567u}}, L"[PID: 4242 TID:1234567]$"},
        {L"[framework] failed to process all work; re-enqueing %zu items", {std::size_t{0x100000000ull}}, L"[framework] failed to process all work; re-enqueing 4294967296 items"},
        {L"[framework] notifying setting changed '%.*ls' = '%.*ls'", {std::int32_t{22}, std::wstring_view(L"Brightscan_Release.exe", 22), std::int32_t{0}, L"|tail"}, L"[framework] notifying setting changed 'Brightscan_Release.exe' = ''"},
        {L"[framework] notifying system event '%ls' = '%d'", {L"https://updates.example.com/rk/manifest.xml", std::int64_t{4294967298}}, L"[framework] notifying system event 'https://updates.example.com/rk/manifest.xml' = '2'"},
        {L"[framework] registering for setting change (%zu/%zu) to '%.*ls'", {std::size_t{12u}, std::size_t{0u}, std::int32_t{7}, std::wstring_view(L"lbconfig.ini", 12)}, L"[framework] registering for setting change (12/0) to 'lbconfi'"},
        {L"[framework] started external client = 0x%llx", {std::uint64_t{0u}}, L"[framework] started external client = 0x0"},
        {L"[trust] '%.*ls' = v %llu, current = v %llu -- continue", {std::int32_t{38}, L"C:\\ProgramData\\Corvane\\Updater\\log.txt|tail", std::uint64_t{20260131u}, std::uint64_t{42u}}, L"[trust] 'C:\\ProgramData\\Corvane\\Updater\\log.txt' = v 20260131, current = v 42 -- continue"},
        {L"[trust] '%.*ls' cert %u/%zu: '%ls', type: %#x, flags: %#llx %hs", {std::int32_t{4}, std::wstring_view(L"https://updates.example.com/rk/manifest.xml", 43), std::int32_t{-1}, std::size_t{0x100000000ull}, L"GET", std::uint32_t{31u}, std::uint64_t{0x8000000000004005ull}, "bad allocation"}, L"[trust] 'http' cert 4294967295/4294967296: 'GET', type: 0x1f, flags: 0x8000000000004005 bad allocation"},
        {L"[trust] (cached valued) '%.*ls' 0x%llx %hs", {std::int32_t{0}, std::wstring_view(L"caf\u00e9 \u4e2d\u6587", 7), std::uint64_t{0u}, "win32"}, L"[trust] (cached valued) '' 0x0 win32"},
        {L"[trust] ignore file '%ls' (%zu/%zu) in '%.*ls'", {L"Brightscan_Release.exe", std::size_t{0u}, std::size_t{0x100000000ull}, std::int32_t{0}, std::wstring_view(L"", 0)}, L"[trust] ignore file 'Brightscan_Release.exe' (0/4294967296) in ''"},
        {L"[trust] parsed content version %llu from file '%ls' (%zu/%zu) in '%.*ls'", {std::uint64_t{0xFFFFFFFFFFFFFFFFull}, L"100% done %d", std::size_t{12u}, std::size_t{0u}, std::int32_t{4}, L"HKLM\\SOFTWARE\\Corvane\\Analytics|tail"}, L"[trust] parsed content version 18446744073709551615 from file '100% done %d' (12/0) in 'HKLM'"},
        {L"[trust] read %zu file(s) from '%.*ls'", {std::size_t{0x100000000ull}, std::int32_t{12}, std::wstring_view(L"100% done %d", 12)}, L"[trust] read 4294967296 file(s) from '100% done %d'"},
        {L"[trust] update cache by invoking 'av.cache.set' with payload '%ls', hr: %#lx, result: %lu", {L"{\"path\":\"C:\\\\x.exe\"}", std::int32_t{0}, std::uint32_t{1u}}, L"[trust] update cache by invoking 'av.cache.set' with payload '{\"path\":\"C:\\\\x.exe\"}', hr: 0, result: 1"},
        {L"[trust] validated '%.*ls' using dll, error: %d, flags: %llu [%hs]", {std::int32_t{7}, std::wstring_view(L"C:\\ProgramData\\Corvane\\Updater\\log.txt", 38), std::int32_t{87}, std::uint64_t{42u}, "caf\xc3\xa9"}, L"[trust] validated 'C:\\Prog' using dll, error: 87, flags: 42 [caf\u00e9]"},
        {L"[trust] validated '%.*ls' using lib, result: %llu [%hs]", {std::int32_t{43}, L"https://updates.example.com/rk/manifest.xml|tail", std::uint64_t{0xFFFFFFFFFFFFFFFFull}, "rk-av-trust.dll"}, L"[trust] validated 'https://updates.example.com/rk/manifest.xml' using lib, result: 18446744073709551615 [rk-av-trust.dll]"},
        {L"[trust] validated cab '%.*ls', result: %llu %hs, signed_by_corvane: %d", {std::int32_t{3}, std::wstring_view(L"GET", 3), std::uint64_t{0x8000000000004005ull}, "", std::uint32_t{5u}}, L"[trust] validated cab 'GET', result: 9223372036854792197 , signed_by_corvane: 5"},
        {L"\\StringFileInfo\\%04x%04x\\FileVersion", {std::uint16_t{1033u}, std::uint16_t{1200u}}, L"\\StringFileInfo\\040904b0\\FileVersion"},
        {L"\n[%d] '%.*hs'='%ls'", {std::int32_t{-1}, std::int32_t{3}, std::string_view("rk-av-trust.dll", 15), L"GET"}, L"\n[-1] 'rk-'='GET'"},
        {L"\r\n%u\tFile:%s\tFunction:%s\tLine:%d\t", {std::uint32_t{1234567u}, L"caf\u00e9 \u4e2d\u6587", L"Brightscan_Release.exe", std::int32_t{2147483647}}, L"\r\n1234567\tFile:caf\u00e9 \u4e2d\u6587\tFunction:Brightscan_Release.exe\tLine:2147483647\t"},
        {L"failed to get journal info for '%.*ls' (0x%p)", {std::int32_t{0}, std::wstring_view(L"Brightscan_Release.exe", 22), ptr(0x7FF6A1B20000)}, L"failed to get journal info for '' (0x00007FF6A1B20000)"},
        {L"proxy data for xmlUpdater, fAutoDetect: %ld, lpszAutoConfigUrl: %ls, lpszProxy: %ls, lpszProxyBypass: %ls", {std::uint32_t{5u}, L"Brightscan_Release.exe", L"", L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"proxy data for xmlUpdater, fAutoDetect: 5, lpszAutoConfigUrl: Brightscan_Release.exe, lpszProxy: , lpszProxyBypass: HKLM\\SOFTWARE\\Corvane\\Analytics"},
        {L"regex: matching %S against %S => Matched", {"RkCryptoLib.cpp", "bad allocation"}, L"regex: matching RkCryptoLib.cpp against bad allocation => Matched"},
        {L"regex: pcre_compile error; offset: %d, %S", {std::int32_t{-1}, "invalid argument %s"}, L"regex: pcre_compile error; offset: -1, invalid argument %s"},
    };
    return cases;
}

std::string trace_of(std::wstring_view format) { return wide_to_utf8(format); }

TEST(FormatMessages, EachTextGivesItsExpectedLine) {
    for (const auto& c : message_cases()) {
        SCOPED_TRACE(trace_of(c.format));
        EXPECT_EQ(vformat(c.format, c.args), c.expected);
    }
}

// The same texts as narrow formats: the arguments carry their own types, so
// the output is the UTF-8 form of the wide one.
TEST(FormatMessages, NarrowFormatsGiveTheUtf8OfTheWideLine) {
    for (const auto& c : message_cases()) {
        SCOPED_TRACE(trace_of(c.format));
        EXPECT_EQ(vformat(wide_to_utf8(c.format), c.args), wide_to_utf8(c.expected));
    }
}

// The printf texts the system is documented to log, one a line as the
// documents quote them (control characters as C escapes; other backslashes
// are literal, as in registry and resource paths).
std::string unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char e = text[i + 1];
            if (e == 'n' || e == 'r' || e == 't') {
                out.push_back(e == 'n' ? '\n' : e == 'r' ? '\r' : '\t');
                ++i;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

// The directives of a text in order: texts with the same sequence take the
// same path through the formatter, so one row stands for all of them.
std::vector<std::wstring> directives(std::wstring_view format) {
    static const std::wregex directive(LR"(%[-+ #0]*(\*|\d+)?(\.(\*|\d+)?)?(hh|h|ll|l|z|I64|I32|I|w)?[a-zA-Z%])");
    const std::wstring text(format);
    std::vector<std::wstring> found;
    for (auto it = std::wsregex_iterator(text.begin(), text.end(), directive); it != std::wsregex_iterator(); ++it) {
        found.push_back(it->str());
    }
    return found;
}

TEST(FormatMessages, TableCoversTheDirectivesOfEveryDocumentedText) {
    std::set<std::wstring> table;
    std::set<std::vector<std::wstring>> shapes;
    for (const auto& c : message_cases()) {
        EXPECT_TRUE(table.insert(std::wstring(c.format)).second) << trace_of(c.format) << " is listed twice";
        shapes.insert(directives(c.format));
    }
    EXPECT_EQ(shapes.size(), 80u);  // one row per shape at least
    std::ifstream in(RK_TEXT_TESTDATA "/logged_formats.txt");
    ASSERT_TRUE(in) << "testdata/text/logged_formats.txt is missing";
    std::size_t seen = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        ++seen;
        EXPECT_TRUE(shapes.count(directives(utf8_to_wide(unescape(line))))) << "\"" << line << "\" has no row of its shape";
    }
    EXPECT_EQ(seen, 315u);
}

}  // namespace
}  // namespace rk::text
