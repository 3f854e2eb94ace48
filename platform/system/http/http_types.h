// Options, flags and protocol words of the HTTP capability. Flag values are
// those of winhttp.h so a Win32 backend can pass them through unchanged.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/errors/win_error.h"

namespace rk::sys::http {

// WINHTTP_FLAG_SECURE_PROTOCOL_*: the protocol versions a session may use.
inline constexpr DWORD kSecureProtocolSsl2 = 0x00000008;
inline constexpr DWORD kSecureProtocolSsl3 = 0x00000020;
inline constexpr DWORD kSecureProtocolTls1 = 0x00000080;
inline constexpr DWORD kSecureProtocolTls1_1 = 0x00000200;
inline constexpr DWORD kSecureProtocolTls1_2 = 0x00000800;
inline constexpr DWORD kSecureProtocolTls1_3 = 0x00002000;
inline constexpr DWORD kSecureProtocolAllKnown = kSecureProtocolSsl2 | kSecureProtocolSsl3 | kSecureProtocolTls1 |
                                                 kSecureProtocolTls1_1 | kSecureProtocolTls1_2 |
                                                 kSecureProtocolTls1_3;
// SSL 3.0 through TLS 1.2, the set the manifest client asks for.
inline constexpr DWORD kSecureProtocolsSsl3ToTls1_2 = 0xAA0;
// What a session uses until told otherwise.
inline constexpr DWORD kSecureProtocolsDefault = kSecureProtocolTls1_2 | kSecureProtocolTls1_3;

// SECURITY_FLAG_IGNORE_*: certificate errors a request accepts.
inline constexpr DWORD kSecurityFlagIgnoreUnknownCa = 0x00000100;
inline constexpr DWORD kSecurityFlagIgnoreCertWrongUsage = 0x00000200;
inline constexpr DWORD kSecurityFlagIgnoreCertCnInvalid = 0x00001000;
inline constexpr DWORD kSecurityFlagIgnoreCertDateInvalid = 0x00002000;
// Unknown authority, bad date and name mismatch: 0x3100.
inline constexpr DWORD kSecurityFlagsIgnoreCertErrors =
    kSecurityFlagIgnoreUnknownCa | kSecurityFlagIgnoreCertCnInvalid | kSecurityFlagIgnoreCertDateInvalid;

// WINHTTP_ADDREQ_FLAG_*: how add_headers() treats a header that is present.
inline constexpr DWORD kAddReqFlagAdd = 0x20000000;
inline constexpr DWORD kAddReqFlagAddIfNew = 0x10000000;
inline constexpr DWORD kAddReqFlagCoalesceWithComma = 0x40000000;
inline constexpr DWORD kAddReqFlagCoalesceWithSemicolon = 0x01000000;
inline constexpr DWORD kAddReqFlagReplace = 0x80000000;

// WINHTTP_AUTH_SCHEME_*: set_credentials() schemes.
inline constexpr DWORD kAuthSchemeBasic = 0x00000001;
inline constexpr DWORD kAuthSchemeNtlm = 0x00000002;
inline constexpr DWORD kAuthSchemePassport = 0x00000004;
inline constexpr DWORD kAuthSchemeDigest = 0x00000008;
inline constexpr DWORD kAuthSchemeNegotiate = 0x00000010;

// ERROR_WINHTTP_HEADER_ALREADY_EXISTS (add with kAddReqFlagAddIfNew).
inline constexpr DWORD kWinHttpErrorHeaderAlreadyExists = 12155;

inline constexpr unsigned kDefaultHttpPort = 80;
inline constexpr unsigned kDefaultHttpsPort = 443;

inline constexpr std::wstring_view kSchemeHttp = L"http";
inline constexpr std::wstring_view kSchemeHttps = L"https";

inline constexpr std::wstring_view kVerbGet = L"GET";
inline constexpr std::wstring_view kVerbHead = L"HEAD";
inline constexpr std::wstring_view kVerbPost = L"POST";

inline constexpr std::wstring_view kHeaderContentLength = L"Content-Length";
inline constexpr std::wstring_view kHeaderContentRange = L"Content-Range";
inline constexpr std::wstring_view kHeaderRange = L"Range";
inline constexpr std::wstring_view kHeaderLocation = L"Location";

// WINHTTP_ACCESS_TYPE_*.
enum class AccessType {
    kDefaultProxy,  // the current user's configuration (proxy_config.h)
    kNoProxy,       // always direct
    kNamedProxy,    // the proxy and bypass lists below
};

// Proxy lists in WinHTTP's notation: `proxy` holds entries
// "[scheme=][scheme://]host[:port]" separated by ';' or blanks; `bypass`
// holds host patterns ("*.example.com", "10.*", "<local>") separated by ';'
// or blanks.
struct ProxySettings {
    AccessType access = AccessType::kDefaultProxy;
    std::wstring proxy;
    std::wstring bypass;
};

// WinHttpSetTimeouts, in milliseconds; 0 or a negative value means no limit.
// Resolve and connect are one phase for the transport: their sum limits it
// (an unlimited connect makes the whole phase unlimited). Send limits the
// pause between bytes written while the request goes out, receive the pause
// between bytes read while waiting for and reading the response.
struct Timeouts {
    int resolve_ms = 0;
    int connect_ms = 60000;
    int send_ms = 30000;
    int receive_ms = 30000;
};

struct SessionOptions {
    std::wstring user_agent;
    ProxySettings proxy;
    Timeouts timeouts;
    // kSecureProtocol* bits; see SessionImpl for how they become a range.
    DWORD secure_protocols = kSecureProtocolsDefault;
    // Trust anchors for certificate checks (PEM); empty: the system store.
    std::filesystem::path ca_file;
    // Body bytes a request holds for the caller before the transfer pauses.
    std::size_t body_buffer_limit = 1024 * 1024;
};

}  // namespace rk::sys::http
