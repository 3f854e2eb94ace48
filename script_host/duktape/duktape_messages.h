// Texts of the Duktape host: its own, and those it shares with the other
// hosts' documented behaviour.
#pragma once

namespace Corvane::Script::duktape {

inline constexpr wchar_t kMsgScriptTimeout[] =
    L"Script execution exceeded the time limit of %llu ms and was interrupted";
inline constexpr wchar_t kMsgHeapLimit[] = L"Script heap limit of %llu bytes reached; the allocation was refused";
inline constexpr wchar_t kMsgFatal[] = L"Script engine fatal error: %hs; the engine is unusable until it is restarted";
inline constexpr wchar_t kMsgScriptException[] = L"A JavaScript exception occurred while executing script %s - %s";
inline constexpr wchar_t kMsgCallFailed[] = L"JsCallFunction Failed due to: %s";
inline constexpr wchar_t kMsgScriptStack[] = L"JavaScript stack: %hs";
inline constexpr wchar_t kMsgHostInitFailed[] = L"Host Initialization failed due to: %hs";
inline constexpr wchar_t kMsgCreateRuntimeFailed[] = L"Failed to create JavaScript runtime: %s";
inline constexpr wchar_t kMsgHostCreated[] = L"Successfully created and initialized DuktapeScriptHost";
inline constexpr wchar_t kMsgEngineLoaded[] =
    L"********************Loaded Duktape engine******************************";
inline constexpr wchar_t kMsgCleanAllFailed[] = L"Failed to execute final clean all on scripthost destruction.";
inline constexpr wchar_t kMsgInvokerFailed[] = L"Failed to get global object when getting Invoker: %s";
inline constexpr wchar_t kMsgGarbageCollectionFailed[] = L"Garbage collection failed: %s";

inline constexpr char kTextHeapDead[] = "The script engine died of a fatal error";
inline constexpr char kTextHeapMissing[] = "Js object not initialised";
inline constexpr char kTextUndescribedError[] = "<error retriving property from object>";
inline constexpr char kTextCollected[] = "Object has been garbage collected by the JavaScript runtime";
inline constexpr char kTextWrongThread[] = "Script object called outside its script thread";
inline constexpr char kTextNoFunction[] = "Could not get function property, Failed due to: ";
inline constexpr char kTextNotNative[] = "Native method called on an object that is not a plug-in";
inline constexpr char kTextSetPropertyFailed[] = "Failed to set property: ";

}  // namespace Corvane::Script::duktape
