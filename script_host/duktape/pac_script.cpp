#include "script_host/duktape/pac_script.h"

#include <cstring>
#include <exception>
#include <string>

#include "duktape.h"
#include "script_host/duktape/duktape_heap.h"

namespace Corvane::Script::duktape {
namespace {

constexpr char kHostKey[] = "rkPacHost";
constexpr char kHelpersName[] = "pac-helpers";
constexpr char kScriptName[] = "proxy.pac";
constexpr char kEntryPoint[] = "FindProxyForURL";

// The helper functions, installed on the global object by a function of
// (global, now or null, resolve, local address). Ranges are inclusive at
// the precision given and wrap around (FRI..MON, DEC..FEB, 22..6) except
// when they name years; "GMT" as the last argument reads UTC.
constexpr char kHelpers[] = R"js((function (global, now, resolve, localAddress) {
var DAYS = ['SUN', 'MON', 'TUE', 'WED', 'THU', 'FRI', 'SAT'];
var MONTHS = ['JAN', 'FEB', 'MAR', 'APR', 'MAY', 'JUN', 'JUL', 'AUG', 'SEP', 'OCT', 'NOV', 'DEC'];
function current() { return now === null ? new Date() : new Date(now); }
function zone(args) {
    var n = args.length, gmt = n > 0 && String(args[n - 1]).toUpperCase() === 'GMT';
    return { gmt: gmt, n: gmt ? n - 1 : n };
}
function inRange(start, value, end, wrap) {
    return start <= end || !wrap ? start <= value && value <= end : value >= start || value <= end;
}
function ipv4(text) {
    var m = /^(\d{1,3})\.(\d{1,3})\.(\d{1,3})\.(\d{1,3})$/.exec(String(text));
    if (!m) { return null; }
    var v = 0;
    for (var i = 1; i <= 4; i++) {
        if (+m[i] > 255) { return null; }
        v = v * 256 + +m[i];
    }
    return v;
}
global.dnsResolve = function (host) { return resolve(String(host)); };
global.myIpAddress = function () { return localAddress(); };
global.isResolvable = function (host) { return resolve(String(host)) !== null; };
global.isPlainHostName = function (host) { return String(host).indexOf('.') < 0; };
global.dnsDomainIs = function (host, domain) {
    var h = String(host).toLowerCase(), d = String(domain).toLowerCase();
    return h.length >= d.length && h.substring(h.length - d.length) === d;
};
global.localHostOrDomainIs = function (host, hostdom) {
    var h = String(host).toLowerCase(), d = String(hostdom).toLowerCase();
    return h === d || (h.indexOf('.') < 0 && d.indexOf(h + '.') === 0);
};
global.dnsDomainLevels = function (host) { return String(host).split('.').length - 1; };
global.isInNet = function (host, pattern, mask) {
    var address = ipv4(host) !== null ? String(host) : resolve(String(host));
    var a = address === null ? null : ipv4(address), p = ipv4(pattern), m = ipv4(mask);
    if (a === null || p === null || m === null) { return false; }
    return ((a & m) >>> 0) === ((p & m) >>> 0);
};
global.shExpMatch = function (text, pattern) {
    var s = String(text), p = String(pattern), i = 0, j = 0, star = -1, mark = 0;
    while (i < s.length) {
        if (j < p.length && p.charAt(j) === '*') { star = j++; mark = i; }
        else if (j < p.length && (p.charAt(j) === '?' || p.charAt(j) === s.charAt(i))) { i++; j++; }
        else if (star >= 0) { j = star + 1; i = ++mark; }
        else { return false; }
    }
    while (j < p.length && p.charAt(j) === '*') { j++; }
    return j === p.length;
};
global.weekdayRange = function () {
    var z = zone(arguments);
    if (z.n < 1 || z.n > 2) { return false; }
    var first = DAYS.indexOf(String(arguments[0]).toUpperCase());
    var last = z.n === 2 ? DAYS.indexOf(String(arguments[1]).toUpperCase()) : first;
    if (first < 0 || last < 0) { return false; }
    var d = current();
    return inRange(first, z.gmt ? d.getUTCDay() : d.getDay(), last, true);
};
function datePart(value) {
    var text = String(value);
    if (/^\d+$/.test(text)) {
        var n = +text;
        return n >= 1 && n <= 31 ? { kind: 'd', value: n } : n >= 1000 ? { kind: 'y', value: n } : null;
    }
    var m = MONTHS.indexOf(text.toUpperCase());
    return m < 0 ? null : { kind: 'm', value: m };
}
global.dateRange = function () {
    var z = zone(arguments), n = z.n;
    if (n !== 1 && n !== 2 && n !== 4 && n !== 6) { return false; }
    var parts = [], i;
    for (i = 0; i < n; i++) {
        parts.push(datePart(arguments[i]));
        if (parts[i] === null) { return false; }
    }
    var half = n === 1 ? 1 : n / 2, kinds = '';
    for (i = 0; i < half; i++) {
        kinds += parts[i].kind;
        if (parts[half === n ? i : half + i].kind !== parts[i].kind) { return false; }
    }
    if (['d', 'm', 'y', 'dm', 'my', 'dmy'].indexOf(kinds) < 0) { return false; }
    function key(v) {
        return ((kinds.indexOf('y') >= 0 ? v.y : 0) * 100 + (kinds.indexOf('m') >= 0 ? v.m : 0)) * 100 +
            (kinds.indexOf('d') >= 0 ? v.d : 0);
    }
    function keyAt(offset) {
        var v = {};
        for (var j = 0; j < half; j++) { v[parts[offset + j].kind] = parts[offset + j].value; }
        return key(v);
    }
    var d = current();
    var today = z.gmt ? { y: d.getUTCFullYear(), m: d.getUTCMonth(), d: d.getUTCDate() }
                      : { y: d.getFullYear(), m: d.getMonth(), d: d.getDate() };
    return inRange(keyAt(0), key(today), keyAt(half === n ? 0 : half), kinds.indexOf('y') < 0);
};
global.timeRange = function () {
    var z = zone(arguments), n = z.n, v = [], i;
    if (n !== 1 && n !== 2 && n !== 4 && n !== 6) { return false; }
    for (i = 0; i < n; i++) {
        v.push(Number(arguments[i]));
        if (!(v[i] >= 0 && v[i] <= 59 && Math.floor(v[i]) === v[i])) { return false; }
    }
    var d = current();
    var h = z.gmt ? d.getUTCHours() : d.getHours(), m = z.gmt ? d.getUTCMinutes() : d.getMinutes();
    var s = z.gmt ? d.getUTCSeconds() : d.getSeconds();
    if (n === 1) { return h === v[0]; }
    var half = n / 2;
    function key(hh, mm, ss) { return half === 1 ? hh : half === 2 ? hh * 60 + mm : hh * 3600 + mm * 60 + ss; }
    return inRange(key(v[0], v[1], v[2]), key(h, m, s), key(v[half], v[half + 1], v[half + 2]), true);
};
}))js";

