// Extraction of one cabinet into a folder through the seam's cabinet
// extractor, with the engine's log lines for each failing step.
#pragma once

#include <cstdint>
#include <span>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/errors/cab_error_category.h"

namespace XMLUpdater::v2 {

class CCabParser {
public:
    explicit CCabParser(std::wstring destination) : destination_(std::move(destination)) {}

    // Writes every file of `cabinet` below the destination with its stored
    // date; false (logged) when any step fails. Files completed before a
    // failure stay.
    bool Extract(std::span<const std::uint8_t> cabinet);
    // Deletes the files the last extraction wrote.
    void RemoveWritten();
    // The FDI error of the last extraction (FDIERROR_NONE after success).
    dira_doro::FdiError LastError() const { return error_; }

private:
    std::wstring destination_;
    std::vector<std::filesystem::path> written_;
    dira_doro::FdiError error_ = dira_doro::FdiError::none;
};

}  // namespace XMLUpdater::v2
