// The framework client's protocol words and log texts, written once.
#pragma once

#include <cstdint>

namespace ctp {

// Message names (framework.*) by their 16-bit type codes.
namespace message_type {
inline constexpr std::uint16_t kPublish = 1;
inline constexpr std::uint16_t kSubscribe = 2;
inline constexpr std::uint16_t kSignal = 3;
inline constexpr std::uint16_t kListen = 4;
inline constexpr std::uint16_t kRegisterSettings = 5;
inline constexpr std::uint16_t kRegisterEvents = 6;
inline constexpr std::uint16_t kUnsubscribe = 7;
inline constexpr std::uint16_t kGetSetting = 8;
inline constexpr std::uint16_t kSetSetting = 9;
inline constexpr std::uint16_t kModuleSubscribe = 10;
inline constexpr std::uint16_t kModuleListen = 11;
inline constexpr std::uint16_t kModuleUnsubscribe = 12;
inline constexpr std::uint16_t kResponseInvoke = 13;
inline constexpr std::uint16_t kResponseSignal = 14;
inline constexpr std::uint16_t kResponseSystemEvent = 15;
inline constexpr std::uint16_t kResponseSettingChange = 16;
inline constexpr std::uint16_t kConsoleInvoke = 17;
inline constexpr std::uint16_t kConsoleInvokeCancel = 18;
inline constexpr std::uint16_t kConsolePrint = 19;
inline constexpr std::uint16_t kConsoleResult = 20;
inline constexpr std::uint16_t kConsoleAllocate = 21;
inline constexpr std::uint16_t kConsoleSubscribe = 22;
inline constexpr std::uint16_t kModuleRegisterSettings = 23;
}  // namespace message_type

// The framework service on the bus. The Windows product reaches it as COM
// class {1A62D23B-93C2-468A-B6B0-FFB2A23C1C0D}, interface IController
// {7289760F-0C35-425D-B2E6-395BA3DDE3CC}.
inline constexpr char kServiceName[] = "com.corvane.Framework";
inline constexpr char kControllerPath[] = "/com/corvane/Framework/Controller";
inline constexpr char kControllerInterface[] = "com.corvane.Framework.IController";
inline constexpr char kAdminInterface[] = "com.corvane.Framework.Admin";
inline constexpr char kCommunicatorInterface[] = "com.corvane.Framework.ICommunicator";
inline constexpr char kCommunicatorPathPrefix[] = "/com/corvane/Framework/Communicator/";

// IController members and their signatures (in -> out).
inline constexpr char kRegisterCommunicator[] = "RegisterCommunicator";  // so -> i
inline constexpr char kUnregisterCommunicator[] = "UnregisterCommunicator";  // so -> i
inline constexpr char kSendMessage[] = "SendMessage";  // qss -> is
inline constexpr char kInvokeRpc[] = "InvokeRpc";  // ss -> iu
// ICommunicator member: one incoming message (qss), one-way.
inline constexpr char kReceive[] = "Receive";
// Admin members of the stand-in service.
inline constexpr char kEmitSystemEvent[] = "EmitSystemEvent";  // s -> i
inline constexpr char kSetDeliveryDelay[] = "SetDeliveryDelay";  // u -> i

// Payload fields (JSON objects).
inline constexpr char kFieldName[] = "name";
inline constexpr char kFieldNames[] = "names";
inline constexpr char kFieldValue[] = "value";
inline constexpr char kFieldTopic[] = "topic";
inline constexpr char kFieldEvent[] = "event";
inline constexpr char kFieldPayload[] = "payload";
inline constexpr char kFieldDomain[] = "domain";
inline constexpr char kFieldCtrlCode[] = "ctrl_code";
inline constexpr char kFieldEventType[] = "event_type";
inline constexpr char kFieldSessionId[] = "session_id";

// Operation labels.
inline constexpr char kLabelGetSetting[] = "get setting";
inline constexpr char kLabelSetSetting[] = "set setting";
inline constexpr char kLabelPublish[] = "publish";
inline constexpr char kLabelSubscribe[] = "subscribe";
inline constexpr char kLabelListenEvent[] = "listen_event";
inline constexpr char kLabelRegisterSettingChanges[] = "register_for_setting_changes";
inline constexpr char kLabelRegisterSystemEvents[] = "register_for_system_events";
inline constexpr char kLabelUnsubscribe[] = "unsubscribe";
inline constexpr char kLabelSignalEvent[] = "signal_event";
inline constexpr char kLabelInvokeRpc[] = "invoke_rpc";

inline constexpr wchar_t kComponent[] = L"framework";
inline constexpr char kTraceComponent[] = "framework";

// Error texts.
inline constexpr wchar_t kRemoteFailed[] = L"remote %hs failed";
inline constexpr wchar_t kRemoteTimedOut[] = L"remote %hs timed out";
inline constexpr wchar_t kExceptionIn[] = L"exception in %hs";
inline constexpr wchar_t kCoInitializeSecurityFailed[] = L"CoInitializeSecurity failed";
inline constexpr wchar_t kCreateInstanceFailed[] = L"failed to create instance of IController";
inline constexpr wchar_t kRegisterCommunicatorFailed[] = L"register_communicator failed";
inline constexpr wchar_t kInvokeRpcFailed[] = L"invoke_rpc failed for: '%.*ls'";
inline constexpr wchar_t kSettingPayloadTooLarge[] = L"setting change payload is too large";
inline constexpr wchar_t kSignalPayloadTooLarge[] = L"signal payload is too large";
inline constexpr wchar_t kSystemEventMissing[] = L"system event does not contain %.*ls";
inline constexpr wchar_t kMappingNonFramework[] = L"mapping non-framework error to framework_error::unknown";
inline constexpr wchar_t kExceptionInMain[] = L"exception in main -- aborting";
inline constexpr wchar_t kInitializeProviderFailed[] = L"initialize_provider failed";

// Log lines.
inline constexpr wchar_t kLogInitializingCom[] = L"[framework] initializing COM";
inline constexpr wchar_t kLogStartedExternalClient[] = L"[framework] started external client = 0x%llx";
inline constexpr wchar_t kLogTearingDown[] = L"[framework] tearing down client instance";
inline constexpr wchar_t kLogStoppingExternalClient[] = L"[framework] stopping external client";
inline constexpr wchar_t kLogReceived[] = L"[framework] received msg '%.*ls' : '%.*ls'";
inline constexpr wchar_t kLogNotifyingSetting[] = L"[framework] notifying setting changed '%.*ls' = '%.*ls'";
inline constexpr wchar_t kLogNotifyingSystemEvent[] = L"[framework] notifying system event '%ls' = '%d'";
inline constexpr wchar_t kLogNotProcessing[] = L"[framework] not processing message (stopping)";
inline constexpr wchar_t kLogRegisteringSettings[] = L"[framework] registering for setting changes (%zu)";
inline constexpr wchar_t kLogRegisteringSetting[] = L"[framework] registering for setting change (%zu/%zu) to '%.*ls'";
inline constexpr wchar_t kLogThreadStarted[] = L"[framework] communicator thread started";
inline constexpr wchar_t kLogTryingToConnect[] = L"[framework] trying to connect to the framework service";
inline constexpr wchar_t kLogConnected[] = L"[framework] connected to the framework service";
inline constexpr wchar_t kLogReconnectDisabled[] = L"[framework] reconnect disabled -- exiting";
inline constexpr wchar_t kLogWaitingBeforeRetry[] = L"[framework] no connection -- waiting before retry";
inline constexpr wchar_t kLogProcessingRemaining[] = L"[framework] processing remaining work before stopping (%zu items)";
inline constexpr wchar_t kLogReenqueing[] = L"[framework] failed to process all work; re-enqueing %zu items";
inline constexpr wchar_t kLogNotReenqueing[] = L"[framework] not re-enqueing while stopping";
inline constexpr wchar_t kLogResettingController[] = L"[framework] resetting controller (connection terminated)";
inline constexpr wchar_t kLogUnregistering[] = L"[framework] unregistering communicator";
inline constexpr wchar_t kLogStoppingConnection[] = L"[framework] stopping framework connection";
inline constexpr wchar_t kLogRequestingTermination[] = L"[framework] requesting termination of framework connection";
inline constexpr wchar_t kLogWaitingForThread[] = L"[framework] waiting for communicator thread to finish";

// Scoped tracing.
inline constexpr wchar_t kTraceEnter[] = L"[%hs] (+ %d) %hs";
inline constexpr wchar_t kTraceExit[] = L"[%hs] (- %d) %hs [perf] %lldms";

inline constexpr wchar_t kNoName[] = L"{no name}";
inline constexpr wchar_t kNoVersion[] = L"{no version}";
inline constexpr wchar_t kNoProductVersion[] = L"{no-product-version}";
inline constexpr wchar_t kTruncated[] = L"<{!truncated!}>";
inline constexpr wchar_t kThreadName[] = L"framework: com";

}  // namespace ctp
