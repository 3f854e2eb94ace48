// Texts and names of content trust, written once.
#pragma once

#include <cstdint>

namespace rk::trust {

inline constexpr wchar_t kValidationSuccess[] = L"Binary validation success";
inline constexpr wchar_t kValidationFailed[] = L"Binary validation failed";

inline constexpr wchar_t kComponent[] = L"trust";
inline constexpr char kTraceComponent[] = "trust";

// Content location below ProgramData, and the files of a version folder.
inline constexpr wchar_t kContentRoot[] = L"Corvane\\KTV\\content\\av-trust";
inline constexpr wchar_t kDefaultProgramData[] = L"C:\\ProgramData";
inline constexpr wchar_t kCabName[] = L"rk-av-trust.cab";
inline constexpr wchar_t kContentName[] = L"rk-av-trust.bin";
inline constexpr wchar_t kLibraryName[] = L"rk-av-trust.dll";

// Exports of the validation library.
inline constexpr char kExportInit[] = "vxa_trust_init";
inline constexpr char kExportValidate[] = "vxa_trust_validate";
inline constexpr char kExportUninit[] = "vxa_trust_uninit";

// The framework cache procedure and its payload fields.
inline constexpr wchar_t kCacheProcedure[] = L"av.cache.set";
inline constexpr char kFieldTarget[] = "target";
inline constexpr char kFieldFlags[] = "flags";

// Content file fields.
inline constexpr char kFieldVersion[] = "version";
inline constexpr char kFieldCerts[] = "certs";
inline constexpr char kFieldHash[] = "hash";
inline constexpr char kFieldName[] = "name";
inline constexpr char kFieldType[] = "type";

// Errors.
inline constexpr wchar_t kInvalidType[] = L"invalid type: %d";
inline constexpr wchar_t kInvalidHashSize[] = L"invalid hash size: %d";
inline constexpr wchar_t kNoVersionFolder[] = L"no av-trust version folder found";
inline constexpr wchar_t kIgnoringFolder[] = L"ignoring folder: '%ls' that is not in the correct format";
inline constexpr wchar_t kIsDirectoryFailed[] = L"failed to determine if '%ls' is a directory";
inline constexpr wchar_t kValidateCabFailed[] = L" failed to validate cab '%.*ls'";
inline constexpr wchar_t kReadCabFailed[] = L" failed to read cab '%.*ls'";
inline constexpr wchar_t kParseContentFailed[] = L"failed to parse content from file '%ls' (%zu/%zu) in '%.*ls'";
inline constexpr wchar_t kNoContentFrom[] = L"didn't find any content from '%.*ls'";
inline constexpr wchar_t kNoContentAt[] = L"no content at '%ls'";
inline constexpr wchar_t kJournalInfoFailed[] = L"failed to get journal info for '%.*ls' (0x%p)";
inline constexpr wchar_t kSignaturesFailed[] = L"failed to get signatures of '%.*ls'";
inline constexpr wchar_t kLibValidateFailed[] = L"failed to validate '%.*ls' with lib";
inline constexpr wchar_t kDllValidateFailed[] = L"failed to validate '%ls'";
inline constexpr wchar_t kDllNotSigned[] = L"'%ls' is not signed by Corvane";
inline constexpr wchar_t kDllLoadFailed[] = L"failed load '%ls'";
inline constexpr wchar_t kDllExportMissing[] = L"failed to get exported function '%hs'";
inline constexpr wchar_t kDllNoExports[] = L"'%ls' doesn't have expected exports";
inline constexpr wchar_t kDllInitFailed[] = L"initialize failed";
inline constexpr wchar_t kTrustDllFailed[] = L"failed to load trust dll";
inline constexpr wchar_t kExceptionInValidate[] = L"exception in validate()";
inline constexpr wchar_t kComInitFailed[] = L"failed to initialize COM";
inline constexpr wchar_t kUpdateCacheFailed[] = L"failed to update cache";
inline constexpr wchar_t kNoControllerNoCache[] = L"failed to create controller -- not caching";

// Log lines.
inline constexpr wchar_t kLogSkipNonDirectory[] = L"[trust] skip non-directory item: '%ls'";
inline constexpr wchar_t kLogLatestFolder[] = L"[trust] latest content version folder: '%ls'";
inline constexpr wchar_t kLogLookingForContent[] = L"[trust] looking for trust content in: '%ls'";
inline constexpr wchar_t kLogCheckingFolder[] = L"[trust] checking content folder: '%ls'";
inline constexpr wchar_t kLogValidatedCab[] = L"[trust] validated cab '%.*ls', result: %llu %hs, signed_by_corvane: %d";
inline constexpr wchar_t kLogCabNotSigned[] = L"[trust] '%.*ls' not signed by corvane -- continue";
inline constexpr wchar_t kLogReadFiles[] = L"[trust] read %zu file(s) from '%.*ls'";
inline constexpr wchar_t kLogIgnoreFile[] = L"[trust] ignore file '%ls' (%zu/%zu) in '%.*ls'";
inline constexpr wchar_t kLogParsedContent[] = L"[trust] parsed content version %llu from file '%ls' (%zu/%zu) in '%.*ls'";
inline constexpr wchar_t kLogNoContentContinue[] = L"[trust] didn't find content in '%.*ls' -- continue";
inline constexpr wchar_t kLogNotNewer[] = L"[trust] '%.*ls' = v %llu, current = v %llu -- continue";
inline constexpr wchar_t kLogCached[] = L"[trust] (cached valued) '%.*ls' 0x%llx %hs";
inline constexpr wchar_t kLogCert[] = L"[trust] '%.*ls' cert %u/%zu: '%ls', type: %#x, flags: %#llx %hs";
inline constexpr wchar_t kLogExitDetail[] = L" target: '%.*ls', content version: %llu, final_result: %#llx %hs";
inline constexpr wchar_t kLogDllSigned[] = L"[trust] trust dll classified '%.*ls' is signed by Corvane";
inline constexpr wchar_t kLogValidatedLib[] = L"[trust] validated '%.*ls' using lib, result: %llu [%hs]";
inline constexpr wchar_t kLogValidatedDll[] = L"[trust] validated '%.*ls' using dll, error: %d, flags: %llu [%hs]";
inline constexpr wchar_t kLogSkipPpl[] = L"[trust] skip validating '%ls': host is ppl";
inline constexpr wchar_t kLogSkipTestMode[] = L"[trust] skip validating '%ls': test mode is enabled";
inline constexpr wchar_t kLogUpdateCache[] =
    L"[trust] update cache by invoking 'av.cache.set' with payload '%ls', hr: %#lx, result: %lu";

}  // namespace rk::trust
