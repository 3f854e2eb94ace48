// Child of the download tests: downloads argv[1] into argv[2] trusting the CA
// file argv[3], so a test can kill a download in the middle.
#include "platform/system/download/url_download.h"
#include "platform/text/utf.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        return 2;
    }
    rk::sys::DownloadOptions options;
    options.proxy.access = rk::sys::http::AccessType::kNoProxy;
    options.ca_file = argv[3];
    return rk::sys::download_url_to_file(rk::text::utf8_to_wide(argv[1]), rk::text::utf8_to_wide(argv[2]), options) == 0
               ? 0
               : 1;
}
