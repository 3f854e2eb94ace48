#include "platform/logging/etw_record_blob.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using ETWLogging::LogRecord;
using ETWLogging::internal::CRecordBlob;
using Bytes = std::vector<std::uint8_t>;

Bytes bytes_of(const CRecordBlob& blob) { return Bytes(blob.bytes().begin(), blob.bytes().end()); }

TEST(RecordBlobTest, RecordLayoutByteForByte) {
    LogRecord record;
    record.process_id = 0x01020304;
    record.thread_id = 0xA0B0C0D0;
    record.image_name = L"ab";
    record.file = L"f.c";
    record.function = L"";
    record.line = 513;
    record.module_file_name = L"m";
    record.module_file_version = L"1.2";
    record.group = L"g\u00e9";  // a non-ASCII unit stays one UTF-16 unit
    CRecordBlob blob;
    blob.Build(record, 0x0102030405060708ull);
    const Bytes expected = {
        0x04, 0x03, 0x02, 0x01,                          // process ID
        0xD0, 0xC0, 0xB0, 0xA0,                          // thread ID
        0x02, 0x00, 'a', 0, 'b', 0,                      // image name
        0x03, 0x00, 'f', 0, '.', 0, 'c', 0,              // source file
        0x00, 0x00,                                      // function (empty)
        0x01, 0x02, 0x00, 0x00,                          // line 513
        0x01, 0x00, 'm', 0,                              // module file name
        0x03, 0x00, '1', 0, '.', 0, '2', 0,              // module file version
        0x02, 0x00, 'g', 0, 0xE9, 0x00,                  // group
        0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,  // UTF-8 message length
    };
    EXPECT_EQ(bytes_of(blob), expected);
    EXPECT_FALSE(blob.on_heap());

    // A rebuild replaces the contents instead of appending.
    blob.Build(record, 0x0102030405060708ull);
    EXPECT_EQ(bytes_of(blob), expected);
}

TEST(RecordBlobTest, StringsAreCountedUtf16) {
    struct Case {
        const char* name;
        std::wstring text;
        Bytes expected;
    };
    const Case cases[] = {
        {"empty", L"", {0x00, 0x00}},
        {"outside the BMP becomes a surrogate pair", L"\U0001F600", {0x02, 0x00, 0x3D, 0xD8, 0x00, 0xDE}},
        {"BMP character", L"\u20AC", {0x01, 0x00, 0xAC, 0x20}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CRecordBlob blob;
        blob.AppendString(c.text);
        EXPECT_EQ(bytes_of(blob), c.expected);
    }
}

TEST(RecordBlobTest, LongStringsStopAtTheCounterLimitWithoutSplittingAPair) {
    CRecordBlob blob;
    blob.AppendString(std::wstring(CRecordBlob::kMaxStringUnits + 10, L'x'));
    ASSERT_EQ(blob.size(), 2 + 2 * CRecordBlob::kMaxStringUnits);
    EXPECT_EQ(blob.bytes()[0], 0xFF);
    EXPECT_EQ(blob.bytes()[1], 0xFF);

    // 65534 units then a pair that would need units 65535 and 65536: the pair goes.
    CRecordBlob pair;
    pair.AppendString(std::wstring(CRecordBlob::kMaxStringUnits - 1, L'x') + L"\U0001F600");
    EXPECT_EQ(pair.size(), 2 + 2 * (CRecordBlob::kMaxStringUnits - 1));
    EXPECT_EQ(pair.bytes()[0], 0xFE);
}

TEST(RecordBlobTest, InlineBufferGrowsToNeededOrOneAndAHalf) {
    struct Case {
        const char* name;
        std::size_t first, second;  // string lengths appended in turn
        std::size_t capacity_after_first, capacity_after_second;
    };
    // A string of n units takes 2 + 2n bytes.
    const Case cases[] = {
        {"fits inline", 100, 10, 256, 256},
        {"exactly full", 127, 0, 256, 384},  // 256 bytes fit; two more need 258 -> 1.5 x 256
        {"one step of one and a half", 127, 1, 256, 384},
        {"needed size wins", 1000, 0, 2002, 3003},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        CRecordBlob blob;
        blob.AppendString(std::wstring(c.first, L'a'));
        EXPECT_EQ(blob.capacity(), c.capacity_after_first);
        blob.AppendString(std::wstring(c.second, L'b'));
        EXPECT_EQ(blob.capacity(), c.capacity_after_second);
        // Contents survive the move to the heap.
        EXPECT_EQ(blob.bytes()[2], 'a');
        EXPECT_EQ(blob.size(), 4 + 2 * (c.first + c.second));
    }
}

}  // namespace