// The helpers compiled once per process: each run loads this bytecode into
// its fresh heap instead of parsing the source again (a third of a run's
// time). Empty when the compilation failed; runs then compile the source.
const std::string& helpers_bytecode() {
    static const std::string bytecode = [] {
        std::string out;
        DuktapeHeap heap(ScriptLimits{});
        if (heap.valid()) {
            (void)heap.Protected([&out](duk_context* ctx) {
                duk_push_lstring(ctx, kHelpers, sizeof kHelpers - 1);
                duk_push_string(ctx, kHelpersName);
                duk_compile(ctx, DUK_COMPILE_EVAL);
                duk_dump_function(ctx);
                duk_size_t size = 0;
                const void* data = duk_get_buffer_data(ctx, -1, &size);
                out.assign(static_cast<const char*>(data), size);
            });
        }
        return out;
    }();
    return bytecode;
}

void push_helpers(duk_context* ctx) {
    const std::string& bytecode = helpers_bytecode();
    if (bytecode.empty()) {
        duk_push_lstring(ctx, kHelpers, sizeof kHelpers - 1);
        duk_push_string(ctx, kHelpersName);
        duk_compile(ctx, DUK_COMPILE_EVAL);
        return;
    }
    void* buffer = duk_push_fixed_buffer(ctx, bytecode.size());
    std::memcpy(buffer, bytecode.data(), bytecode.size());
    duk_load_function(ctx);
}

