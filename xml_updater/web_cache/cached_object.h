// Cached_object: one resource of the web cache, a data file (the download
// itself) and its metadata store beside it (the same name plus ".skvs").
//
// The metadata is read when the object is created. Without a store, or with
// one that cannot be read (cut short, changed, from another key; logged) or
// that names another Host or Path, the object starts with Host and Path
// only: nothing validates the data file, so the next fetch asks for the
// whole resource and the file stays as it is until that answer arrives.
// Every failure throws std::system_error.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "xml_updater/web_cache/key_value_store.h"
#include "xml_updater/web_cache/object_folder.h"

namespace XMLUpdater::v2::web_cache {

class Cached_object {
public:
    // `directory` a system path, `file_name` a plain name (kErrorInvalidName
    // otherwise), `host` "name[:port]", `path` the request target.
    Cached_object(std::wstring directory, std::wstring file_name, std::wstring host, std::wstring path);

    const std::wstring& host() const { return host_; }
    const std::wstring& path() const { return path_; }
    std::wstring data_path() const;
    std::wstring metadata_path() const;

    KeyValueStore& metadata() { return metadata_; }
    const KeyValueStore& metadata() const { return metadata_; }
    void save_metadata();

    // The size of the data file (0 when it does not exist).
    std::uint64_t data_size() const;

    // Opens the data file: emptied first (a whole new body) or appended to.
    void begin_data(bool append);
    void write_data(std::span<const std::uint8_t> bytes);
    void end_data();

    // Empties the data file and forgets everything but Host and Path.
    void discard();
    // Deletes both files.
    void remove();

private:
    void reset_metadata();

    ObjectFolder folder_;
    std::wstring file_name_;
    std::wstring host_;
    std::wstring path_;
    KeyValueStore metadata_;
    std::unique_ptr<DataWriter> writer_;
};

}  // namespace XMLUpdater::v2::web_cache
