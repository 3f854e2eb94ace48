// extract_cabinet over libmspack's CAB decompressor, reading the cabinet from
// memory. Everything the cabinet claims is checked before the first file is
// written: names, compression types and the bytes to unpack.
#include <algorithm>
#include <ctime>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/system/cabinet/cabinet_extractor.h"
#include "platform/system/cabinet/cabinet_layout.h"
#include "platform/system/cabinet/cabinet_names.h"
#include "platform/system/cabinet/cabinet_output.h"
#include "platform/system/cabinet/mspack_memory_system.h"
#include "platform/system/cabinet/mszip_folder.h"
#include "platform/system/paths.h"

namespace rk::sys::cabinet {
namespace {

using dira_doro::FdiError;

// The library's own allocations: file and folder lists (at most 65,535 of
// each), decompression windows (2 MiB at most) and buffers.
constexpr std::size_t kAllocationLimit = 64u << 20;
// Input buffer of the decompressors (the library's default is 4 KiB).
constexpr int kInputBufferBytes = 64 << 10;
// The smallest cabinet: the fixed header.
constexpr std::size_t kHeaderBytes = 36;

struct DecompressorDeleter {
    void operator()(mscab_decompressor* d) const { mspack_destroy_cab_decompressor(d); }
};
using Decompressor = std::unique_ptr<mscab_decompressor, DecompressorDeleter>;

class OpenCabinet {
public:
    OpenCabinet(mscab_decompressor* d, mscabd_cabinet* cab) : d_(d), cab_(cab) {}
    OpenCabinet(const OpenCabinet&) = delete;
    OpenCabinet& operator=(const OpenCabinet&) = delete;
    ~OpenCabinet() {
        if (cab_ != nullptr) {
            d_->close(d_, cab_);
        }
    }
    mscabd_cabinet* get() const { return cab_; }

private:
    mscab_decompressor* d_;
    mscabd_cabinet* cab_;
};

// The FDI error for a library error while reading the cabinet's lists.
FdiError open_error(int error, std::size_t size) {
    switch (error) {
        case MSPACK_ERR_OPEN: return FdiError::cabinet_not_found;
        case MSPACK_ERR_SIGNATURE: return FdiError::not_a_cabinet;
        case MSPACK_ERR_NOMEMORY: return FdiError::alloc_fail;
        case MSPACK_ERR_READ:
        case MSPACK_ERR_SEEK: return size < kHeaderBytes ? FdiError::not_a_cabinet : FdiError::corrupt_cabinet;
        default: return FdiError::corrupt_cabinet;
    }
}

// The FDI error for a library error while unpacking a file.
FdiError extract_error(int error) {
    switch (error) {
        case MSPACK_ERR_READ:
        case MSPACK_ERR_SEEK: return FdiError::eof;
        case MSPACK_ERR_NOMEMORY: return FdiError::alloc_fail;
        case MSPACK_ERR_WRITE: return FdiError::target_file;
        case MSPACK_ERR_DECRUNCH: return FdiError::mdi_fail;
        default: return FdiError::corrupt_cabinet;
    }
}

std::uint16_t dos_date(const mscabd_file& f) {
    const int year = f.date_y < 1980 ? 0 : f.date_y - 1980;
    return static_cast<std::uint16_t>(((year & 0x7F) << 9) | ((f.date_m & 0x0F) << 5) | (f.date_d & 0x1F));
}

std::uint16_t dos_time(const mscabd_file& f) {
    return static_cast<std::uint16_t>(((f.time_h & 0x1F) << 11) | ((f.time_m & 0x3F) << 5) | ((f.time_s / 2) & 0x1F));
}

// DosDateTimeToFileTime + LocalFileTimeToFileTime: nothing for a date or
// time that does not exist.
std::optional<std::time_t> local_time(std::uint16_t date, std::uint16_t time) {
    std::tm tm{};
    tm.tm_year = 80 + (date >> 9);
    tm.tm_mon = ((date >> 5) & 0x0F) - 1;
    tm.tm_mday = date & 0x1F;
    tm.tm_hour = time >> 11;
    tm.tm_min = (time >> 5) & 0x3F;
    tm.tm_sec = (time & 0x1F) * 2;
    if (tm.tm_mon < 0 || tm.tm_mon > 11 || tm.tm_mday < 1 || tm.tm_hour > 23 || tm.tm_min > 59 || tm.tm_sec > 59) {
        return std::nullopt;
    }
    const int day = tm.tm_mday;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1) || tm.tm_mday != day) {
        return std::nullopt;  // 31 February and the like
    }
    return t;
}

