#include "platform/system/process/process_list.h"

#include <dirent.h>

#include <charconv>
#include <string_view>

#include "platform/system/process/process.h"

namespace rk::sys {
namespace {

class ProcFsProcessList final : public ProcessList {
public:
    DWORD snapshot(std::vector<ProcessEntry>& entries) override {
        entries.clear();
        DIR* proc = ::opendir("/proc");
        if (proc == nullptr) {
            return win::kErrorAccessDenied;
        }
        while (const dirent* entry = ::readdir(proc)) {
            const std::string_view name(entry->d_name);
            DWORD pid = 0;
            const auto parsed = std::from_chars(name.data(), name.data() + name.size(), pid);
            if (parsed.ec != std::errc() || parsed.ptr != name.data() + name.size() || pid == 0) {
                continue;
            }
            ProcessEntry process;
            process.pid = pid;
            if (process_image_path(pid, process.image_path) == win::kErrorInvalidParameter) {
                continue;  // ended meanwhile
            }
            entries.push_back(std::move(process));
        }
        ::closedir(proc);
        return win::kErrorSuccess;
    }
};

}  // namespace

std::shared_ptr<ProcessList> system_process_list() { return std::make_shared<ProcFsProcessList>(); }

}  // namespace rk::sys
