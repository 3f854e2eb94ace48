// A script object held by native code (JsAddRef): kept alive in the heap's
// stash while referenced, callable by method name on the heap's thread.
// Other threads call it through ScriptVariable::GetInvoker(), which queues
// to the heap's dispatcher. Internal to the Duktape host.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "script_host/scriptable_object.h"

struct duk_hthread;
using duk_context = duk_hthread;

namespace Corvane::Script::duktape {

class DuktapeHeap;
class HeapLink;

class DuktapeObjectReference : public IScriptableObject {
public:
    // The object at `index` of the heap running on `ctx` (may throw there).
    static std::shared_ptr<DuktapeObjectReference> Create(duk_context* ctx, int index);
    // The heap's global object.
    static std::shared_ptr<DuktapeObjectReference> Global(DuktapeHeap& heap);

    DuktapeObjectReference(std::shared_ptr<HeapLink> link, std::uint64_t id);
    ~DuktapeObjectReference() override;

    // Calls the object's function property `method` with this = the object.
    // Throws std::runtime_error when the heap is gone, on another thread, or
    // when the function throws ("Name: message", logged with the stack).
    bool Execute(const std::wstring& method, ScriptVariable& result, std::uint32_t count,
                 const ScriptVariable* args) override;
    std::shared_ptr<IPluginObjectWrapperImpl> GetWrapper() override { return nullptr; }
    std::wstring GetName() override { return {}; }
    std::wstring GetVersion() override { return {}; }
    // Keeps the first dispatcher it is told: its own heap's.
    void SetDispatcher(std::shared_ptr<IScriptOperationDispatcher> dispatcher) override;
    std::shared_ptr<IScriptOperationDispatcher> GetDispatcher() const override;

    // Pushes the object when `ctx` runs its heap; false otherwise.
    bool PushTo(duk_context* ctx) const;

private:
    std::shared_ptr<HeapLink> link_;
    std::uint64_t id_;  // 0: the global object
    mutable std::mutex mutex_;
    std::shared_ptr<IScriptOperationDispatcher> dispatcher_;
};

}  // namespace Corvane::Script::duktape
