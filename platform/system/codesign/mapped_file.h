// A read-only view of a whole file, mapped into memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>

namespace rk::sys::codesign {

// Every format we verify addresses its signature with 32-bit offsets.
inline constexpr std::uint64_t kMaxSignedFileBytes = 0xFFFFFFFFull;

class MappedFile {
public:
    // nullopt with `error` set when the file cannot be opened, is not a
    // regular file or is larger than kMaxSignedFileBytes.
    static std::optional<MappedFile> open(const std::filesystem::path& path, std::string& error);

    MappedFile(MappedFile&& other) noexcept;
    MappedFile& operator=(MappedFile&& other) noexcept;
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

private:
    MappedFile(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    void release();

    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace rk::sys::codesign
