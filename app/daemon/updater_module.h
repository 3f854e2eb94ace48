// The updater module's process entry (wWinMain's body): the secure-start
// outcome, the single-instance check, "delete at next start", then the
// polling loop for ever. Every way out returns 0; an exception that reaches
// here is logged once at level 1.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "app/daemon/updater_loop.h"

namespace rk::app {

// Single instance per login session.
inline constexpr wchar_t kSingleInstanceMutexName[] = L"RkUpdaterModuleMutex";

struct UpdaterModuleParts {
    // Outcome of the secure-start step, taken before anything else ran.
    bool secure_start_ok = true;
    // Carries out what earlier runs scheduled for deletion at the next start
    // and removes what killed runs left (temporary download files).
    std::function<void()> run_pending_deletes;
    // Builds the loop's parts (the HTTP client is created here, once).
    std::function<UpdaterLoopParts()> make_loop_parts;
};

int RunUpdaterModule(const UpdaterModuleParts& parts);

}  // namespace rk::app
