// Windows command-line splitting, including the documented examples of the
// Microsoft C runtime.
#include <gtest/gtest.h>

#include "platform/system/process/command_line.h"
#include "platform/text/utf.h"

namespace rk::sys {
namespace {

using Args = std::vector<std::wstring>;

TEST(SplitCommandLine, Table) {
    struct Case {
        std::wstring line;
        Args args;
    };
    const Case cases[] = {
        // The C runtime's documented examples (program name "p" added).
        {LR"(p "a b c" d e)", {L"p", L"a b c", L"d", L"e"}},
        {LR"(p "ab\"c" "\\" d)", {L"p", L"ab\"c", L"\\", L"d"}},
        {LR"(p a\\\b d"e f"g h)", {L"p", L"a\\\\\\b", L"de fg", L"h"}},
        {LR"(p a\\\"b c d)", {L"p", L"a\\\"b", L"c", L"d"}},
        {LR"(p a\\\\"b c" d e)", {L"p", L"a\\\\b c", L"d", L"e"}},
        {LR"(p a"b"" c d)", {L"p", L"ab\" c d"}},
        // The program name: quotes group, backslashes are plain.
        {LR"("C:\Program Files\x\Brightscan_Release.exe" /S /v"/qn")",
         {L"C:\\Program Files\\x\\Brightscan_Release.exe", L"/S", L"/v/qn"}},
        {LR"(C:\dir\a.exe)", {L"C:\\dir\\a.exe"}},
        {LR"("C:\dir\"x y)", {L"C:\\dir\\x", L"y"}},
        {LR"(C:\a"b c"d e)", {L"C:\\ab cd", L"e"}},
        // The executor's form: quoted file, blank, empty parameters.
        {LR"("/opt/x/Brightscan_Release.exe" )", {L"/opt/x/Brightscan_Release.exe"}},
        {L" leading blank", {L"", L"leading", L"blank"}},
        {L"p\t\ttabs  and   blanks\t", {L"p", L"tabs", L"and", L"blanks"}},
        {L"p \"\"", {L"p", L""}},
        {L"p \"unterminated arg", {L"p", L"unterminated arg"}},
        {L"p trailing\\", {L"p", L"trailing\\"}},
        {L"p \"x\\\\\"", {L"p", L"x\\"}},
        {L"p \"\"\"\"", {L"p", L"\""}},
        {L"p \u00e9t\u00e9 \u65e5\u672c", {L"p", L"\u00e9t\u00e9", L"\u65e5\u672c"}},
        {L"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(text::wide_to_utf8(c.line));
        EXPECT_EQ(split_command_line(c.line), c.args);
    }
}

TEST(QuoteArgument, RoundTripsThroughSplitting) {
    const std::wstring awkward[] = {
        L"plain", L"", L"with blank", L"tab\there", L"quote\"inside", L"\"", L"trailing\\", L"trailing\\\\",
        L"\\\"", L"C:\\Program Files\\", L"a\\\\\\\"b", L"\"\"",
    };
    std::wstring line = L"prog";
    Args expected = {L"prog"};
    for (const auto& argument : awkward) {
        line += L' ';
        line += quote_argument(argument);
        expected.push_back(argument);
    }
    EXPECT_EQ(split_command_line(line), expected);
}

}  // namespace
}  // namespace rk::sys
