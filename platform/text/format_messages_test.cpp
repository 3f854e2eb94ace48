// Every printf text the system logs, formatted with typed arguments of the
// kinds its callers pass (DWORDs, HRESULTs, 64-bit counts, size_t, pointers,
// narrow and wide strings), against output written out independently.
#include <cstdint>
#include <fstream>
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
        {L" failed to validate cab '%.*ls'", {std::int32_t{43}, L"https://updates.example.com/rk/manifest.xml|tail"}, L" failed to validate cab 'https://updates.example.com/rk/manifest.xml'"},
        {L"# SetAutoProxy: Can't get proxy. Err: %d", {std::int32_t{87}}, L"# SetAutoProxy: Can't get proxy. Err: 87"},
        {L"# SetAutoProxyUrl: Can't get proxy. Err: %d", {std::uint32_t{5u}}, L"# SetAutoProxyUrl: Can't get proxy. Err: 5"},
        {L"%%%lus", {std::uint32_t{15u}}, L"%15s"},
        {L"%.*hs = '%ls'", {std::int32_t{5}, std::string_view("bad allocation", 14), L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"bad a = 'C:\\ProgramData\\Corvane\\Updater\\log.txt'"},
        {L"%.*hs", {std::int32_t{5}, std::string_view("win32", 5)}, L"win32"},
        {L"%.*ls", {std::int32_t{0}, std::wstring_view(L"GET", 3)}, L""},
        {L"%0.3lu", {std::uint32_t{7u}}, L"007"},
        {L"%02hu/%02hu/%hu %02hu:%02hu:%02hu %s$", {std::uint16_t{1u}, std::uint16_t{31u}, std::uint16_t{2026u}, std::uint16_t{12u}, std::uint16_t{5u}, std::uint16_t{9u}, L"AM"}, L"01/31/2026 12:05:09 AM$"},
        {L"%02x", {std::uint8_t{10u}}, L"0a"},
        {L"%Y", {}, L"%Y"},
        {L"%Y-%m-%d %TZ", {}, L"%Y-%m-%d %TZ"},
        {L"%Y-%m-%d", {}, L"%Y-%m-%d"},
        {L"%d", {std::int32_t{-1}}, L"-1"},
        {L"%d-%d-%d", {std::int32_t{2026}, std::int32_t{1}, std::int32_t{31}}, L"2026-1-31"},
        {L"%d.%d.%d.%d", {std::int32_t{10}, std::int32_t{0}, std::int32_t{19041}, std::int32_t{3636}}, L"10.0.19041.3636"},
        {L"%lld", {std::int64_t{30}}, L"30"},
        {L"%llu", {std::uint64_t{42u}}, L"42"},
        {L"%m", {}, L"%m"},
        {L"%s -- (%s)$", {L"GET", L"caf\u00e9 \u4e2d\u6587"}, L"GET -- (caf\u00e9 \u4e2d\u6587)$"},
        {L"%s", {L"Brightscan_Release.exe"}, L"Brightscan_Release.exe"},
        {L"%s(%d): [ERROR]: [%s]: %s\n", {L"", std::uint32_t{5u}, L"HKLM\\SOFTWARE\\Corvane\\Analytics", L"100% done %d"}, L"(5): [ERROR]: [HKLM\\SOFTWARE\\Corvane\\Analytics]: 100% done %d\n"},
        {L"%s(%d): [INFO]: [%s]: %s\n", {L"\U0001f600 engine.js", std::int32_t{-1}, L"lbconfig.ini", L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"\U0001f600 engine.js(-1): [INFO]: [lbconfig.ini]: C:\\ProgramData\\Corvane\\Updater\\log.txt\n"},
        {L"%s(%d): [UNKNOWN]: [%s]: %s\n", {L"https://updates.example.com/rk/manifest.xml", std::int32_t{2147483647}, L"GET", L"caf\u00e9 \u4e2d\u6587"}, L"https://updates.example.com/rk/manifest.xml(2147483647): [UNKNOWN]: [GET]: caf\u00e9 \u4e2d\u6587\n"},
        {L"%s: Cannot Register (NULL) handler", {L"Brightscan_Release.exe"}, L"Brightscan_Release.exe: Cannot Register (NULL) handler"},
        {L"%s: Cannot Unregister (NULL) handler", {L""}, L": Cannot Unregister (NULL) handler"},
        {L"%s: Failed to Unregister Logging handler (requested handler 0x%08X != registered handler 0x%08X)", {L"HKLM\\SOFTWARE\\Corvane\\Analytics", static_cast<std::int32_t>(0x80070005u), std::uint32_t{1234567u}}, L"HKLM\\SOFTWARE\\Corvane\\Analytics: Failed to Unregister Logging handler (requested handler 0x80070005 != registered handler 0x0012D687)"},
        {L"%s: Registered Logging Handler 0x%08X cannot be replaced with 0x%08X", {L"100% done %d", std::int32_t{-1}, std::uint32_t{31u}}, L"100% done %d: Registered Logging Handler 0xFFFFFFFF cannot be replaced with 0x0000001F"},
        {L"%s: Request to Unregister Logging handler 0x%08X, but none are registered", {L"\U0001f600 engine.js", std::uint32_t{183u}}, L"\U0001f600 engine.js: Request to Unregister Logging handler 0x000000B7, but none are registered"},
        {L"%u,%u,%u,%u", {std::uint32_t{1u}, std::uint32_t{0u}, std::uint32_t{123u}, std::uint32_t{0u}}, L"1,0,123,0"},
        {L"%u.%u.%u.%u", {std::uint32_t{1u}, std::uint32_t{0u}, std::uint32_t{123u}, std::uint32_t{0u}}, L"1.0.123.0"},
        {L"%y", {}, L"%y"},
        {L"'%hs' [%hs:0x%x]", {"bad allocation", "win32", std::uint32_t{4294967295u}}, L"'bad allocation' [win32:0xffffffff]"},
        {L"'%hs'", {"caf\xc3\xa9"}, L"'caf\u00e9'"},
        {L"'%ls' doesn't have expected exports", {L"lbconfig.ini"}, L"'lbconfig.ini' doesn't have expected exports"},
        {L"'%ls' is not signed by Corvane", {L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"'C:\\ProgramData\\Corvane\\Updater\\log.txt' is not signed by Corvane"},
        {L"<<exception>> '%hs': %ls", {"rk-av-trust.dll", L"https://updates.example.com/rk/manifest.xml"}, L"<<exception>> 'rk-av-trust.dll': https://updates.example.com/rk/manifest.xml"},
        {L"<<system_error>> %hs: '%ls'", {"", L"GET"}, L"<<system_error>> : 'GET'"},
        {L"A JavaScript exception occurred %s: %s", {L"caf\u00e9 \u4e2d\u6587", L"Brightscan_Release.exe"}, L"A JavaScript exception occurred caf\u00e9 \u4e2d\u6587: Brightscan_Release.exe"},
        {L"A JavaScript exception occurred while executing script %s - %s", {L"", L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"A JavaScript exception occurred while executing script  - HKLM\\SOFTWARE\\Corvane\\Analytics"},
        {L"ALEScriptHostImpl is stopping with %lld second delay", {std::int64_t{-1}}, L"ALEScriptHostImpl is stopping with -1 second delay"},
        {L"Application is already running - exiting error is: %u", {static_cast<std::int32_t>(0x80070005u)}, L"Application is already running - exiting error is: 2147942405"},
        {L"BSI XML Log: %s", {L"100% done %d"}, L"BSI XML Log: 100% done %d"},
        {L"Bad Alloc exception occured: %hs", {"invalid argument %s"}, L"Bad Alloc exception occured: invalid argument %s"},
        {L"CObfuscatedIniReader cannot load file: %s", {L"\U0001f600 engine.js"}, L"CObfuscatedIniReader cannot load file: \U0001f600 engine.js"},
        {L"Can't read version info for: %s", {L"lbconfig.ini"}, L"Can't read version info for: lbconfig.ini"},
        {L"Cannot create mutex. LastError - %u", {std::uint32_t{1234567u}}, L"Cannot create mutex. LastError - 1234567"},
        {L"Cannot set proxy for '%s' due to initialization failure", {L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"Cannot set proxy for 'C:\\ProgramData\\Corvane\\Updater\\log.txt' due to initialization failure"},
        {L"Cannot set variable '%s'='%s' due to initialization failure", {L"https://updates.example.com/rk/manifest.xml", L"GET"}, L"Cannot set variable 'https://updates.example.com/rk/manifest.xml'='GET' due to initialization failure"},
        {L"CloseHandle failed: %d", {std::uint32_t{4294967295u}}, L"CloseHandle failed: -1"},
        {L"Copy constructor called with unknown ScriptVariableType: %d", {std::int32_t{404}}, L"Copy constructor called with unknown ScriptVariableType: 404"},
        {L"Could not find file version for file: %s", {L"caf\u00e9 \u4e2d\u6587"}, L"Could not find file version for file: caf\u00e9 \u4e2d\u6587"},
        {L"Could not get function property, Failed due to: %s", {L"Brightscan_Release.exe"}, L"Could not get function property, Failed due to: Brightscan_Release.exe"},
        {L"Couldn't resolve place holder for: %s", {L""}, L"Couldn't resolve place holder for: "},
        {L"CreateDirectory for %s, result: %d", {L"HKLM\\SOFTWARE\\Corvane\\Analytics", std::int32_t{0}}, L"CreateDirectory for HKLM\\SOFTWARE\\Corvane\\Analytics, result: 0"},
        {L"CreateFile failed (%d)", {std::int32_t{INT32_MIN}}, L"CreateFile failed (-2147483648)"},
        {L"CreateFile failed: %d", {std::int64_t{4294967298}}, L"CreateFile failed: 2"},
        {L"CreateProcess failed: %s", {L"100% done %d"}, L"CreateProcess failed: 100% done %d"},
        {L"Data formed to track is: %s", {L"\U0001f600 engine.js"}, L"Data formed to track is: \U0001f600 engine.js"},
        {L"Datagram was truncated. Buffer length was %zd, but only %zd bytes were sent (%zd bytes lost).", {std::size_t{0u}, std::size_t{0xFFFFFFFFFFFFFFFFull}, std::size_t{512u}}, L"Datagram was truncated. Buffer length was 0, but only -1 bytes were sent (512 bytes lost)."},
        {L"Default catch: Exiting the Corvane Updater Module. Process ID: %u", {std::int32_t{-1}}, L"Default catch: Exiting the Corvane Updater Module. Process ID: 4294967295"},
        {L"Delay of %lld seconds was aborted due to an Execute failure on the no-op", {std::int64_t{30}}, L"Delay of 30 seconds was aborted due to an Execute failure on the no-op"},
        {L"Delay of %lld seconds was aborted due to failure to allocate an operation", {std::int64_t{-1}}, L"Delay of -1 seconds was aborted due to failure to allocate an operation"},
        {L"Delay of %lld seconds was aborted due to failure to retrieve an invoker", {std::int64_t{INT64_MIN}}, L"Delay of -9223372036854775808 seconds was aborted due to failure to retrieve an invoker"},
        {L"Deleted the destination directory: %s", {L"lbconfig.ini"}, L"Deleted the destination directory: lbconfig.ini"},
        {L"Domain %s is not present in download URL", {L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"Domain C:\\ProgramData\\Corvane\\Updater\\log.txt is not present in download URL"},
        {L"Domain %s is present in download URL", {L"https://updates.example.com/rk/manifest.xml"}, L"Domain https://updates.example.com/rk/manifest.xml is present in download URL"},
        {L"Error (%d) creating registry key: %s", {std::int32_t{87}, L"GET"}, L"Error (87) creating registry key: GET"},
        {L"Error (%d) setting value (%s) under registry key: %s", {std::uint32_t{5u}, L"caf\u00e9 \u4e2d\u6587", L"Brightscan_Release.exe"}, L"Error (5) setting value (caf\u00e9 \u4e2d\u6587) under registry key: Brightscan_Release.exe"},
        {L"Error during update interception: %S", {"RkCryptoLib.cpp"}, L"Error during update interception: RkCryptoLib.cpp"},
        {L"Error invoking entryPoint(%s) on dispatch object: 0x%08x", {L"trackEvent", std::int32_t{-2147352573}}, L"Error invoking entryPoint(trackEvent) on dispatch object: 0x80020003"},
        {L"Error retrieving directory %s", {L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"Error retrieving directory HKLM\\SOFTWARE\\Corvane\\Analytics"},
        {L"Error trying Encrypt (BCryptEncrypt): %ls", {L"100% done %d"}, L"Error trying Encrypt (BCryptEncrypt): 100% done %d"},
        {L"Error trying to BCryptGetProperty :: %ls", {L"\U0001f600 engine.js"}, L"Error trying to BCryptGetProperty :: \U0001f600 engine.js"},
        {L"Error trying to BCryptGetProperty::%ls : %ls", {L"lbconfig.ini", L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"Error trying to BCryptGetProperty::lbconfig.ini : C:\\ProgramData\\Corvane\\Updater\\log.txt"},
        {L"Error trying to get Key Object Size: %ls", {L"https://updates.example.com/rk/manifest.xml"}, L"Error trying to get Key Object Size: https://updates.example.com/rk/manifest.xml"},
        {L"Error trying to set the chaining mode (%s)", {L"GET"}, L"Error trying to set the chaining mode (GET)"},
        {L"Exception Occured and reason for exception is: %hs", {"bad allocation"}, L"Exception Occured and reason for exception is: bad allocation"},
        {L"Exception occured and error is: %hs", {"win32"}, L"Exception occured and error is: win32"},
        {L"Execute(%s) with %d parameters failed: exception is: %hs", {L"caf\u00e9 \u4e2d\u6587", std::int32_t{-1}, "caf\xc3\xa9"}, L"Execute(caf\u00e9 \u4e2d\u6587) with -1 parameters failed: exception is: caf\u00e9"},
        {L"Execute(%s) with %d parameters failed: unspecified exception was caught", {L"Brightscan_Release.exe", std::int32_t{2147483647}}, L"Execute(Brightscan_Release.exe) with 2147483647 parameters failed: unspecified exception was caught"},
        {L"Exit Code process failed: %s", {L""}, L"Exit Code process failed: "},
        {L"Failed In WinHttpSetOption for WINHTTP_OPTION_SECURE_PROTOCOLS with error %ld", {std::uint32_t{4294967295u}}, L"Failed In WinHttpSetOption for WINHTTP_OPTION_SECURE_PROTOCOLS with error -1"},
        {L"Failed To Download File: %s", {L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"Failed To Download File: HKLM\\SOFTWARE\\Corvane\\Analytics"},
        {L"Failed in WinHttpReceiveResponse with error %ld", {std::int32_t{404}}, L"Failed in WinHttpReceiveResponse with error 404"},
        {L"Failed in WinHttpSendRequest with error %ld", {std::int32_t{0}}, L"Failed in WinHttpSendRequest with error 0"},
        {L"Failed to CreateWindowEx: %d", {std::int32_t{INT32_MIN}}, L"Failed to CreateWindowEx: -2147483648"},
        {L"Failed to RegisterClassEx: %d", {std::int64_t{4294967298}}, L"Failed to RegisterClassEx: 2"},
        {L"Failed to Update. Error code: %d", {std::int32_t{87}}, L"Failed to Update. Error code: 87"},
        {L"Failed to add request headers: %s", {L"100% done %d"}, L"Failed to add request headers: 100% done %d"},
        {L"Failed to asynchronously load the bootstrap file '%s': Wait status is %d", {L"\U0001f600 engine.js", std::uint32_t{5u}}, L"Failed to asynchronously load the bootstrap file '\U0001f600 engine.js': Wait status is 5"},
        {L"Failed to asynchronously load the bootstrap script: Wait status is %d", {std::int32_t{-1}}, L"Failed to asynchronously load the bootstrap script: Wait status is -1"},
        {L"Failed to check exception status in JavaScript code: %s", {L"lbconfig.ini"}, L"Failed to check exception status in JavaScript code: lbconfig.ini"},
        {L"Failed to connect to URL: %s", {L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"Failed to connect to URL: C:\\ProgramData\\Corvane\\Updater\\log.txt"},
        {L"Failed to convert JavaScript object property '%s' to string: %s", {L"https://updates.example.com/rk/manifest.xml", L"GET"}, L"Failed to convert JavaScript object property 'https://updates.example.com/rk/manifest.xml' to string: GET"},
        {L"Failed to convert dictionary of %zd items into a JSON payload", {std::size_t{512u}}, L"Failed to convert dictionary of 512 items into a JSON payload"},
        {L"Failed to create JavaScript runtime context: %s", {L"caf\u00e9 \u4e2d\u6587"}, L"Failed to create JavaScript runtime context: caf\u00e9 \u4e2d\u6587"},
        {L"Failed to create JavaScript runtime: %s", {L"Brightscan_Release.exe"}, L"Failed to create JavaScript runtime: Brightscan_Release.exe"},
        {L"Failed to create internal object. Error %S", {"rk-av-trust.dll"}, L"Failed to create internal object. Error rk-av-trust.dll"},
        {L"Failed to delete executable (%d)", {std::int32_t{2147483647}}, L"Failed to delete executable (2147483647)"},
        {L"Failed to delete src cab (%d)", {std::uint32_t{4294967295u}}, L"Failed to delete src cab (-1)"},
        {L"Failed to execute main entry point '%s'", {L""}, L"Failed to execute main entry point ''"},
        {L"Failed to extract cab (%s)", {L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"Failed to extract cab (HKLM\\SOFTWARE\\Corvane\\Analytics)"},
        {L"Failed to get '%s' property from object: %s", {L"100% done %d", L"\U0001f600 engine.js"}, L"Failed to get '100% done %d' property from object: \U0001f600 engine.js"},
        {L"Failed to get and clear exception in JavaScript code: %s", {L"lbconfig.ini"}, L"Failed to get and clear exception in JavaScript code: lbconfig.ini"},
        {L"Failed to get global object when getting Invoker: %s", {L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"Failed to get global object when getting Invoker: C:\\ProgramData\\Corvane\\Updater\\log.txt"},
        {L"Failed to get process exit code (%d)", {std::int32_t{404}}, L"Failed to get process exit code (404)"},
        {L"Failed to get property ID for '%s': %s", {L"https://updates.example.com/rk/manifest.xml", L"GET"}, L"Failed to get property ID for 'https://updates.example.com/rk/manifest.xml': GET"},
        {L"Failed to impersonate logged on user: %hs", {""}, L"Failed to impersonate logged on user: "},
        {L"Failed to load bootstrap script file '%s'", {L"caf\u00e9 \u4e2d\u6587"}, L"Failed to load bootstrap script file 'caf\u00e9 \u4e2d\u6587'"},
        {L"Failed to load cab %s", {L"Brightscan_Release.exe"}, L"Failed to load cab Brightscan_Release.exe"},
        {L"Failed to load library %s. Error 0x%08X", {L"", std::uint32_t{183u}}, L"Failed to load library . Error 0x000000B7"},
        {L"Failed to load the bootstrap script file (null operation) '%s'", {L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"Failed to load the bootstrap script file (null operation) 'HKLM\\SOFTWARE\\Corvane\\Analytics'"},
        {L"Failed to open %s request to %s", {L"100% done %d", L"\U0001f600 engine.js"}, L"Failed to open 100% done %d request to \U0001f600 engine.js"},
        {L"Failed to open file '%hs' for writing", {"invalid argument %s"}, L"Failed to open file 'invalid argument %s' for writing"},
        {L"Failed to open key %s: %d", {L"lbconfig.ini", std::int32_t{0}}, L"Failed to open key lbconfig.ini: 0"},
        {L"Failed to open the file: %d\n", {std::int32_t{INT32_MIN}}, L"Failed to open the file: -2147483648\n"},
        {L"Failed to query all response headers from %s request to %s: error code 0x%08x", {L"C:\\ProgramData\\Corvane\\Updater\\log.txt", L"https://updates.example.com/rk/manifest.xml", std::uint32_t{0u}}, L"Failed to query all response headers from C:\\ProgramData\\Corvane\\Updater\\log.txt request to https://updates.example.com/rk/manifest.xml: error code 0x00000000"},
        {L"Failed to query key %s: %d", {L"GET", std::int64_t{4294967298}}, L"Failed to query key GET: 2"},
        {L"Failed to query length of all response headers from %s request to %s: error code 0x%08x", {L"caf\u00e9 \u4e2d\u6587", L"Brightscan_Release.exe", std::uint32_t{4294967295u}}, L"Failed to query length of all response headers from caf\u00e9 \u4e2d\u6587 request to Brightscan_Release.exe: error code 0xffffffff"},
        {L"Failed to query response data from %s request to %s", {L"", L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"Failed to query response data from  request to HKLM\\SOFTWARE\\Corvane\\Analytics"},
        {L"Failed to read response data from %s request to %s", {L"100% done %d", L"\U0001f600 engine.js"}, L"Failed to read response data from 100% done %d request to \U0001f600 engine.js"},
        {L"Failed to receive response from %s request to %s", {L"lbconfig.ini", L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"Failed to receive response from lbconfig.ini request to C:\\ProgramData\\Corvane\\Updater\\log.txt"},
        {L"Failed to send %s request to %s", {L"https://updates.example.com/rk/manifest.xml", L"GET"}, L"Failed to send https://updates.example.com/rk/manifest.xml request to GET"},
        {L"Failed to send datagram, Last Error: 0x%08X", {static_cast<std::int32_t>(0x80070005u)}, L"Failed to send datagram, Last Error: 0x80070005"},
        {L"Failed to set credentials for %s", {L"caf\u00e9 \u4e2d\u6587"}, L"Failed to set credentials for caf\u00e9 \u4e2d\u6587"},
        {L"Failed to set the server address to %hs", {"RkCryptoLib.cpp"}, L"Failed to set the server address to RkCryptoLib.cpp"},
        {L"Failed to store %s in %s", {L"Brightscan_Release.exe", L""}, L"Failed to store Brightscan_Release.exe in "},
        {L"Failed to validate Corvane signature on '%ls'; file was deleted", {L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"Failed to validate Corvane signature on 'HKLM\\SOFTWARE\\Corvane\\Analytics'; file was deleted"},
        {L"File already exists: %s", {L"100% done %d"}, L"File already exists: 100% done %d"},
        {L"Garbage collection failed: %s", {L"\U0001f600 engine.js"}, L"Garbage collection failed: \U0001f600 engine.js"},
        {L"GetAsSystemTime failed: %d", {std::int32_t{87}}, L"GetAsSystemTime failed: 87"},
        {L"GetEnvironmentVariable failed (%d)", {std::uint32_t{5u}}, L"GetEnvironmentVariable failed (5)"},
        {L"GetLongPathName failed (%d) for %s", {std::int32_t{-1}, L"lbconfig.ini"}, L"GetLongPathName failed (-1) for lbconfig.ini"},
        {L"GetModuleFileName failed (%d)", {std::int32_t{2147483647}}, L"GetModuleFileName failed (2147483647)"},
        {L"HTTP GET request failed (%d), url: %s", {std::uint32_t{4294967295u}, L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"HTTP GET request failed (-1), url: C:\\ProgramData\\Corvane\\Updater\\log.txt"},
        {L"HTTP add request headers failed (%d), url: %s", {std::int32_t{404}, L"https://updates.example.com/rk/manifest.xml"}, L"HTTP add request headers failed (404), url: https://updates.example.com/rk/manifest.xml"},
        {L"HTTP connection failed (%d), url: %s", {std::int32_t{0}, L"GET"}, L"HTTP connection failed (0), url: GET"},
        {L"HTTP query content length (%d), url: %s", {std::int32_t{INT32_MIN}, L"caf\u00e9 \u4e2d\u6587"}, L"HTTP query content length (-2147483648), url: caf\u00e9 \u4e2d\u6587"},
        {L"HTTP receive response failed (%d), url: %s", {std::int64_t{4294967298}, L"Brightscan_Release.exe"}, L"HTTP receive response failed (2), url: Brightscan_Release.exe"},
        {L"HTTP send request failed (%d), url: %s, ignore proxy flag %s", {std::int32_t{87}, L"", L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"HTTP send request failed (87), url: , ignore proxy flag HKLM\\SOFTWARE\\Corvane\\Analytics"},
        {L"HTTP send request failed (%d), url: %s, proxy ignore flag %s", {std::uint32_t{5u}, L"100% done %d", L"\U0001f600 engine.js"}, L"HTTP send request failed (5), url: 100% done %d, proxy ignore flag \U0001f600 engine.js"},
        {L"HTTP status (%d) error (%d), url: %s", {std::int32_t{-1}, std::int32_t{2147483647}, L"lbconfig.ini"}, L"HTTP status (-1) error (2147483647), url: lbconfig.ini"},
        {L"Host Initialization failed due to: %hs", {"bad allocation"}, L"Host Initialization failed due to: bad allocation"},
        {L"IDispatch error #%d", {std::uint32_t{4294967295u}}, L"IDispatch error #-1"},
        {L"Incorrect parameters: %d", {std::int32_t{404}}, L"Incorrect parameters: 404"},
        {L"Invalid Blob Type (0x%04X) specified", {std::uint32_t{1234567u}}, L"Invalid Blob Type (0x12D687) specified"},
        {L"Invalid IP Address Format: %hs", {"win32"}, L"Invalid IP Address Format: win32"},
        {L"Invalid Input: variable name(%s) or value(%s) is null", {L"C:\\ProgramData\\Corvane\\Updater\\log.txt", L"https://updates.example.com/rk/manifest.xml"}, L"Invalid Input: variable name(C:\\ProgramData\\Corvane\\Updater\\log.txt) or value(https://updates.example.com/rk/manifest.xml) is null"},
        {L"Invalid URL (could not be parsed): '%s'", {L"GET"}, L"Invalid URL (could not be parsed): 'GET'"},
        {L"Invalid comparison operator: %s", {L"caf\u00e9 \u4e2d\u6587"}, L"Invalid comparison operator: caf\u00e9 \u4e2d\u6587"},
        {L"Invalid log level: %d", {std::int32_t{0}}, L"Invalid log level: 0"},
        {L"Invalid log level: %s", {L"Brightscan_Release.exe"}, L"Invalid log level: Brightscan_Release.exe"},
        {L"Invalid type (%d) for options: Move operation will use defaults (%d)", {std::int32_t{INT32_MIN}, std::int64_t{4294967298}}, L"Invalid type (-2147483648) for options: Move operation will use defaults (2)"},
        {L"IsCorvaneSigned failed for : %s", {L""}, L"IsCorvaneSigned failed for : "},
        {L"Item type %d is disallowed in context store", {std::int32_t{87}}, L"Item type 87 is disallowed in context store"},
        {L"Iterator Reset Failed (0x%08X)", {std::int32_t{-1}}, L"Iterator Reset Failed (0xFFFFFFFF)"},
        {L"JsCallFunction Failed due to: %s", {L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"JsCallFunction Failed due to: HKLM\\SOFTWARE\\Corvane\\Analytics"},
        {L"Key was not found: %s", {L"100% done %d"}, L"Key was not found: 100% done %d"},
        {L"MoveFileEx(%s, %s, %02x) failed with code 0x%08x", {L"\U0001f600 engine.js", L"lbconfig.ini", std::uint32_t{31u}, std::uint32_t{183u}}, L"MoveFileEx(\U0001f600 engine.js, lbconfig.ini, 1f) failed with code 0x000000b7"},
        {L"No section found for %s", {L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"No section found for C:\\ProgramData\\Corvane\\Updater\\log.txt"},
        {L"No such property: '%s' (0x%08X)", {L"https://updates.example.com/rk/manifest.xml", std::uint32_t{0u}}, L"No such property: 'https://updates.example.com/rk/manifest.xml' (0x00000000)"},
        {L"No such setting: '%s'; ignored", {L"GET"}, L"No such setting: 'GET'; ignored"},
        {L"Not enough space in buffer: bufferLength(%d) Read(%d)", {std::uint32_t{5u}, std::int32_t{-1}}, L"Not enough space in buffer: bufferLength(5) Read(-1)"},
        {L"Object method not implemented: %s", {L"caf\u00e9 \u4e2d\u6587"}, L"Object method not implemented: caf\u00e9 \u4e2d\u6587"},
        {L"Overriding setting '%s': value '%s' will become '%s'", {L"Brightscan_Release.exe", L"", L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"Overriding setting 'Brightscan_Release.exe': value '' will become 'HKLM\\SOFTWARE\\Corvane\\Analytics'"},
        {L"Parsing script failed. Result: %x", {std::uint32_t{4294967295u}}, L"Parsing script failed. Result: ffffffff"},
        {L"Queuehandler is not initialized. Message '%s' will not be enqueued.", {L"100% done %d"}, L"Queuehandler is not initialized. Message '100% done %d' will not be enqueued."},
        {L"Required parameter '%ls' is missing", {L"\U0001f600 engine.js"}, L"Required parameter '\U0001f600 engine.js' is missing"},
        {L"Response code is: %s", {L"lbconfig.ini"}, L"Response code is: lbconfig.ini"},
        {L"Script errored at Line:%d Column:%d. Description: %s", {std::int32_t{2147483647}, std::uint32_t{4294967295u}, L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"Script errored at Line:2147483647 Column:-1. Description: C:\\ProgramData\\Corvane\\Updater\\log.txt"},
        {L"Script errored at unknown line/column. Description: %s\n\t%s", {L"https://updates.example.com/rk/manifest.xml", L"GET"}, L"Script errored at unknown line/column. Description: https://updates.example.com/rk/manifest.xml\n\tGET"},
        {L"Scriptable Execute(%s) with %d parameters failed: object is null", {L"caf\u00e9 \u4e2d\u6587", std::int32_t{404}}, L"Scriptable Execute(caf\u00e9 \u4e2d\u6587) with 404 parameters failed: object is null"},
        {L"Shutdown Delay (%lld ms) wait status is (%d)", {std::int64_t{9223372036854775807}, std::int32_t{0}}, L"Shutdown Delay (9223372036854775807 ms) wait status is (0)"},
        {L"Signature check failed for %s", {L"Brightscan_Release.exe"}, L"Signature check failed for Brightscan_Release.exe"},
        {L"Signature check failed for command %s", {L""}, L"Signature check failed for command "},
        {L"Successfully download the file at: %s", {L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"Successfully download the file at: HKLM\\SOFTWARE\\Corvane\\Analytics"},
        {L"Successfully formed download url is: %s", {L"100% done %d"}, L"Successfully formed download url is: 100% done %d"},
        {L"System Error exception occured: %hs", {"caf\xc3\xa9"}, L"System Error exception occured: caf\u00e9"},
        {L"System ticks until there will be more idle work for the runtime to do: %u", {static_cast<std::int32_t>(0x80070005u)}, L"System ticks until there will be more idle work for the runtime to do: 2147942405"},
        {L"TrackEvent called to track event: %us", {std::uint32_t{1234567u}}, L"TrackEvent called to track event: 1234567s"},
        {L"TrackEvent completed for event: %us", {std::int32_t{-1}}, L"TrackEvent completed for event: 4294967295s"},
        {L"TrackEvent failed to track event: %u", {std::uint32_t{31u}}, L"TrackEvent failed to track event: 31"},
        {L"Transmission to %s on method %s resulted in status code : %d", {L"\U0001f600 engine.js", L"lbconfig.ini", std::int32_t{INT32_MIN}}, L"Transmission to \U0001f600 engine.js on method lbconfig.ini resulted in status code : -2147483648"},
        {L"Unable to acquire execution context: %s", {L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"Unable to acquire execution context: C:\\ProgramData\\Corvane\\Updater\\log.txt"},
        {L"Unable to allocate %d bytes", {std::int64_t{4294967298}}, L"Unable to allocate 2 bytes"},
        {L"Unable to convert %s and %s to integers since the key does not exist", {L"https://updates.example.com/rk/manifest.xml", L"GET"}, L"Unable to convert https://updates.example.com/rk/manifest.xml and GET to integers since the key does not exist"},
        {L"Unable to convert %s and %s to integers", {L"caf\u00e9 \u4e2d\u6587", L"Brightscan_Release.exe"}, L"Unable to convert caf\u00e9 \u4e2d\u6587 and Brightscan_Release.exe to integers"},
        {L"Unable to convert %s and %s to integers, out of range", {L"", L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"Unable to convert  and HKLM\\SOFTWARE\\Corvane\\Analytics to integers, out of range"},
        {L"Unable to convert %s to an integer type", {L"100% done %d"}, L"Unable to convert 100% done %d to an integer type"},
        {L"Unable to convert %s to hex", {L"\U0001f600 engine.js"}, L"Unable to convert \U0001f600 engine.js to hex"},
        {L"Unable to convert XML to UTF-16: %s", {L"lbconfig.ini"}, L"Unable to convert XML to UTF-16: lbconfig.ini"},
        {L"Unable to convert string %s to bool", {L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"Unable to convert string C:\\ProgramData\\Corvane\\Updater\\log.txt to bool"},
        {L"Unable to create JavaScript error for C++ exception: %s", {L"https://updates.example.com/rk/manifest.xml"}, L"Unable to create JavaScript error for C++ exception: https://updates.example.com/rk/manifest.xml"},
        {L"Unable to create JavaScript string for exception message: %s", {L"GET"}, L"Unable to create JavaScript string for exception message: GET"},
        {L"Unable to create destination directory (%d)", {std::int32_t{87}}, L"Unable to create destination directory (87)"},
        {L"Unable to determine if process is running as a service: %hs", {"rk-av-trust.dll"}, L"Unable to determine if process is running as a service: rk-av-trust.dll"},
        {L"Unable to download %s", {L"caf\u00e9 \u4e2d\u6587"}, L"Unable to download caf\u00e9 \u4e2d\u6587"},
        {L"Unable to extract the filename from url (%s)", {L"Brightscan_Release.exe"}, L"Unable to extract the filename from url (Brightscan_Release.exe)"},
        {L"Unable to find item in context store. Name: %s", {L""}, L"Unable to find item in context store. Name: "},
        {L"Unable to find requested variable %s", {L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"Unable to find requested variable HKLM\\SOFTWARE\\Corvane\\Analytics"},
        {L"Unable to get file version data for file: %s", {L"100% done %d"}, L"Unable to get file version data for file: 100% done %d"},
        {L"Unable to get file version info for file: %s", {L"\U0001f600 engine.js"}, L"Unable to get file version info for file: \U0001f600 engine.js"},
        {L"Unable to get temp directory path. Error: %hs", {""}, L"Unable to get temp directory path. Error: "},
        {L"Unable to get type of object or object is non-JsObject: %s", {L"lbconfig.ini"}, L"Unable to get type of object or object is non-JsObject: lbconfig.ini"},
        {L"Unable to get type of value: %s", {L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"Unable to get type of value: C:\\ProgramData\\Corvane\\Updater\\log.txt"},
        {L"Unable to open regKey %s", {L"https://updates.example.com/rk/manifest.xml"}, L"Unable to open regKey https://updates.example.com/rk/manifest.xml"},
        {L"Unable to parse XML: %hs", {"invalid argument %s"}, L"Unable to parse XML: invalid argument %s"},
        {L"Unable to parse content range '%ls' from server", {L"GET"}, L"Unable to parse content range 'GET' from server"},
        {L"Unable to read the ini value, key: %s", {L"caf\u00e9 \u4e2d\u6587"}, L"Unable to read the ini value, key: caf\u00e9 \u4e2d\u6587"},
        {L"Unable to rename the old file (%d): %s", {std::uint32_t{5u}, L"Brightscan_Release.exe"}, L"Unable to rename the old file (5): Brightscan_Release.exe"},
        {L"Unable to run %s, error (%d)", {L"", std::int32_t{-1}}, L"Unable to run , error (-1)"},
        {L"Unable to set proxy option, error: %d", {std::int32_t{2147483647}}, L"Unable to set proxy option, error: 2147483647"},
        {L"Unable to start debugging; check to ensure that CoInitializeEx(COINIT_MULTITHREADED) or CoInitializeEx(COINIT_APARTMENTTHREADED) has been called on the current thread: %s", {L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"Unable to start debugging; check to ensure that CoInitializeEx(COINIT_MULTITHREADED) or CoInitializeEx(COINIT_APARTMENTTHREADED) has been called on the current thread: HKLM\\SOFTWARE\\Corvane\\Analytics"},
        {L"Unable to verify MD5, deleting file: %s", {L"100% done %d"}, L"Unable to verify MD5, deleting file: 100% done %d"},
        {L"Unable to verify signature for file: %s", {L"\U0001f600 engine.js"}, L"Unable to verify signature for file: \U0001f600 engine.js"},
        {L"Unable to verify signature, deleting file: %s", {L"lbconfig.ini"}, L"Unable to verify signature, deleting file: lbconfig.ini"},
        {L"Unknown LogType: %d", {std::uint32_t{4294967295u}}, L"Unknown LogType: -1"},
        {L"Unknown Move flag '%s' was ignored", {L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"Unknown Move flag 'C:\\ProgramData\\Corvane\\Updater\\log.txt' was ignored"},
        {L"Unknown ScriptVariableType: %d", {std::int32_t{404}}, L"Unknown ScriptVariableType: 404"},
        {L"Unknown comparison operator: %s", {L"https://updates.example.com/rk/manifest.xml"}, L"Unknown comparison operator: https://updates.example.com/rk/manifest.xml"},
        {L"Unknown error 0x%0lX", {std::int32_t{-2147352567}}, L"Unknown error 0x80020009"},
        {L"Unknown folder identifier: %s", {L"GET"}, L"Unknown folder identifier: GET"},
        {L"Unknown record status: %d", {std::int32_t{0}}, L"Unknown record status: 0"},
        {L"Unknown registry key type: %s", {L"caf\u00e9 \u4e2d\u6587"}, L"Unknown registry key type: caf\u00e9 \u4e2d\u6587"},
        {L"VerQueryValue failed for file: %s", {L"Brightscan_Release.exe"}, L"VerQueryValue failed for file: Brightscan_Release.exe"},
        {L"Wait for process failed for command %s", {L""}, L"Wait for process failed for command "},
        {L"WinHttp: Failed to set %ls request header", {L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"WinHttp: Failed to set HKLM\\SOFTWARE\\Corvane\\Analytics request header"},
        {L"WinHttpCrackUrl failed (%d), url: %s", {std::int32_t{INT32_MIN}, L"100% done %d"}, L"WinHttpCrackUrl failed (-2147483648), url: 100% done %d"},
        {L"WriteFile failed (%d)", {std::int64_t{4294967298}}, L"WriteFile failed (2)"},
        {L"WriteFile failed: %d", {std::int32_t{87}}, L"WriteFile failed: 87"},
        {L"XML command (%s) failed", {L"\U0001f600 engine.js"}, L"XML command (\U0001f600 engine.js) failed"},
        {L"Xml Update failed, error: %d", {std::uint32_t{5u}}, L"Xml Update failed, error: 5"},
        {L"[%S:(%d)][%S] %s: ", {"RkCryptoLib.cpp", std::int32_t{-1}, "bad allocation", L"lbconfig.ini"}, L"[RkCryptoLib.cpp:(-1)][bad allocation] lbconfig.ini: "},
        {L"[%S:(%d)][%S] Failed to create hash traits.", {"win32", std::int32_t{2147483647}, "caf\xc3\xa9"}, L"[win32:(2147483647)][caf\u00e9] Failed to create hash traits."},
        {L"[%hs:0x%x] %ls (%hs)%ls", {"rk-av-trust.dll", std::uint32_t{0u}, L"C:\\ProgramData\\Corvane\\Updater\\log.txt", "", L"https://updates.example.com/rk/manifest.xml"}, L"[rk-av-trust.dll:0x0] C:\\ProgramData\\Corvane\\Updater\\log.txt ()https://updates.example.com/rk/manifest.xml"},
        {L"[%hs] (+ %d) %hs", {"invalid argument %s", std::uint32_t{4294967295u}, "RkCryptoLib.cpp"}, L"[invalid argument %s] (+ -1) RkCryptoLib.cpp"},
        {L"[%hs] (- %d) %hs [perf] %lldms target: '%.*ls', content version: %llu, final_result: %#llx %hs", {"bad allocation", std::int32_t{404}, "win32", std::int64_t{30}, std::int32_t{7}, L"caf\u00e9 \u4e2d\u6587|tail", std::uint64_t{0xFFFFFFFFFFFFFFFFull}, std::uint64_t{0x8000000000004005ull}, "caf\xc3\xa9"}, L"[bad allocation] (- 404) win32 [perf] 30ms target: 'caf\u00e9 \u4e2d\u6587', content version: 18446744073709551615, final_result: 0x8000000000004005 caf\u00e9"},
        {L"[%hs] (- %d) %hs [perf] %lldms", {"rk-av-trust.dll", std::int32_t{0}, "", std::int64_t{-1}}, L"[rk-av-trust.dll] (- 0)  [perf] -1ms"},
        {L"[%ls] %ls", {L"GET", L"caf\u00e9 \u4e2d\u6587"}, L"[GET] caf\u00e9 \u4e2d\u6587"},
        {L"[%ls][%hs:0x%x] %ls (%hs)%ls", {L"Brightscan_Release.exe", "invalid argument %s", std::uint32_t{4294967295u}, L"", "RkCryptoLib.cpp", L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"[Brightscan_Release.exe][invalid argument %s:0xffffffff]  (RkCryptoLib.cpp)HKLM\\SOFTWARE\\Corvane\\Analytics"},
        {L"[%s()]$", {L"100% done %d"}, L"[100% done %d()]$"},
        {L"[%s:%5d]$", {L"process_logger.cpp", std::int32_t{118}}, L"[process_logger.cpp:  118]$"},
        {L"[%s]$", {L"lbconfig.ini"}, L"[lbconfig.ini]$"},
        {L"[PID:%5lu TID:%5lu]$", {std::uint32_t{4242u}, std::uint32_t{1234567u}}, L"[PID: 4242 TID:1234567]$"},
        {L"[console] %s\n", {L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"[console] C:\\ProgramData\\Corvane\\Updater\\log.txt\n"},
        {L"[framework] failed to process all work; re-enqueing %zu items", {std::size_t{0x100000000ull}}, L"[framework] failed to process all work; re-enqueing 4294967296 items"},
        {L"[framework] notifying setting changed '%.*ls' = '%.*ls'", {std::int32_t{22}, std::wstring_view(L"Brightscan_Release.exe", 22), std::int32_t{0}, L"|tail"}, L"[framework] notifying setting changed 'Brightscan_Release.exe' = ''"},
        {L"[framework] notifying system event '%ls' = '%d'", {L"https://updates.example.com/rk/manifest.xml", std::int64_t{4294967298}}, L"[framework] notifying system event 'https://updates.example.com/rk/manifest.xml' = '2'"},
        {L"[framework] processing remaining work before stopping (%zu items)", {std::size_t{3u}}, L"[framework] processing remaining work before stopping (3 items)"},
        {L"[framework] received msg '%.*ls' : '%.*ls'", {std::int32_t{31}, std::wstring_view(L"HKLM\\SOFTWARE\\Corvane\\Analytics", 31), std::int32_t{0}, L"100% done %d|tail"}, L"[framework] received msg 'HKLM\\SOFTWARE\\Corvane\\Analytics' : ''"},
        {L"[framework] registering for setting change (%zu/%zu) to '%.*ls'", {std::size_t{12u}, std::size_t{0u}, std::int32_t{7}, std::wstring_view(L"lbconfig.ini", 12)}, L"[framework] registering for setting change (12/0) to 'lbconfi'"},
        {L"[framework] registering for setting changes (%zu)", {std::size_t{0x100000000ull}}, L"[framework] registering for setting changes (4294967296)"},
        {L"[framework] started external client = 0x%llx", {std::uint64_t{0u}}, L"[framework] started external client = 0x0"},
        {L"[trust] '%.*ls' = v %llu, current = v %llu -- continue", {std::int32_t{38}, L"C:\\ProgramData\\Corvane\\Updater\\log.txt|tail", std::uint64_t{20260131u}, std::uint64_t{42u}}, L"[trust] 'C:\\ProgramData\\Corvane\\Updater\\log.txt' = v 20260131, current = v 42 -- continue"},
        {L"[trust] '%.*ls' cert %u/%zu: '%ls', type: %#x, flags: %#llx %hs", {std::int32_t{4}, std::wstring_view(L"https://updates.example.com/rk/manifest.xml", 43), std::int32_t{-1}, std::size_t{0x100000000ull}, L"GET", std::uint32_t{31u}, std::uint64_t{0x8000000000004005ull}, "bad allocation"}, L"[trust] 'http' cert 4294967295/4294967296: 'GET', type: 0x1f, flags: 0x8000000000004005 bad allocation"},
        {L"[trust] '%.*ls' not signed by corvane -- continue", {std::int32_t{3}, L"GET|tail"}, L"[trust] 'GET' not signed by corvane -- continue"},
        {L"[trust] (cached valued) '%.*ls' 0x%llx %hs", {std::int32_t{0}, std::wstring_view(L"caf\u00e9 \u4e2d\u6587", 7), std::uint64_t{0u}, "win32"}, L"[trust] (cached valued) '' 0x0 win32"},
        {L"[trust] checking content folder: '%ls'", {L"caf\u00e9 \u4e2d\u6587"}, L"[trust] checking content folder: 'caf\u00e9 \u4e2d\u6587'"},
        {L"[trust] didn't find content in '%.*ls' -- continue", {std::int32_t{7}, L"Brightscan_Release.exe|tail"}, L"[trust] didn't find content in 'Brights' -- continue"},
        {L"[trust] ignore file '%ls' (%zu/%zu) in '%.*ls'", {L"Brightscan_Release.exe", std::size_t{0u}, std::size_t{0x100000000ull}, std::int32_t{0}, std::wstring_view(L"", 0)}, L"[trust] ignore file 'Brightscan_Release.exe' (0/4294967296) in ''"},
        {L"[trust] latest content version folder: '%ls'", {L""}, L"[trust] latest content version folder: ''"},
        {L"[trust] looking for trust content in: '%ls'", {L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"[trust] looking for trust content in: 'HKLM\\SOFTWARE\\Corvane\\Analytics'"},
        {L"[trust] parsed content version %llu from file '%ls' (%zu/%zu) in '%.*ls'", {std::uint64_t{0xFFFFFFFFFFFFFFFFull}, L"100% done %d", std::size_t{12u}, std::size_t{0u}, std::int32_t{4}, L"HKLM\\SOFTWARE\\Corvane\\Analytics|tail"}, L"[trust] parsed content version 18446744073709551615 from file '100% done %d' (12/0) in 'HKLM'"},
        {L"[trust] read %zu file(s) from '%.*ls'", {std::size_t{0x100000000ull}, std::int32_t{12}, std::wstring_view(L"100% done %d", 12)}, L"[trust] read 4294967296 file(s) from '100% done %d'"},
        {L"[trust] skip non-directory item: '%ls'", {L"\U0001f600 engine.js"}, L"[trust] skip non-directory item: '\U0001f600 engine.js'"},
        {L"[trust] skip validating '%ls': host is ppl", {L"lbconfig.ini"}, L"[trust] skip validating 'lbconfig.ini': host is ppl"},
        {L"[trust] skip validating '%ls': test mode is enabled", {L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"[trust] skip validating 'C:\\ProgramData\\Corvane\\Updater\\log.txt': test mode is enabled"},
        {L"[trust] trust dll classified '%.*ls' is signed by Corvane", {std::int32_t{0}, L"lbconfig.ini|tail"}, L"[trust] trust dll classified '' is signed by Corvane"},
        {L"[trust] update cache by invoking 'av.cache.set' with payload '%ls', hr: %#lx, result: %lu", {L"{\"path\":\"C:\\\\x.exe\"}", std::int32_t{0}, std::uint32_t{1u}}, L"[trust] update cache by invoking 'av.cache.set' with payload '{\"path\":\"C:\\\\x.exe\"}', hr: 0, result: 1"},
        {L"[trust] validated '%.*ls' using dll, error: %d, flags: %llu [%hs]", {std::int32_t{7}, std::wstring_view(L"C:\\ProgramData\\Corvane\\Updater\\log.txt", 38), std::int32_t{87}, std::uint64_t{42u}, "caf\xc3\xa9"}, L"[trust] validated 'C:\\Prog' using dll, error: 87, flags: 42 [caf\u00e9]"},
        {L"[trust] validated '%.*ls' using lib, result: %llu [%hs]", {std::int32_t{43}, L"https://updates.example.com/rk/manifest.xml|tail", std::uint64_t{0xFFFFFFFFFFFFFFFFull}, "rk-av-trust.dll"}, L"[trust] validated 'https://updates.example.com/rk/manifest.xml' using lib, result: 18446744073709551615 [rk-av-trust.dll]"},
        {L"[trust] validated cab '%.*ls', result: %llu %hs, signed_by_corvane: %d", {std::int32_t{3}, std::wstring_view(L"GET", 3), std::uint64_t{0x8000000000004005ull}, "", std::uint32_t{5u}}, L"[trust] validated cab 'GET', result: 9223372036854792197 , signed_by_corvane: 5"},
        {L"\\StringFileInfo\\%04x%04x\\FileVersion", {std::uint16_t{1033u}, std::uint16_t{1200u}}, L"\\StringFileInfo\\040904b0\\FileVersion"},
        {L"\n[%d] '%.*hs'='%ls'", {std::int32_t{-1}, std::int32_t{3}, std::string_view("rk-av-trust.dll", 15), L"GET"}, L"\n[-1] 'rk-'='GET'"},
        {L"\r\n%u\tFile:%s\tFunction:%s\tLine:%d\t", {std::uint32_t{1234567u}, L"caf\u00e9 \u4e2d\u6587", L"Brightscan_Release.exe", std::int32_t{2147483647}}, L"\r\n1234567\tFile:caf\u00e9 \u4e2d\u6587\tFunction:Brightscan_Release.exe\tLine:2147483647\t"},
        {L"command (%s) already exists", {L""}, L"command () already exists"},
        {L"command (%s) doesn't exist or is invalid", {L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"command (HKLM\\SOFTWARE\\Corvane\\Analytics) doesn't exist or is invalid"},
        {L"didn't find any content from '%.*ls'", {std::int32_t{7}, L"caf\u00e9 \u4e2d\u6587|tail"}, L"didn't find any content from 'caf\u00e9 \u4e2d\u6587'"},
        {L"failed load '%ls'", {L"100% done %d"}, L"failed load '100% done %d'"},
        {L"failed to convert date element(s) to int: year = %s, month = %s, day = %s", {L"\U0001f600 engine.js", L"lbconfig.ini", L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"failed to convert date element(s) to int: year = \U0001f600 engine.js, month = lbconfig.ini, day = C:\\ProgramData\\Corvane\\Updater\\log.txt"},
        {L"failed to convert epoch date: %s", {L"https://updates.example.com/rk/manifest.xml"}, L"failed to convert epoch date: https://updates.example.com/rk/manifest.xml"},
        {L"failed to determine if '%ls' is a directory", {L"GET"}, L"failed to determine if 'GET' is a directory"},
        {L"failed to get exported function '%hs'", {"invalid argument %s"}, L"failed to get exported function 'invalid argument %s'"},
        {L"failed to get file size: %d", {std::uint32_t{4294967295u}}, L"failed to get file size: -1"},
        {L"failed to get journal info for '%.*ls' (0x%p)", {std::int32_t{0}, std::wstring_view(L"Brightscan_Release.exe", 22), ptr(0x7FF6A1B20000)}, L"failed to get journal info for '' (0x00007FF6A1B20000)"},
        {L"failed to get signatures of '%.*ls'", {std::int32_t{0}, L"|tail"}, L"failed to get signatures of ''"},
        {L"failed to open file: %s with error code %d", {L"caf\u00e9 \u4e2d\u6587", std::int32_t{404}}, L"failed to open file: caf\u00e9 \u4e2d\u6587 with error code 404"},
        {L"failed to parse content from file '%ls' (%zu/%zu) in '%.*ls'", {L"Brightscan_Release.exe", std::size_t{0x100000000ull}, std::size_t{3u}, std::int32_t{31}, std::wstring_view(L"HKLM\\SOFTWARE\\Corvane\\Analytics", 31)}, L"failed to parse content from file 'Brightscan_Release.exe' (4294967296/3) in 'HKLM\\SOFTWARE\\Corvane\\Analytics'"},
        {L"failed to parse date from name: %s", {L""}, L"failed to parse date from name: "},
        {L"failed to parse date from value: %s", {L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"failed to parse date from value: HKLM\\SOFTWARE\\Corvane\\Analytics"},
        {L"failed to parse day: %s", {L"100% done %d"}, L"failed to parse day: 100% done %d"},
        {L"failed to parse month: %s", {L"\U0001f600 engine.js"}, L"failed to parse month: \U0001f600 engine.js"},
        {L"failed to parse year: %s", {L"lbconfig.ini"}, L"failed to parse year: lbconfig.ini"},
        {L"failed to read file: %d", {std::int32_t{0}}, L"failed to read file: 0"},
        {L"failed to read the file: %d", {std::int32_t{INT32_MIN}}, L"failed to read the file: -2147483648"},
        {L"failed to validate '%.*ls' with lib", {std::int32_t{4}, L"100% done %d|tail"}, L"failed to validate '100%' with lib"},
        {L"failed to validate '%ls'", {L"C:\\ProgramData\\Corvane\\Updater\\log.txt"}, L"failed to validate 'C:\\ProgramData\\Corvane\\Updater\\log.txt'"},
        {L"ignoring folder: '%ls' that is not in the correct format", {L"https://updates.example.com/rk/manifest.xml"}, L"ignoring folder: 'https://updates.example.com/rk/manifest.xml' that is not in the correct format"},
        {L"invalid hash size: %d", {std::int64_t{4294967298}}, L"invalid hash size: 2"},
        {L"invalid type: %d", {std::int32_t{87}}, L"invalid type: 87"},
        {L"invoke_rpc failed for: '%.*ls'", {std::int32_t{12}, std::wstring_view(L"lbconfig.ini", 12)}, L"invoke_rpc failed for: 'lbconfig.ini'"},
        {L"no content at '%ls'", {L"GET"}, L"no content at 'GET'"},
        {L"precondition (%s) doesn't exist or is invalid", {L"caf\u00e9 \u4e2d\u6587"}, L"precondition (caf\u00e9 \u4e2d\u6587) doesn't exist or is invalid"},
        {L"proxy data for xmlUpdater, fAutoDetect: %ld, lpszAutoConfigUrl: %ls, lpszProxy: %ls, lpszProxyBypass: %ls", {std::uint32_t{5u}, L"Brightscan_Release.exe", L"", L"HKLM\\SOFTWARE\\Corvane\\Analytics"}, L"proxy data for xmlUpdater, fAutoDetect: 5, lpszAutoConfigUrl: Brightscan_Release.exe, lpszProxy: , lpszProxyBypass: HKLM\\SOFTWARE\\Corvane\\Analytics"},
        {L"regex: matching %S against %S => Matched", {"RkCryptoLib.cpp", "bad allocation"}, L"regex: matching RkCryptoLib.cpp against bad allocation => Matched"},
        {L"regex: matching %S against %S => Not Matched", {"win32", "caf\xc3\xa9"}, L"regex: matching win32 against caf\u00e9 => Not Matched"},
        {L"regex: matching %S against %S", {"rk-av-trust.dll", ""}, L"regex: matching rk-av-trust.dll against "},
        {L"regex: pcre_compile error; offset: %d, %S", {std::int32_t{-1}, "invalid argument %s"}, L"regex: pcre_compile error; offset: -1, invalid argument %s"},
        {L"regex: pcre_exec error: %d", {std::int32_t{2147483647}}, L"regex: pcre_exec error: 2147483647"},
        {L"remote %hs failed", {"RkCryptoLib.cpp"}, L"remote RkCryptoLib.cpp failed"},
        {L"remote %hs timed out", {"bad allocation"}, L"remote bad allocation timed out"},
        {L"std::exception caught: %S", {"win32"}, L"std::exception caught: win32"},
        {L"system event does not contain %.*ls", {std::int32_t{0}, L"C:\\ProgramData\\Corvane\\Updater\\log.txt|tail"}, L"system event does not contain "},
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

TEST(FormatMessages, TableHoldsEveryDocumentedText) {
    std::set<std::wstring> table;
    for (const auto& c : message_cases()) {
        EXPECT_TRUE(table.insert(std::wstring(c.format)).second) << trace_of(c.format) << " is listed twice";
    }
    std::ifstream in(RK_TEXT_TESTDATA "/logged_formats.txt");
    ASSERT_TRUE(in) << "testdata/text/logged_formats.txt is missing";
    std::size_t seen = 0;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        ++seen;
        EXPECT_TRUE(table.count(utf8_to_wide(unescape(line)))) << "\"" << line << "\" has no row";
    }
    EXPECT_EQ(seen, 315u);
}

}  // namespace
}  // namespace rk::text
