// The test library of the engine's test hook, loaded by the tests through
// the registry configuration. Behaviour comes from the configuration text
// ("{name='value',...}"):
//   events   file that receives one line per event: name, tab, arguments
//   sigcheck answer to OnSigCheck
//   intercept command name whose OnInterestingCommand is answered "true"
//   answer   answer to OnExecuteCommand
//   url, xml a URL whose OnInterestingUrl is answered "true", and the
//            document (text) GetXml serves for it
//   fail     an event name whose dispatch reports an error
//   failinit "1": the Initialize controller call reports an error
#include <cstdio>
#include <map>
#include <string>

namespace {

std::map<std::string, std::string>& config() {
    static std::map<std::string, std::string> values;
    return values;
}

std::string value(const std::string& name) {
    const auto it = config().find(name);
    return it == config().end() ? std::string() : it->second;
}

// name='value' pairs separated by ','; values hold no quote.
void parse_config(const std::string& text) {
    config().clear();
    std::size_t pos = text.find('{');
    pos = pos == std::string::npos ? 0 : pos + 1;
    while (pos < text.size()) {
        const std::size_t equals = text.find("='", pos);
        if (equals == std::string::npos) {
            break;
        }
        const std::size_t end = text.find('\'', equals + 2);
        if (end == std::string::npos) {
            break;
        }
        config()[text.substr(pos, equals - pos)] = text.substr(equals + 2, end - equals - 2);
        pos = end + 2;  // past the quote and the ','
    }
}

void record(const char* event, const char* arguments) {
    const std::string file = value("events");
    if (file.empty()) {
        return;
    }
    if (FILE* out = std::fopen(file.c_str(), "a")) {
        std::fprintf(out, "%s\t%s\n", event, arguments);
        std::fclose(out);
    }
}

std::string answer_for(const std::string& event, const std::string& arguments) {
    if (event == "OnSigCheck") {
        return value("sigcheck");
    }
    if (event == "OnInterestingCommand") {
        const std::string intercept = value("intercept");
        return !intercept.empty() && arguments.find("CMD=\"" + intercept + "\"") != std::string::npos ? "true" : "";
    }
    if (event == "OnExecuteCommand") {
        return value("answer");
    }
    if (event == "OnInterestingUrl") {
        const std::string url = value("url");
        return !url.empty() && arguments == "{url=\"" + url + "\"}" ? "true" : "";
    }
    if (event == "GetXml") {
        return value("xml");
    }
    return "";
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) void Dispatcher(const char* event, const char* arguments, const char** result,
                                                       const char** error) {
    record(event, arguments);
    if (value("fail") == event) {
        *error = "test failure";
        return;
    }
    // Released by Release(); the engine copies it first.
    const std::string text = answer_for(event, arguments);
    char* copy = new char[text.size() + 1];
    text.copy(copy, text.size());
    copy[text.size()] = '\0';
    *result = copy;
}

__attribute__((visibility("default"))) void Controller(const char* command, const char* argument, const char** error,
                                                       void* /*reserved*/) {
    if (std::string(command) == "Initialize") {
        parse_config(argument);
        record("Controller", command);
        if (value("failinit") == "1") {
            *error = "initialisation refused";
        }
    }
}

__attribute__((visibility("default"))) void Release(const char* result) { delete[] result; }

}  // extern "C"
