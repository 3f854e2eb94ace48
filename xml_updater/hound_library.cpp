#include "xml_updater/hound_library.h"

#include "platform/system/shared_library.h"
#include "platform/text/utf.h"
#include "xml_updater/hound.h"

namespace XMLUpdater::v2::Hound {
namespace {

using DispatcherFn = void (*)(const char*, const char*, const char**, const char**);
using ControllerFn = void (*)(const char*, const char*, const char**, void*);
using ReleaseFn = void (*)(const char*);

bool reported(const char* error) { return error != nullptr && *error != '\0'; }

class InternalBase final : public CInternalInterface {
public:
    InternalBase(rk::sys::SharedLibrary library, DispatcherFn dispatcher, ControllerFn controller, ReleaseFn release)
        : library_(std::move(library)), dispatcher_(dispatcher), controller_(controller), release_(release) {}
    InternalBase(const InternalBase&) = delete;
    InternalBase& operator=(const InternalBase&) = delete;
    ~InternalBase() override = default;

    bool Initialize(const std::string& configuration) override {
        const char* error = nullptr;
        controller_(kControllerInitialize, configuration.c_str(), &error, nullptr);
        return !reported(error);
    }

    void Exit() override {
        const char* error = nullptr;
        controller_(kControllerExit, "", &error, nullptr);
    }

    std::string DispatchWide(std::string_view event, std::wstring_view arguments) override {
        return Dispatch(event, rk::text::wide_to_utf8(arguments));
    }

    std::string Dispatch(std::string_view event, std::string_view arguments) override {
        const std::string name(event);
        const std::string args(arguments);
        const char* result = nullptr;
        const char* error = nullptr;
        dispatcher_(name.c_str(), args.c_str(), &result, &error);
        last_result_ = result != nullptr ? result : "";
        if (result != nullptr && release_ != nullptr) {
            release_(result);
        }
        if (reported(error)) {
            throw std::runtime_error(kHandlerFailed);
        }
        return last_result_;
    }

    const std::string& LastResult() const override { return last_result_; }

private:
    rk::sys::SharedLibrary library_;
    DispatcherFn dispatcher_;
    ControllerFn controller_;
    ReleaseFn release_;
    std::string last_result_;
};

}  // namespace

std::unique_ptr<CInternalInterface> LoadInternal(const std::string& path, std::string& error) {
    // Pinned: the library stays mapped for the life of the process, as code
    // of it may still run from its own static destructors.
    rk::sys::SharedLibrary library;
    if (rk::sys::SharedLibrary::load(path, true, library, error) != rk::win::kErrorSuccess) {
        return nullptr;
    }
    auto* dispatcher = library.function<DispatcherFn>(kExportDispatcher);
    auto* controller = library.function<ControllerFn>(kExportController);
    auto* release = library.function<ReleaseFn>(kExportRelease);
    if (dispatcher == nullptr || controller == nullptr) {
        error = std::string("missing export ") + (dispatcher == nullptr ? kExportDispatcher : kExportController);
        return nullptr;
    }
    return std::make_unique<InternalBase>(std::move(library), dispatcher, controller, release);
}

}  // namespace XMLUpdater::v2::Hound
