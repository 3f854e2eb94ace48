#include "xml_updater/background_md5.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace XMLUpdater::v2 {
namespace {

// Known digests (RFC 1321 and the million-'a' vector), the input handed
// over in pieces that do and do not line up with the worker's buffers.
TEST(BackgroundMd5, DigestsTheWholeStreamInOrderWhateverThePieces) {
    const std::string million(1000000, 'a');
    const struct {
        std::string input;
        std::size_t piece;
        std::wstring digest;
    } cases[] = {
        {"", 1, L"d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", 1, L"900150983cd24fb0d6963f7d28e17f72"},
        {million, 1000000, L"7707d6ae4e027c70eea2a935c2296f21"},
        {million, 7, L"7707d6ae4e027c70eea2a935c2296f21"},
        {million, 65536, L"7707d6ae4e027c70eea2a935c2296f21"},
        {million, 262144, L"7707d6ae4e027c70eea2a935c2296f21"},
        {million, 300001, L"7707d6ae4e027c70eea2a935c2296f21"},
    };
    BackgroundMd5 md5;  // one object for all: Final starts it over
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.input.size()) + " bytes in pieces of " + std::to_string(c.piece));
        const auto* data = reinterpret_cast<const std::uint8_t*>(c.input.data());
        for (std::size_t at = 0; at < c.input.size(); at += c.piece) {
            md5.Update({data + at, std::min(c.piece, c.input.size() - at)});
        }
        EXPECT_EQ(md5.Final(), c.digest);
    }
    // Abandoned with bytes in flight: the destructor neither hangs nor leaks.
    BackgroundMd5 abandoned;
    abandoned.Update({reinterpret_cast<const std::uint8_t*>(million.data()), million.size()});
}

}  // namespace
}  // namespace XMLUpdater::v2
