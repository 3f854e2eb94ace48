// rkctl reg: query, add, delete, export and import registry keys and values
// of the store under the root prefix, in the manner of Windows' reg.exe.
#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "platform/config/obfuscated_reg_key.h"
#include "platform/system/process_info.h"
#include "platform/system/registry/registry.h"
#include "platform/text/format.h"
#include "platform/text/utf.h"
#include "tools/rkctl/bounded_file.h"
#include "tools/rkctl/command.h"
#include "tools/rkctl/reg_exporter.h"
#include "tools/rkctl/reg_file_parser.h"
#include "tools/rkctl/reg_file_writer.h"
#include "tools/rkctl/reg_importer.h"
#include "tools/rkctl/reg_key_handle.h"
#include "tools/rkctl/reg_key_name.h"
#include "tools/rkctl/reg_value_text.h"

namespace rk::ctl {
namespace {

using namespace sys::reg;

constexpr char kUsage[] =
    "usage: rkctl reg query  KEY [-v NAME | --ve] [-s] [--32 | --64]\n"
    "       rkctl reg add    KEY [-v NAME | --ve] [-t TYPE] [-d DATA] [--separator SEP] [-f] [--scrambled]\n"
    "                        [--32 | --64]\n"
    "       rkctl reg delete KEY [-v NAME | --ve | --va] [-f] [--32 | --64]\n"
    "       rkctl reg export KEY FILE [-y] [--utf8] [--32 | --64]\n"
    "       rkctl reg import FILE [--32 | --64]\n"
    "\n"
    "Reads and changes the registry store under the root prefix $RK_ROOT.\n"
    "KEY is ROOT\\path with ROOT one of HKLM, HKCU, HKCR, HKU, HKCC or their long\n"
    "names (HKEY_LOCAL_MACHINE ...). Quote it: the shell eats backslashes.\n"
    "\n"
    "query   prints the key's values (name, type, data) and its subkeys;\n"
    "        -v NAME / --ve one value (--ve: the default value); -s the whole tree.\n"
    "add     creates the key and, with -v NAME or --ve, sets a value.\n"
    "        -t TYPE  REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD,\n"
    "                 REG_QWORD, REG_BINARY, REG_NONE or a type number (0x...)\n"
    "        -d DATA  text; a number for REG_DWORD/REG_QWORD (decimal or 0x hex,\n"
    "                 default 0); hex digits for binary types; REG_MULTI_SZ items\n"
    "                 separated by the two characters \\0 or by --separator SEP\n"
    "        -f       overwrite an existing value\n"
    "        --scrambled  store the value scrambled, as the obfuscated registry key\n"
    "                 writes it (\"Logging Mechanism\" and other scrambled settings)\n"
    "delete  deletes a value (-v NAME, --ve), all values of the key (--va) or the\n"
    "        key with everything below it; each needs -f, reg.exe's confirmation.\n"
    "export  writes KEY and everything below it to a .reg file (\"Windows Registry\n"
    "        Editor Version 5.00\", UTF-16LE as regedit writes it, --utf8 for UTF-8);\n"
    "        -y overwrites an existing FILE.\n"
    "import  applies a .reg file, all or nothing: a malformed file names its line\n"
    "        and changes nothing.\n"
    "\n"
    "--32 / --64 choose the 32-bit or 64-bit registry view (default: 64-bit, the\n"
    "native one); the 32-bit view of HKLM\\SOFTWARE is HKLM\\SOFTWARE\\WOW6432Node.\n"
    "\n"
    "Exit status: 0 success, 1 failure (one message on stderr), 2 usage error.\n";

// .reg files larger than this are refused rather than read into memory.

constexpr LONG kNotFound = static_cast<LONG>(win::kErrorFileNotFound);

struct Options {
    std::string subcommand;
    std::vector<std::wstring> positional;
    std::optional<std::wstring> value;      // -v NAME
    bool default_value = false;             // --ve
    bool all_values = false;                // --va
    std::optional<std::wstring> type;       // -t
    std::optional<std::wstring> data;       // -d
    std::optional<std::wstring> separator;  // --separator
    bool recursive = false;                 // -s
    bool force = false;                     // -f
    bool overwrite = false;                 // -y
    bool utf8 = false;                      // --utf8
    bool scrambled = false;                 // --scrambled
    REGSAM view = 0;                        // --32 / --64
};

int usage_error(const std::string& sub, const std::string& message) {
    std::fprintf(stderr, "rkctl reg%s%s: %s (rkctl reg --help)\n", sub.empty() ? "" : " ", sub.c_str(),
                 message.c_str());
    return kExitUsage;
}

int failure(const Options& o, const std::wstring& message) {
    std::fprintf(stderr, "rkctl reg %s: %s\n", o.subcommand.c_str(), text::wide_to_utf8(message).c_str());
    return kExitFailure;
}

void out(const std::wstring& line) { std::printf("%s\n", text::wide_to_utf8(line).c_str()); }

// Parses everything after the subcommand. Returns an error text for a usage
// error, empty on success.
std::string parse_options(const std::vector<std::string>& args, Options& o) {
    bool options_done = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        const auto operand = [&](std::optional<std::wstring>& slot) -> std::string {
            if (i + 1 >= args.size()) return a + " needs a value";
            auto w = text::utf8_to_wide_strict(args[++i]);
            if (!w) return a + ": argument is not valid UTF-8";
            slot = std::move(*w);
            return {};
        };
        std::string err;
        if (options_done || a.empty() || a[0] != '-' || a == "-") {
            auto w = text::utf8_to_wide_strict(a);
            if (!w) return "argument is not valid UTF-8";
            o.positional.push_back(std::move(*w));
        } else if (a == "--") {
            options_done = true;
        } else if (a == "-v") {
            err = operand(o.value);
        } else if (a == "-t") {
            err = operand(o.type);
        } else if (a == "-d") {
            err = operand(o.data);
        } else if (a == "--separator") {
            err = operand(o.separator);
        } else if (a == "--ve") {
            o.default_value = true;
        } else if (a == "--va") {
            o.all_values = true;
        } else if (a == "-s") {
            o.recursive = true;
        } else if (a == "-f") {
            o.force = true;
        } else if (a == "-y") {
            o.overwrite = true;
        } else if (a == "--utf8") {
            o.utf8 = true;
        } else if (a == "--scrambled") {
            o.scrambled = true;
        } else if (a == "--32" || a == "--64") {
            const REGSAM view = a == "--32" ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;
            if (o.view != 0 && o.view != view) return "--32 and --64 exclude each other";
            o.view = view;
        } else {
            return "unknown option " + a;
        }
        if (!err.empty()) return err;
    }
    if (o.value && o.default_value) return "-v and --ve exclude each other";
    return {};
}

// Which options a subcommand takes besides the views.
std::string check_allowed(const Options& o, std::size_t positional, bool value, bool all_values, bool add_data,
                          bool recursive, bool force, bool file_flags) {
    if (o.positional.size() != positional) {
        return text::wide_to_utf8(
            text::format(L"expects %zu argument%ls", positional, positional == 1 ? L"" : L"s"));
    }
    if (!value && (o.value || o.default_value)) return "takes no -v or --ve";
    if (!all_values && o.all_values) return "takes no --va";
    if (o.all_values && (o.value || o.default_value)) return "--va excludes -v and --ve";
    if (!add_data && (o.type || o.data || o.separator)) return "takes no -t, -d or --separator";
    if (!recursive && o.recursive) return "takes no -s";
    if (!force && o.force) return "takes no -f";
    if (!file_flags && (o.overwrite || o.utf8)) return "takes no -y or --utf8";
    if (!add_data && o.scrambled) return "takes no --scrambled";
    return {};
}

std::optional<regfile::KeyName> key_argument(const Options& o, std::wstring& error) {
    auto name = parse_key_argument(o.positional[0], &error);
    if (!name) error = L"bad key name: " + error;
    return name;
}

std::wstring shown_name(const std::wstring& name) { return name.empty() ? std::wstring(kDefaultValueName) : name; }

void print_value(const regfile::RegValue& v) {
    out(L"    " + shown_name(v.name) + L"    " + type_name(v.type) + L"    " + display_data(v.type, v.data));
}

std::wstring key_failure(const regfile::KeyName& name, LONG err) {
    if (err == kNotFound) return L"key " + full_key_name(name) + L" not found";
    return text::format(L"cannot open %ls: %ls", full_key_name(name), error_text(err));
}

int run_query(const Options& o) {
    if (auto e = check_allowed(o, 1, true, false, false, true, false, false); !e.empty()) {
        return usage_error(o.subcommand, e);
    }
    std::wstring error;
    const auto name = key_argument(o, error);
    if (!name) return failure(o, error);
    const RegExporter reader(o.view);
    if (o.value || o.default_value) {
        const std::wstring value_name = o.value.value_or(L"");
        RegKeyHandle key;
        if (const LONG err = RegOpenKeyExW(root_key(name->root), name->path.c_str(), 0, KEY_READ | o.view, key.put());
            err != 0) {
            return failure(o, key_failure(*name, err));
        }
        regfile::RegValue v;
        v.name = value_name;
        DWORD size = 0;
        LONG err = RegQueryValueExW(key.get(), value_name.c_str(), nullptr, &v.type, nullptr, &size);
        while (err == 0 && size > 0) {
            v.data.resize(size);
            DWORD got = size;
            err = RegQueryValueExW(key.get(), value_name.c_str(), nullptr, &v.type, v.data.data(), &got);
            if (err == 0) {
                v.data.resize(got);
                break;
            }
            if (err == static_cast<LONG>(win::kErrorMoreData)) {  // the value grew meanwhile
                size = got;
                err = 0;
            }
        }
        if (err == kNotFound) {
            return failure(o, L"value " + shown_name(value_name) + L" not found in " + full_key_name(*name));
        }
        if (err != 0) return failure(o, L"cannot read value " + shown_name(value_name) + L": " + error_text(err));
        out(full_key_name(*name));
        print_value(v);
        return kExitOk;
    }
    regfile::RegFile file;
    std::vector<std::wstring> subkeys;
    if (o.recursive) {
        if (const LONG err = reader.read_tree(*name, file); err != 0) return failure(o, key_failure(*name, err));
    } else {
        file.keys.emplace_back();
        if (const LONG err = reader.read_key(*name, file.keys.back(), &subkeys); err != 0) {
            return failure(o, key_failure(*name, err));
        }
    }
    for (const auto& key : file.keys) {
        out(key.full_name());
        for (const auto& v : key.values) print_value(v);
        out(L"");
    }
    for (const auto& sub : subkeys) out(full_key_name(*name) + L"\\" + sub);
    return kExitOk;
}

int run_add(const Options& o) {
    if (auto e = check_allowed(o, 1, true, false, true, false, true, false); !e.empty()) {
        return usage_error(o.subcommand, e);
    }
    const bool has_value = o.value || o.default_value;
    if (!has_value && (o.type || o.data || o.separator || o.scrambled)) {
        return usage_error(o.subcommand, "-t, -d and --scrambled need -v NAME or --ve");
    }
    std::wstring error;
    const auto name = key_argument(o, error);
    if (!name) return failure(o, error);
    DWORD type = REG_SZ;
    if (o.type) {
        const auto t = parse_type(*o.type);
        if (!t) return usage_error(o.subcommand, "unknown value type " + text::wide_to_utf8(*o.type));
        type = *t;
    }
    if (o.separator && type != REG_MULTI_SZ) return usage_error(o.subcommand, "--separator is for REG_MULTI_SZ only");
    const std::wstring data_text = o.data.value_or(type == REG_DWORD || type == REG_QWORD ? L"0" : L"");
    std::optional<std::vector<std::uint8_t>> data;
    if (has_value) {
        data = parse_data(type, data_text, o.separator.value_or(std::wstring(kMultiSzSeparator)), error);
        if (!data) return failure(o, error);
    }
    const std::wstring value_name = o.value.value_or(L"");
    if (text::utf16_length(value_name) > kMaxValueNameLength) {
        return failure(o, L"value name longer than 16383 characters");
    }
    // Key and value in one transaction: a refused value leaves no new key.
    bool exists = false;
    const LONG err = run_in_transaction(root_key(name->root), [&]() -> LONG {
        RegKeyHandle key;
        if (const LONG e = RegCreateKeyExW(root_key(name->root), name->path.c_str(), 0, nullptr,
                                           REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS | o.view, nullptr, key.put(), nullptr);
            e != 0) {
            error = text::format(L"cannot create key %ls: %ls", full_key_name(*name), error_text(e));
            return e;
        }
        if (!has_value) return 0;
        DWORD size = 0;
        if (RegQueryValueExW(key.get(), value_name.c_str(), nullptr, nullptr, nullptr, &size) == 0 && !o.force) {
            exists = true;
            return static_cast<LONG>(win::kErrorAlreadyExists);
        }
        const auto* bytes = data->empty() ? nullptr : data->data();
        const auto byte_count = static_cast<DWORD>(data->size());
        LONG e = 0;
        if (o.scrambled) {
            DiraDoro::CObfuscatedRegKey scrambled;
            scrambled.Attach(key.get());
            e = scrambled.SetValue(value_name.c_str(), type, bytes, byte_count);
            scrambled.Detach();
        } else {
            e = RegSetValueExW(key.get(), value_name.c_str(), 0, type, bytes, byte_count);
        }
        if (e != 0) {
            error = text::format(L"cannot set value %ls: %ls", shown_name(value_name), error_text(e));
            return e;
        }
        return 0;
    });
    if (exists) return failure(o, L"value " + shown_name(value_name) + L" exists in " + full_key_name(*name) + L" (-f overwrites it)");
    if (err != 0) return failure(o, error.empty() ? error_text(err) : error);
    return kExitOk;
}

int run_delete(const Options& o) {
    if (auto e = check_allowed(o, 1, true, true, false, false, true, false); !e.empty()) {
        return usage_error(o.subcommand, e);
    }
    const bool whole_key = !o.value && !o.default_value && !o.all_values;
    if (!o.force) {
        return usage_error(o.subcommand, whole_key      ? "deleting a key tree needs -f"
                                         : o.all_values ? "--va needs -f"
                                                        : "deleting a value needs -f");
    }
    std::wstring error;
    const auto name = key_argument(o, error);
    if (!name) return failure(o, error);
    if (whole_key && name->path.empty()) return failure(o, L"a root key cannot be deleted");
    RegKeyHandle key;
    if (const LONG err = RegOpenKeyExW(root_key(name->root), name->path.c_str(), 0, KEY_ALL_ACCESS | o.view, key.put());
        err != 0) {
        return failure(o, key_failure(*name, err));
    }
    if (o.value || o.default_value) {
        const std::wstring value_name = o.value.value_or(L"");
        const LONG err = RegDeleteValueW(key.get(), value_name.c_str());
        if (err == kNotFound) return failure(o, L"value " + shown_name(value_name) + L" not found in " + full_key_name(*name));
        if (err != 0) return failure(o, L"cannot delete value " + shown_name(value_name) + L": " + error_text(err));
        return kExitOk;
    }
    const LONG err = run_in_transaction(key.get(), [&]() -> LONG {
        if (o.all_values) {
            regfile::RegKey current;
            if (const LONG e = RegExporter(o.view).read_key(*name, current, nullptr); e != 0) return e;
            for (const auto& v : current.values) {
                if (const LONG e = RegDeleteValueW(key.get(), v.name.c_str()); e != 0) return e;
            }
            return 0;
        }
        if (const LONG e = RegDeleteTreeW(key.get(), nullptr); e != 0) return e;
        return RegDeleteKeyExW(root_key(name->root), name->path.c_str(), o.view, 0);
    });
    if (err != 0) return failure(o, L"cannot delete in " + full_key_name(*name) + L": " + error_text(err));
    return kExitOk;
}

// Names a .reg file cannot carry: a line break would end the line.
bool representable(const std::wstring& name) { return name.find_first_of(L"\r\n") == std::wstring::npos; }

int run_export(const Options& o) {
    if (auto e = check_allowed(o, 2, false, false, false, false, false, true); !e.empty()) {
        return usage_error(o.subcommand, e);
    }
    std::wstring error;
    const auto name = key_argument(o, error);
    if (!name) return failure(o, error);
    const std::filesystem::path target(text::wide_to_utf8(o.positional[1]));
    std::error_code ec;
    if (!o.overwrite && std::filesystem::exists(target, ec)) {
        return failure(o, L"file " + o.positional[1] + L" exists (-y overwrites it)");
    }
    regfile::RegFile file;
    if (const LONG err = RegExporter(o.view).read_tree(*name, file); err != 0) return failure(o, key_failure(*name, err));
    for (const auto& key : file.keys) {
        if (!representable(key.path)) return failure(o, L"key " + key.full_name() + L" has a line break in its name");
        for (const auto& v : key.values) {
            if (!representable(v.name)) {
                return failure(o, L"value \"" + v.name + L"\" of " + key.full_name() + L" has a line break in its name");
            }
        }
    }
    const auto bytes = regfile::write_reg_file(file, o.utf8 ? regfile::Encoding::kUtf8 : regfile::Encoding::kUtf16Le);
    // Written beside the target and renamed, so a reader never sees half a file.
    std::filesystem::path temp = target;
    temp += text::format(".tmp-%d", static_cast<int>(sys::current_process_id())).c_str();
    {
        std::ofstream stream(temp, std::ios::binary | std::ios::trunc);
        stream.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        stream.close();
        if (!stream) {
            std::filesystem::remove(temp, ec);
            return failure(o, L"cannot write " + o.positional[1]);
        }
    }
    std::filesystem::rename(temp, target, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return failure(o, L"cannot write " + o.positional[1]);
    }
    return kExitOk;
}

int run_import(const Options& o) {
    if (auto e = check_allowed(o, 1, false, false, false, false, false, false); !e.empty()) {
        return usage_error(o.subcommand, e);
    }
    const std::wstring& shown = o.positional[0];
    const std::filesystem::path source(text::wide_to_utf8(shown));
    std::ifstream in;
    std::uintmax_t left = 0;
    switch (open_bounded_file(source, kMaxRegImportBytes, in, left)) {
        case BoundedRead::kOk:
            break;
        case BoundedRead::kTooLarge:
            return failure(o, shown + L" is larger than 256 MiB");
        case BoundedRead::kCannotRead:
            return failure(o, L"cannot read " + shown);
    }
    // Read as it is parsed, up to the size that was checked (a file that
    // grows meanwhile is taken as it was); one cut short cannot be read.
    const auto parsed = regfile::parse_reg_file([&in, &left](std::uint8_t* data, std::size_t size) -> std::ptrdiff_t {
        const auto wanted = static_cast<std::streamsize>(std::min<std::uintmax_t>(size, left));
        if (wanted == 0) return 0;
        in.read(reinterpret_cast<char*>(data), wanted);
        const std::streamsize got = in.gcount();
        if (got == 0) return -1;
        left -= static_cast<std::uintmax_t>(got);
        return got;
    });
    if (!parsed.ok()) return failure(o, text::format(L"%ls:%d: %ls", shown, parsed.error.line, parsed.error.message));
    ImportFailure why;
    if (RegImporter(o.view).apply(*parsed.file, why) != 0) {
        return failure(o, why.line > 0 ? text::format(L"%ls:%d: %ls; nothing was changed", shown, why.line, why.message)
                                       : text::format(L"%ls: %ls; nothing was changed", shown, why.message));
    }
    return kExitOk;
}

int run_reg(const std::vector<std::string>& args) {
    if (args.empty()) return usage_error("", "missing subcommand: query, add, delete, export or import");
    Options o;
    o.subcommand = args[0];
    if (const auto err = parse_options(args, o); !err.empty()) return usage_error(o.subcommand, err);
    if (o.subcommand == "query") return run_query(o);
    if (o.subcommand == "add") return run_add(o);
    if (o.subcommand == "delete") return run_delete(o);
    if (o.subcommand == "export") return run_export(o);
    if (o.subcommand == "import") return run_import(o);
    return usage_error("", "unknown subcommand " + o.subcommand);
}

const CommandRegistrar kReg({"reg", "query, add, delete, export and import registry keys and values", kUsage, run_reg});

}  // namespace
}  // namespace rk::ctl
