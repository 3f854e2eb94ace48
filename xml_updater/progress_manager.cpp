#include "xml_updater/progress_manager.h"

#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2 {
namespace {
constexpr wchar_t kFile[] = L"progress_manager.cpp";
}  // namespace

void progress_manager_wrapper::Initialize(std::shared_ptr<progress_manager> manager) {
    manager_ = std::move(manager);
    ex_ = dynamic_cast<progress_manager_ex*>(manager_.get());
    if (manager_ && ex_ == nullptr) {
        XmlUpdaterLog(kXmlLogWarning, kFile, L"progress_manager_wrapper::Initialize", __LINE__,
                      kMsgNoProgressManagerEx);
    }
}

}  // namespace XMLUpdater::v2
