#include "xml_updater/cab_parser.h"

#include "platform/system/cabinet/cabinet_extractor.h"
#include "platform/system/files.h"
#include "platform/system/paths.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"cab_parser.cpp";
}  // namespace

bool CCabParser::Extract(std::span<const std::uint8_t> cabinet) {
    using rk::sys::cabinet::FailedStep;
    constexpr wchar_t kFunction[] = L"CCabParser::Extract";
    written_.clear();
    rk::sys::cabinet::ExtractOptions options;
    options.on_file = [this](const rk::sys::cabinet::CabinetFile&, const std::filesystem::path& path) {
        written_.push_back(path);
        return true;
    };
    const auto result = rk::sys::cabinet::extract_cabinet(cabinet, destination_, options);
    error_ = result.fdi;
    if (result.ok()) {
        return true;
    }
    const auto log = [&](const wchar_t* format, const auto&... args) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, format, args...);
    };
    switch (result.step) {
        case FailedStep::kDestination:
        case FailedStep::kFolder: log(L"Unable to create destination directory (%d)", result.system_error); break;
        case FailedStep::kCreate: log(L"CreateFile failed: %d", result.system_error); break;
        case FailedStep::kWrite: log(L"WriteFile failed: %d", result.system_error); break;
        case FailedStep::kClose: log(L"CloseHandle failed: %d", result.system_error); break;
        case FailedStep::kName: log(L"Refused file name in cabinet: %s", result.file); break;
        case FailedStep::kLimit:
            log(L"Cabinet claims more than can be unpacked (%d)", result.system_error);
            break;
        case FailedStep::kCabinet:
        case FailedStep::kCallback:
        case FailedStep::kNone: break;
    }
    log(L"Cabinet extraction failed: %hs (%d), file '%s'", result.error().message(), static_cast<int>(result.fdi),
        result.file);
    return false;
}

void CCabParser::RemoveWritten() {
    for (const auto& path : written_) {
        rk::sys::delete_file(rk::sys::wide_path(path), true);
    }
    written_.clear();
}

}  // namespace XMLUpdater::v2
