#include "platform/system/cabinet/mszip_folder.h"

#include <mspack.h>

#include <algorithm>
#include <bit>
#include <cstring>
#include <new>

namespace rk::sys::cabinet {
namespace {

constexpr std::size_t kFrameBytes = 32768;  // CAB_BLOCKMAX: unpacked bytes per block
constexpr std::size_t kMaxPackedBytes = kFrameBytes + 6144;  // CAB_INPUTMAX
constexpr std::size_t kWindow = kFrameBytes;                 // deflate's history
constexpr std::size_t kBlockHeaderBytes = 8;

std::uint32_t load32(const std::uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

std::uint64_t load64(const std::uint8_t* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// The cabinet checksum: 32-bit little-endian words XORed, the last one to
// three bytes taken most significant first. Words are XORed eight bytes at
// a time: the two halves of the result are the XOR of the even and of the
// odd words.
std::uint32_t checksum(const std::uint8_t* p, std::size_t n, std::uint32_t sum) {
    static_assert(std::endian::native == std::endian::little);
    std::uint64_t a = 0, b = 0, c = 0, d = 0;
    for (; n >= 32; n -= 32, p += 32) {
        a ^= load64(p);
        b ^= load64(p + 8);
        c ^= load64(p + 16);
        d ^= load64(p + 24);
    }
    for (; n >= 8; n -= 8, p += 8) {
        a ^= load64(p);
    }
    const std::uint64_t wide = a ^ b ^ c ^ d;
    sum ^= static_cast<std::uint32_t>(wide) ^ static_cast<std::uint32_t>(wide >> 32);
    if (n >= 4) {
        sum ^= load32(p);
        n -= 4;
        p += 4;
    }
    std::uint32_t tail = 0;
    switch (n) {
        case 3:
            tail |= static_cast<std::uint32_t>(*p++) << 16;
            [[fallthrough]];
        case 2:
            tail |= static_cast<std::uint32_t>(*p++) << 8;
            [[fallthrough]];
        case 1:
            tail |= *p;
            break;
        default:
            break;
    }
    return sum ^ tail;
}

}  // namespace

MszipFolder::MszipFolder(std::span<const std::uint8_t> cabinet, const FolderLayout& folder,
                         std::uint8_t data_reserve)
    : cabinet_(cabinet), folder_(folder), data_reserve_(data_reserve) {
    restart();
}

MszipFolder::~MszipFolder() {
    if (stream_ready_) {
        inflateEnd(&stream_);
    }
}

void MszipFolder::restart() {
    history_ = 0;
    block_bytes_ = 0;
    block_start_ = 0;
    next_index_ = 0;
    next_at_ = folder_.first_block;
}

int MszipFolder::extract(std::uint64_t offset, std::uint64_t length, const Sink& sink) {
    const std::uint64_t end = offset + length;
    if (end > std::uint64_t{folder_.blocks} * kFrameBytes) {
        return MSPACK_ERR_DECRUNCH;
    }
    if (length == 0) {
        return MSPACK_ERR_OK;
    }
    if (offset < block_start_) {
        restart();
    }
    for (;;) {
        const std::uint64_t block_end = block_start_ + block_bytes_;
        if (block_end > offset) {
            const std::uint64_t from = std::max(offset, block_start_);
            const std::uint64_t to = std::min(end, block_end);
            if (!sink({buffer_.get() + kWindow + (from - block_start_),
                       static_cast<std::size_t>(to - from)})) {
                return MSPACK_ERR_WRITE;
            }
        }
        if (block_end >= end) {
            return MSPACK_ERR_OK;
        }
        if (const int error = next_block(); error != MSPACK_ERR_OK) {
            restart();  // the stream is in no state to go on from
            return error;
        }
    }
}

int MszipFolder::next_block() {
    if (next_index_ >= folder_.blocks) {
        return MSPACK_ERR_DECRUNCH;
    }
    if (!buffer_) {
        buffer_.reset(new (std::nothrow) std::uint8_t[kWindow + kFrameBytes]);
        if (!buffer_ || inflateInit2(&stream_, -MAX_WBITS) != Z_OK) {
            return MSPACK_ERR_NOMEMORY;
        }
        stream_ready_ = true;
    }
    // The current block joins the history.
    const std::size_t kept = std::min(kWindow, history_ + block_bytes_);
    std::memmove(buffer_.get() + kWindow - kept, buffer_.get() + kWindow + block_bytes_ - kept,
                 kept);
    history_ = kept;
    block_start_ += block_bytes_;
    block_bytes_ = 0;

    const std::uint64_t size = cabinet_.size();
    const std::uint64_t header_bytes = kBlockHeaderBytes + data_reserve_;
    if (next_at_ > size || size - next_at_ < header_bytes) {
        return MSPACK_ERR_READ;
    }
    const std::uint8_t* header = cabinet_.data() + next_at_;
    const std::size_t packed = header[4] | header[5] << 8;
    const std::size_t unpacked = header[6] | header[7] << 8;
    if (packed > kMaxPackedBytes || unpacked > kFrameBytes) {
        return MSPACK_ERR_DATAFORMAT;
    }
    if (size - next_at_ - header_bytes < packed) {
        return MSPACK_ERR_READ;
    }
    const std::uint8_t* data = header + header_bytes;
    if (const std::uint32_t stored = load32(header);
        stored != 0 && checksum(header + 4, 4, checksum(data, packed, 0)) != stored) {
        return MSPACK_ERR_CHECKSUM;
    }
    if (packed < 2 || data[0] != 'C' || data[1] != 'K') {
        return MSPACK_ERR_DECRUNCH;
    }
    if (inflateReset(&stream_) != Z_OK ||
        (history_ > 0 && inflateSetDictionary(&stream_, buffer_.get() + kWindow - history_,
                                              static_cast<uInt>(history_)) != Z_OK)) {
        return MSPACK_ERR_DECRUNCH;
    }
    stream_.next_in = const_cast<Bytef*>(data + 2);
    stream_.avail_in = static_cast<uInt>(packed - 2);
    stream_.next_out = buffer_.get() + kWindow;
    stream_.avail_out = static_cast<uInt>(kFrameBytes);
    const int z = inflate(&stream_, Z_FINISH);
    const std::size_t produced = kFrameBytes - stream_.avail_out;
    if (z == Z_MEM_ERROR) {
        return MSPACK_ERR_NOMEMORY;
    }
    if (z != Z_STREAM_END || produced != unpacked) {
        return MSPACK_ERR_DECRUNCH;
    }
    block_bytes_ = produced;
    ++next_index_;
    next_at_ += header_bytes + packed;
    return MSPACK_ERR_OK;
}

}  // namespace rk::sys::cabinet
