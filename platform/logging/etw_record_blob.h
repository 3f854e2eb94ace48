// ETWLogging::internal::CRecordBlob: the first field of the classic event of
// one line, a little-endian record that other tools parse:
//   process ID u32, thread ID u32, image name, source file, function,
//   line u32, module file name, module file version, group,
//   byte length of the UTF-8 message u64.
// Strings are a u16 count of UTF-16 code units followed by those units, with
// no terminator. A string longer than 65535 units is cut there (never inside
// a surrogate pair).
//
// The bytes live in a 256-byte inline buffer that grows on the heap to the
// larger of the needed size and one and a half times the current capacity.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string_view>

#include "platform/logging/log_record.h"

namespace ETWLogging::internal {

class CRecordBlob {
public:
    static constexpr std::size_t kInlineCapacity = 256;
    static constexpr std::size_t kMaxStringUnits = 0xFFFF;

    CRecordBlob() = default;
    CRecordBlob(const CRecordBlob&) = delete;
    CRecordBlob& operator=(const CRecordBlob&) = delete;

    // Replaces the contents with the record of one line.
    void Build(const LogRecord& record, std::uint64_t messageUtf8Bytes);

    void Clear() { size_ = 0; }
    void AppendU16(std::uint16_t value);
    void AppendU32(std::uint32_t value);
    void AppendU64(std::uint64_t value);
    void AppendString(std::wstring_view text);

    std::span<const std::uint8_t> bytes() const { return {data(), size_}; }
    std::size_t size() const { return size_; }
    std::size_t capacity() const { return capacity_; }
    bool on_heap() const { return heap_ != nullptr; }

private:
    std::uint8_t* data() { return heap_ ? heap_.get() : inline_; }
    const std::uint8_t* data() const { return heap_ ? heap_.get() : inline_; }
    std::uint8_t* Reserve(std::size_t more);

    std::uint8_t inline_[kInlineCapacity];
    std::unique_ptr<std::uint8_t[]> heap_;
    std::size_t capacity_ = kInlineCapacity;
    std::size_t size_ = 0;
};

}  // namespace ETWLogging::internal
