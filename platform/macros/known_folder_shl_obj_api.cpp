#include "platform/macros/shl_obj_api.h"

namespace DiraDoro {
namespace {

class KnownFolderShlObjAPI final : public ShlObjAPI {
public:
    explicit KnownFolderShlObjAPI(rk::sys::EnvLookup env) : folders_(std::move(env)) {}

    rk::HRESULT SHGetKnownFolderPath(rk::sys::KnownFolder folder, rk::DWORD /*flags*/,
                                     std::wstring& path) override {
        const rk::DWORD error = folders_.path(folder, path, false);
        return error == rk::win::kErrorSuccess ? rk::win::kSOk : rk::win::hresult_from_win32(error);
    }

private:
    rk::sys::KnownFolders folders_;
};

}  // namespace

std::shared_ptr<ShlObjAPI> CreateShlObjAPI(rk::sys::EnvLookup env) {
    return std::make_shared<KnownFolderShlObjAPI>(std::move(env));
}

}  // namespace DiraDoro
