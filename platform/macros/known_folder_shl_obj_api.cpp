#include "platform/macros/shl_obj_api.h"

namespace DiraDoro {
namespace {

class KnownFolderShlObjAPI final : public ShlObjAPI {
public:
    rk::HRESULT SHGetKnownFolderPath(rk::sys::KnownFolder folder, rk::DWORD /*flags*/,
                                     std::wstring& path) override {
        const rk::DWORD error = folders_.path(folder, path, false);
        return error == rk::win::kErrorSuccess ? rk::win::kSOk : rk::win::hresult_from_win32(error);
    }

private:
    rk::sys::KnownFolders folders_;
};

}  // namespace

std::shared_ptr<ShlObjAPI> CreateShlObjAPI() { return std::make_shared<KnownFolderShlObjAPI>(); }

}  // namespace DiraDoro
