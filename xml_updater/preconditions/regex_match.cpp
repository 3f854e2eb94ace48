#include "xml_updater/preconditions/regex_match.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <memory>

#include "platform/text/utf.h"
#include "xml_updater/preconditions/precondition_constants.h"
#include "xml_updater/xml_updater_log.h"

namespace XMLUpdater::v2::NSRegEx {
namespace {

constexpr wchar_t kFile[] = L"regex_match.cpp";
constexpr wchar_t kFunction[] = L"NSRegEx::DoesMatch";
constexpr std::size_t kErrorMessageChars = 256;

struct CodeDeleter {
    void operator()(pcre2_code* code) const { pcre2_code_free(code); }
};
struct MatchDataDeleter {
    void operator()(pcre2_match_data* data) const { pcre2_match_data_free(data); }
};
struct MatchContextDeleter {
    void operator()(pcre2_match_context* context) const { pcre2_match_context_free(context); }
};

bool match(const std::string& subject, const std::string& expression) {
    int error = 0;
    PCRE2_SIZE offset = 0;
    const std::unique_ptr<pcre2_code, CodeDeleter> code(
        pcre2_compile(reinterpret_cast<PCRE2_SPTR>(expression.data()), expression.size(), 0, &error, &offset, nullptr));
    if (!code) {
        PCRE2_UCHAR message[kErrorMessageChars] = {};
        pcre2_get_error_message(error, message, kErrorMessageChars);
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgRegexCompileError, static_cast<int>(offset),
                      reinterpret_cast<const char*>(message));
        return false;
    }
    const std::unique_ptr<pcre2_match_data, MatchDataDeleter> data(
        pcre2_match_data_create_from_pattern(code.get(), nullptr));
    const std::unique_ptr<pcre2_match_context, MatchContextDeleter> context(pcre2_match_context_create(nullptr));
    if (!data || !context) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgRegexExecError, PCRE2_ERROR_NOMEMORY);
        return false;
    }
    pcre2_set_match_limit(context.get(), kRegexMatchLimit);
    pcre2_set_heap_limit(context.get(), kRegexHeapLimitKiB);
    const int rc = pcre2_match(code.get(), reinterpret_cast<PCRE2_SPTR>(subject.data()), subject.size(), 0, 0,
                               data.get(), context.get());
    if (rc >= 0) {
        return true;
    }
    if (rc != PCRE2_ERROR_NOMATCH) {
        XmlUpdaterLog(kXmlLogError, kFile, kFunction, __LINE__, kMsgRegexExecError, rc);
    }
    return false;
}

}  // namespace

bool DoesMatch(const std::wstring& text, const std::wstring& pattern) {
    XmlUpdaterLog(kXmlLogInformation, kFile, kFunction, __LINE__, kMsgRegexMatching, text, pattern);
    const bool matched = match(rk::text::wide_to_utf8(text), rk::text::wide_to_utf8(pattern));
    XmlUpdaterLog(kXmlLogInformation, kFile, kFunction, __LINE__, matched ? kMsgRegexMatched : kMsgRegexNotMatched,
                  text, pattern);
    return matched;
}

}  // namespace XMLUpdater::v2::NSRegEx
