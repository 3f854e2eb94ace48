// One MSZIP folder of a cabinet in memory, unpacked with zlib: each CFDATA
// block is "CK" and a deflate stream whose history is the folder's previous
// 32 KiB. zlib inflates about 1.5 times as fast as libmspack's own MSZIP
// decoder, and the blocks are read where they lie (no copy into an input
// buffer). Checks and error numbers follow libmspack's extract().
#pragma once

#include <zlib.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <span>

#include "platform/system/cabinet/cabinet_layout.h"

namespace rk::sys::cabinet {

class MszipFolder {
  public:
    // Receives unpacked bytes; false fails the extraction (MSPACK_ERR_WRITE).
    using Sink = std::function<bool(std::span<const std::uint8_t>)>;

    // `cabinet` must outlive the folder.
    MszipFolder(std::span<const std::uint8_t> cabinet, const FolderLayout& folder,
                std::uint8_t data_reserve);
    MszipFolder(const MszipFolder&) = delete;
    MszipFolder& operator=(const MszipFolder&) = delete;
    ~MszipFolder();

    // Hands the folder's bytes [offset, offset + length) to `sink`. Goes on
    // from the block reached by the previous call when `offset` is not
    // before it, else unpacks the folder again from its first block. An
    // MSPACK_ERR_ number: READ when the cabinet ends inside a block,
    // DATAFORMAT for impossible block sizes, CHECKSUM for a block whose
    // stored checksum does not match, DECRUNCH for bad MSZIP data or a
    // range beyond what the folder's blocks can hold, NOMEMORY, WRITE.
    int extract(std::uint64_t offset, std::uint64_t length, const Sink& sink);

  private:
    void restart();
    int next_block();

    std::span<const std::uint8_t> cabinet_;
    FolderLayout folder_;
    std::uint8_t data_reserve_;
    z_stream stream_{};
    bool stream_ready_ = false;
    // History (up to 32 KiB) ending at kWindow, then the current block.
    std::unique_ptr<std::uint8_t[]> buffer_;
    std::size_t history_ = 0;
    std::size_t block_bytes_ = 0;
    std::uint64_t block_start_ = 0;  // folder offset of the current block's first byte
    unsigned next_index_ = 0;
    std::uint64_t next_at_ = 0;  // cabinet offset of the next CFDATA
};

}  // namespace rk::sys::cabinet