// Unpacks each file's bytes: MSZIP folders of a cabinet that stands alone
// with zlib (MszipFolder), everything else with libmspack.
class FolderUnpacker {
public:
    FolderUnpacker(std::span<const std::uint8_t> cabinet, mscab_decompressor* d, const mscabd_cabinet* cab)
        : cabinet_(cabinet), d_(d) {
        auto layout = read_cabinet_layout(cabinet);
        if (!layout) {
            return;
        }
        std::size_t i = 0;
        for (const mscabd_folder* f = cab->folders; f != nullptr; f = f->next, ++i) {
            if (i >= layout->folders.size() || layout->folders[i].compression != f->comp_type ||
                layout->folders[i].blocks != f->num_blocks) {
                return;  // not the folders libmspack read: leave them all to it
            }
        }
        if (i == layout->folders.size()) {
            layout_ = std::move(*layout);
            for (const mscabd_folder* f = cab->folders; f != nullptr; f = f->next) {
                folders_.push_back(f);
            }
        }
    }

    // An MSPACK_ERR_ number; the bytes go to the memory system's sink.
    int unpack(mscabd_file* file, const MszipFolder::Sink& sink) {
        const auto own = std::find(folders_.begin(), folders_.end(), file->folder);
        if (own == folders_.end() || MSCABD_COMP_METHOD(file->folder->comp_type) != MSCAB_COMP_MSZIP) {
            return d_->extract(d_, file, MspackMemorySystem::kOutputName) == MSPACK_ERR_OK ? MSPACK_ERR_OK
                                                                                            : d_->last_error(d_);
        }
        if (current_ != file->folder) {
            mszip_.reset();
            mszip_ = std::make_unique<MszipFolder>(cabinet_, layout_.folders[own - folders_.begin()],
                                                   layout_.data_reserve);
            current_ = file->folder;
        }
        return mszip_->extract(file->offset, file->length, sink);
    }

private:
    std::span<const std::uint8_t> cabinet_;
    mscab_decompressor* d_;
    CabinetLayout layout_;
    std::vector<const mscabd_folder*> folders_;
    const mscabd_folder* current_ = nullptr;
    std::unique_ptr<MszipFolder> mszip_;
};

struct Planned {
    mscabd_file* entry;
    CabinetFile file;
    std::vector<std::wstring> parts;
};

ExtractResult failure(FdiError fdi, FailedStep step, DWORD system_error = 0, std::wstring file = {}) {
    ExtractResult r;
    r.fdi = fdi;
    r.step = step;
    r.system_error = system_error;
    r.file = std::move(file);
    return r;
}

// The files to write, every claim checked; a result with an error when the
// cabinet cannot be extracted as a whole.
ExtractResult plan(mscabd_cabinet* cab, const ExtractOptions& options, std::vector<Planned>& out,
                   std::uint64_t& output_bytes) {
    std::uint64_t work = 0;
    const mscabd_folder* folder = nullptr;
    std::uint64_t position = 0;
    for (mscabd_file* f = cab->files; f != nullptr; f = f->next) {
        Planned p{f, {}, {}};
        const std::string_view stored(f->filename != nullptr ? f->filename : "");
        auto name = decode_stored_name(stored, (f->attribs & kAttributeNameIsUtf) != 0);
        if (!name) {
            return failure(FdiError::user_abort, FailedStep::kName, win::kErrorInvalidName,
                           decode_stored_name(stored, false).value_or(L""));
        }
        p.file.name = std::move(*name);
        p.file.size = f->length;
        p.file.dos_date = dos_date(*f);
        p.file.dos_time = dos_time(*f);
        p.file.attributes = static_cast<std::uint16_t>(f->attribs);
        if (options.filter && !options.filter(p.file)) {
            continue;
        }
        auto parts = split_stored_name(p.file.name);
        if (!parts) {
            return failure(FdiError::user_abort, FailedStep::kName, win::kErrorInvalidName, p.file.name);
        }
        p.parts = std::move(*parts);
        if (f->folder == nullptr || MSCABD_COMP_METHOD(f->folder->comp_type) > MSCAB_COMP_LZX) {
            return failure(FdiError::bad_compr_type, FailedStep::kCabinet, 0, p.file.name);
        }
        // The library continues in a folder when the next file starts at or
        // after where it stopped, else it unpacks the folder from its start.
        const bool continues = f->folder == folder && f->offset >= position;
        work += (continues ? f->offset - position : f->offset) + std::uint64_t{f->length};
        folder = f->folder;
        position = std::uint64_t{f->offset} + f->length;
        output_bytes += f->length;
        if (work > options.max_unpacked_bytes) {
            return failure(FdiError::user_abort, FailedStep::kLimit, win::kErrorFileTooLarge, p.file.name);
        }
        out.push_back(std::move(p));
    }
    return {};
}

