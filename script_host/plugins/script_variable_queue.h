// "queue": a FIFO of script values (see queue_plugin.h).
#pragma once

#include <string>

#include "script_host/plugins/queue_plugin.h"

namespace Corvane::Script {

class CScriptVariableQueue : public CQueuePlugin<ScriptVariable> {
public:
    using CQueuePlugin::CQueuePlugin;
    std::wstring GetName() override { return L"ScriptVariable Queue Plugin"; }

protected:
    bool IsEmptyValue(const ScriptVariable& value) const override { return value.IsEmpty(); }
};

}  // namespace Corvane::Script
