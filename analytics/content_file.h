// Reading the content update's own files (TXTVER and HASH): a C stream of
// a system path, with the Windows error of a failure.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

#include "platform/errors/win_error.h"

namespace Halden::Analytics::internal {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// Opens for reading; null with `error` set when it cannot.
FilePtr OpenForReading(const std::wstring& path, rk::DWORD& error);

}  // namespace Halden::Analytics::internal