const PacHost& host_of(duk_context* ctx) {
    duk_push_global_stash(ctx);
    duk_get_prop_string(ctx, -1, kHostKey);
    const auto* host = static_cast<const PacHost*>(duk_get_pointer(ctx, -1));
    duk_pop_2(ctx);
    return *host;
}

duk_ret_t native_resolve(duk_context* ctx) {
    const std::string name = duk_safe_to_string(ctx, 0);
    std::optional<std::string> address;
    bool failed = false;
    try {
        const PacHost& host = host_of(ctx);
        if (host.resolve) {
            address = host.resolve(name);
        }
    } catch (const std::exception&) {
        failed = true;
    }
    if (failed) {
        return DUK_RET_ERROR;
    }
    if (address) {
        duk_push_lstring(ctx, address->data(), address->size());
    } else {
        duk_push_null(ctx);
    }
    return 1;
}

duk_ret_t native_local_address(duk_context* ctx) {
    std::string address = "127.0.0.1";
    bool failed = false;
    try {
        const PacHost& host = host_of(ctx);
        if (host.local_address) {
            address = host.local_address();
        }
    } catch (const std::exception&) {
        failed = true;
    }
    if (failed) {
        return DUK_RET_ERROR;
    }
    duk_push_lstring(ctx, address.data(), address.size());
    return 1;
}

void run(duk_context* ctx, std::string_view script, std::string_view url, std::string_view host,
         const PacHost& pac_host, std::string& result) {
    duk_push_global_stash(ctx);
    duk_push_pointer(ctx, const_cast<PacHost*>(&pac_host));
    duk_put_prop_string(ctx, -2, kHostKey);
    duk_pop(ctx);

    push_helpers(ctx);
    duk_call(ctx, 0);
    duk_push_global_object(ctx);
    if (pac_host.now_ms) {
        duk_push_number(ctx, static_cast<double>(*pac_host.now_ms));
    } else {
        duk_push_null(ctx);
    }
    duk_push_c_function(ctx, native_resolve, 1);
    duk_push_c_function(ctx, native_local_address, 0);
    duk_call(ctx, 4);
    duk_pop(ctx);

    duk_push_lstring(ctx, script.data(), script.size());
    duk_push_string(ctx, kScriptName);
    duk_compile(ctx, 0);
    duk_call(ctx, 0);
    duk_pop(ctx);

    duk_push_global_object(ctx);
    duk_get_prop_string(ctx, -1, kEntryPoint);
    if (!duk_is_function(ctx, -1)) {
        duk_type_error(ctx, "FindProxyForURL is not a function");
    }
    duk_push_lstring(ctx, url.data(), url.size());
    duk_push_lstring(ctx, host.data(), host.size());
    duk_call(ctx, 2);
    if (!duk_is_string(ctx, -1)) {
        duk_type_error(ctx, "FindProxyForURL did not return a string");
    }
    duk_size_t length = 0;
    const char* text = duk_get_lstring(ctx, -1, &length);
    result.assign(text, length);
}

}  // namespace

PacOutcome RunProxyScript(std::string_view script, std::string_view url, std::string_view host, const PacHost& pac_host,
                          const ScriptLimits& limits) {
    PacOutcome outcome;
    try {
        DuktapeHeap heap(limits);
        if (!heap.valid()) {
            outcome.engine = true;
            outcome.error = "The script engine could not be started";
            return outcome;
        }
        std::string result;
        if (const auto failure =
                heap.Protected([&](duk_context* ctx) { run(ctx, script, url, host, pac_host, result); })) {
            outcome.error = failure->text;
            return outcome;
        }
        outcome.ran = true;
        outcome.result = std::move(result);
    } catch (const std::exception& e) {
        outcome.engine = true;
        outcome.error = e.what();
    }
    return outcome;
}

}  // namespace Corvane::Script::duktape