ExtractResult extract(std::span<const std::uint8_t> cabinet, std::wstring_view destination,
                      const ExtractOptions& options) {
    MspackMemorySystem memory(cabinet, kAllocationLimit);
    Decompressor d(mspack_create_cab_decompressor(memory.system()));
    if (!d) {
        return failure(FdiError::alloc_fail, FailedStep::kCabinet);
    }
    d->set_param(d.get(), MSCABD_PARAM_DECOMPBUF, kInputBufferBytes);
    const OpenCabinet cab(d.get(), d->open(d.get(), MspackMemorySystem::kCabinetName));
    if (cab.get() == nullptr) {
        return failure(open_error(d->last_error(d.get()), cabinet.size()), FailedStep::kCabinet);
    }
    std::vector<Planned> files;
    std::uint64_t output_bytes = 0;
    if (auto r = plan(cab.get(), options, files, output_bytes); !r.ok()) {
        return r;
    }

    CabinetOutput output;
    if (const DWORD error = output.open_destination(destination); error != win::kErrorSuccess) {
        return failure(FdiError::user_abort, FailedStep::kDestination, error);
    }
    if (const auto free = output.free_bytes(); free && *free < output_bytes) {
        return failure(FdiError::user_abort, FailedStep::kLimit, win::kErrorDiskFull);
    }

    std::size_t written = 0;
    const auto fail = [&written](FdiError fdi, FailedStep step, DWORD error, const std::wstring& name) {
        auto r = failure(fdi, step, error, name);
        r.files_written = written;
        return r;
    };
    DWORD write_error = win::kErrorSuccess;
    const MszipFolder::Sink sink = [&](std::span<const std::uint8_t> bytes) {
        write_error = output.write(bytes);
        return write_error == win::kErrorSuccess;
    };
    memory.set_sink(sink);
    FolderUnpacker unpacker(cabinet, d.get(), cab.get());
    for (const auto& p : files) {
        bool folder_failed = false;
        if (const DWORD error = output.begin(p.parts, folder_failed); error != win::kErrorSuccess) {
            return fail(FdiError::user_abort, folder_failed ? FailedStep::kFolder : FailedStep::kCreate, error,
                        p.file.name);
        }
        write_error = win::kErrorSuccess;
        if (const int error = unpacker.unpack(p.entry, sink); error != MSPACK_ERR_OK) {
            output.abandon();
            if (write_error != win::kErrorSuccess) {
                return fail(FdiError::target_file, FailedStep::kWrite, write_error, p.file.name);
            }
            if (error == MSPACK_ERR_NOMEMORY || memory.allocation_refused()) {
                return fail(FdiError::alloc_fail, FailedStep::kCabinet, 0, p.file.name);
            }
            return fail(extract_error(error), FailedStep::kCabinet, 0, p.file.name);
        }
        if (const DWORD error = output.finish(local_time(p.file.dos_date, p.file.dos_time)); error != win::kErrorSuccess) {
            return fail(FdiError::user_abort, FailedStep::kClose, error, p.file.name);
        }
        ++written;
        if (options.on_file && !options.on_file(p.file, output.current_path())) {
            return fail(FdiError::user_abort, FailedStep::kCallback, 0, p.file.name);
        }
    }
    ExtractResult result;
    result.files_written = written;
    return result;
}

}  // namespace

ExtractResult extract_cabinet(std::span<const std::uint8_t> cabinet, std::wstring_view destination,
                              const ExtractOptions& options) {
    try {
        return extract(cabinet, destination, options);
    } catch (const std::bad_alloc&) {
        return failure(FdiError::alloc_fail, FailedStep::kCabinet);
    } catch (...) {
        return failure(FdiError::user_abort, FailedStep::kCallback);
    }
}

}  // namespace rk::sys::cabinet
