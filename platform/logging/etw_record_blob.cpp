#include "platform/logging/etw_record_blob.h"

#include <algorithm>
#include <cstring>

namespace ETWLogging::internal {

std::uint8_t* CRecordBlob::Reserve(std::size_t more) {
    const std::size_t needed = size_ + more;
    if (needed > capacity_) {
        const std::size_t grown = std::max(needed, capacity_ + capacity_ / 2);
        auto bigger = std::make_unique<std::uint8_t[]>(grown);
        std::memcpy(bigger.get(), data(), size_);
        heap_ = std::move(bigger);
        capacity_ = grown;
    }
    std::uint8_t* at = data() + size_;
    size_ = needed;
    return at;
}

void CRecordBlob::AppendU16(std::uint16_t value) {
    std::uint8_t* at = Reserve(2);
    at[0] = static_cast<std::uint8_t>(value);
    at[1] = static_cast<std::uint8_t>(value >> 8);
}

void CRecordBlob::AppendU32(std::uint32_t value) {
    std::uint8_t* at = Reserve(4);
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void CRecordBlob::AppendU64(std::uint64_t value) {
    std::uint8_t* at = Reserve(8);
    for (int i = 0; i < 8; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

void CRecordBlob::AppendString(std::wstring_view text) {
    // Count the UTF-16 units first (wchar_t holds whole code points on Linux
    // and UTF-16 units on Windows), stopping before the limit is crossed.
    std::size_t units = 0;
    std::size_t chars = 0;
    for (; chars < text.size(); ++chars) {
        const auto c = static_cast<std::uint32_t>(text[chars]);
        const std::size_t width = (sizeof(wchar_t) > 2 && c > 0xFFFF && c <= 0x10FFFF) ? 2 : 1;
        if (units + width > kMaxStringUnits) {
            break;
        }
        units += width;
    }
    if (sizeof(wchar_t) == 2 && chars < text.size() && chars > 0) {
        const auto last = static_cast<std::uint32_t>(text[chars - 1]);
        if (last >= 0xD800 && last <= 0xDBFF) {  // do not split a pair
            --chars;
            --units;
        }
    }
    AppendU16(static_cast<std::uint16_t>(units));
    std::uint8_t* at = Reserve(units * 2);
    auto put = [&at](std::uint32_t unit) {
        at[0] = static_cast<std::uint8_t>(unit);
        at[1] = static_cast<std::uint8_t>(unit >> 8);
        at += 2;
    };
    for (std::size_t i = 0; i < chars; ++i) {
        auto c = static_cast<std::uint32_t>(text[i]);
        if (sizeof(wchar_t) > 2 && c > 0x10FFFF) {
            c = 0xFFFD;
        }
        if (c > 0xFFFF) {
            c -= 0x10000;
            put(0xD800 + (c >> 10));
            put(0xDC00 + (c & 0x3FF));
        } else {
            put(c);
        }
    }
}

void CRecordBlob::Build(const LogRecord& record, std::uint64_t messageUtf8Bytes) {
    Clear();
    AppendU32(record.process_id);
    AppendU32(record.thread_id);
    AppendString(record.image_name);
    AppendString(record.file);
    AppendString(record.function);
    AppendU32(record.line);
    AppendString(record.module_file_name);
    AppendString(record.module_file_version);
    AppendString(record.group);
    AppendU64(messageUtf8Bytes);
}

}  // namespace ETWLogging::internal
