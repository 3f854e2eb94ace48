// Telemetry of update documents (SEND_EVENT, SET_CD), implemented by the
// host (the analytics content plug-in) and handed to CUpdater::Initialize.
#pragma once

namespace XMLUpdater::v2::NTelemetry::NAdHoc {

class IEventSender {
public:
    // The host's own set-up; CUpdater::Initialize fails when it fails.
    virtual bool Initialize() = 0;
    // Absent values are null. The result is not used by the engine.
    virtual bool SendEvent(const wchar_t* category, const wchar_t* action, const wchar_t* label, const wchar_t* r1,
                           const wchar_t* r2, const wchar_t* r3, const wchar_t* r4, const wchar_t* r5) = 0;
    // Two operations of the host that the engine does not call.
    virtual bool Flush() = 0;
    virtual bool Shutdown() = 0;
    virtual bool SetCustomDimension(const wchar_t* name, const wchar_t* value) = 0;
    virtual ~IEventSender() = default;
};

}  // namespace XMLUpdater::v2::NTelemetry::NAdHoc
