// Words of the preconditions: types, operand names, operators and log
// messages, declared once for the code and its tests.
#pragma once

namespace XMLUpdater::v2 {

// Types, in registration order.
inline constexpr wchar_t kTypeString[] = L"STR";
inline constexpr wchar_t kTypeNumber[] = L"NUM";
inline constexpr wchar_t kTypeVersion[] = L"VER";
inline constexpr wchar_t kTypeCoinflip[] = L"CF";
inline constexpr wchar_t kTypeDate[] = L"DATE";
inline constexpr wchar_t kTypeDateDelta[] = L"DATE_DELTA";

// Operands (the element text arrives as kAttrValue).
inline constexpr wchar_t kAttrName[] = L"Name";
inline constexpr wchar_t kAttrCompare[] = L"Compare";

// Operators.
inline constexpr wchar_t kOpEq[] = L"EQ";
inline constexpr wchar_t kOpNeq[] = L"NEQ";
inline constexpr wchar_t kOpLt[] = L"LT";
inline constexpr wchar_t kOpGt[] = L"GT";
inline constexpr wchar_t kOpLe[] = L"LE";
inline constexpr wchar_t kOpGe[] = L"GE";
inline constexpr wchar_t kOpRegex[] = L"RE";
inline constexpr wchar_t kOpMod[] = L"MOD";
inline constexpr wchar_t kOpPercentage[] = L"PERCENTAGE";

// Today's date as DATE_DELTA reads it.
inline constexpr wchar_t kTodayToken[] = L"[DATE:TODAY]";

// Manager.
inline constexpr wchar_t kMsgPreconditionInvalidArgument[] = L"invalid argument";
inline constexpr wchar_t kMsgPreconditionExists[] = L"precondition already exists";
inline constexpr wchar_t kMsgPreconditionUnknown[] = L"precondition (%s) doesn't exist or is invalid";
inline constexpr wchar_t kMsgPreconditionThrew[] = L"precondition (%s) failed: %hs";

// Common steps.
inline constexpr wchar_t kMsgPreconditionNoSubstitutor[] = L"invalid substitutor";
inline constexpr wchar_t kMsgSubstituteArgumentsFailed[] = L"Unable to substitute the arguments";

// STR and the regular expression matcher.
inline constexpr wchar_t kMsgInvalidOperator[] = L"Invalid comparison operator: %s";
inline constexpr wchar_t kMsgRegexCompileError[] = L"regex: pcre_compile error; offset: %d, %S";
inline constexpr wchar_t kMsgRegexExecError[] = L"regex: pcre_exec error: %d";
inline constexpr wchar_t kMsgRegexMatching[] = L"regex: matching %S against %S";
inline constexpr wchar_t kMsgRegexMatched[] = L"regex: matching %S against %S => Matched";
inline constexpr wchar_t kMsgRegexNotMatched[] = L"regex: matching %S against %S => Not Matched";

// NUM, VER, DATE, DATE_DELTA, CF.
inline constexpr wchar_t kMsgUnknownOperator[] = L"Unknown comparison operator: %s";
inline constexpr wchar_t kMsgNumberKeyMissing[] = L"Unable to convert %s and %s to integers since the key does not exist";
inline constexpr wchar_t kMsgNumberConvert[] = L"Unable to convert %s and %s to integers";
inline constexpr wchar_t kMsgNumberRange[] = L"Unable to convert %s and %s to integers, out of range";
inline constexpr wchar_t kMsgDateFromName[] = L"failed to parse date from name: %s";
inline constexpr wchar_t kMsgDateFromValue[] = L"failed to parse date from value: %s";
inline constexpr wchar_t kMsgDayCountConvert[] = L"Unable to convert %s to a day count";
inline constexpr wchar_t kMsgCoinflipConvert[] = L"Unable to convert %s to an integer";
inline constexpr wchar_t kMsgCoinflipZero[] = L"value cannot be zero.";

}  // namespace XMLUpdater::v2
