// The loaded test library behind the hook (see hound.h for its exports).
#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace XMLUpdater::v2::Hound {

// Raised when the library reports an error; hook functions catch it.
inline constexpr char kHandlerFailed[] = "XML hound handler failed.";

class CInternalInterface {
public:
    virtual ~CInternalInterface() = default;
    // Sends Controller "Initialize" with the configuration text; false when
    // the controller reports an error.
    virtual bool Initialize(const std::string& configuration) = 0;
    virtual void Exit() = 0;
    virtual std::string DispatchWide(std::string_view event, std::wstring_view arguments) = 0;
    // Sends Dispatcher and returns a copy of its result; throws
    // std::runtime_error(kHandlerFailed) when it reports an error.
    virtual std::string Dispatch(std::string_view event, std::string_view arguments) = 0;
    virtual const std::string& LastResult() const = 0;
};

// Loads the library at the host path `path` (through the seam). Null, with `error` set to the loader's text,
// when the library or one of its required exports is missing.
std::unique_ptr<CInternalInterface> LoadInternal(const std::string& path, std::string& error);

}  // namespace XMLUpdater::v2::Hound
