// Proxy data of the engine: the settings CUpdater keeps (filled by
// SetProxySettings) and the WinHTTP structure its callers pass in and get
// back. Strings of WINHTTP_CURRENT_USER_IE_PROXY_CONFIG are allocated with
// GlobalAllocString and released with GlobalFreeString, as WinHTTP's are
// with GlobalAlloc/GlobalFree.
#pragma once

#include <optional>
#include <string>

namespace XMLUpdater::v2 {

struct WINHTTP_CURRENT_USER_IE_PROXY_CONFIG {
    bool fAutoDetect = false;
    wchar_t* lpszAutoConfigUrl = nullptr;
    wchar_t* lpszProxy = nullptr;
    wchar_t* lpszProxyBypass = nullptr;
};

wchar_t* GlobalAllocString(const std::wstring& text);
void GlobalFreeString(wchar_t* text);

struct ProxySettings {
    std::optional<std::wstring> proxy;
    std::optional<std::wstring> bypass;
    std::optional<std::wstring> auto_config_url;
    bool auto_detect = false;
    bool use_auto_config_url = false;
    bool use_settings = false;
};

}  // namespace XMLUpdater::v2
