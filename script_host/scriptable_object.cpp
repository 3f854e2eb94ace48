#include "script_host/scriptable_object.h"

namespace Corvane::Script {

void IScriptableObject::SetDispatcher(std::shared_ptr<IScriptOperationDispatcher>) {}

std::shared_ptr<IScriptOperationDispatcher> IScriptableObject::GetDispatcher() const { return nullptr; }

}  // namespace Corvane::Script
