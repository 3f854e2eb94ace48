// libcurl is loaded when the first HTTP session opens, not when a program
// starts: it pulls some twenty-five libraries (TLS, Kerberos, LDAP, SSH,
// ...) whose loading and relocation cost every program start-up tens of
// milliseconds and megabytes of mapped pages, although most runs of most
// programs never make a request.
//
// The programs do not link libcurl. curl_library.cpp defines the libcurl
// functions this capability calls (the same names and signatures, C linkage)
// as forwarders into the library, opened with dlopen("libcurl.so.4") on
// first use; the call sites are plain libcurl code. A function the
// capability starts to call must be added there (the link fails otherwise).
#pragma once

namespace rk::sys::http {

// Opens libcurl unless it is open; false when it cannot be loaded.
bool load_curl_library();

// Closes libcurl (and the libraries it pulled in) after
// curl_global_cleanup, when no libcurl object is left; the next
// load_curl_library opens it again.
void unload_curl_library();

}  // namespace rk::sys::http
