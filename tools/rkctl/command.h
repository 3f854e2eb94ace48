// rkctl subcommands. Each command lives in its own cmd_*.cpp and registers
// itself with a static CommandRegistrar; main() dispatches on the first word.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace rk::ctl {

// Exit codes shared by all commands unless a command documents its own.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

struct Command {
    std::string name;     // "reg", "sign", ...
    std::string summary;  // one line for "rkctl --help"
    std::string usage;    // full help text for "rkctl NAME --help"
    std::function<int(const std::vector<std::string>& args)> run;
};

class CommandRegistrar {
public:
    explicit CommandRegistrar(Command command);
};

const std::vector<Command>& commands();

// True when args contain --help or -h.
bool wants_help(const std::vector<std::string>& args);

}  // namespace rk::ctl
