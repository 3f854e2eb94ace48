#include <algorithm>
#include <cstdio>

#include "platform/system/process_memory.h"
#include "tools/rkctl/command.h"

namespace rk::ctl {
namespace {

std::vector<Command>& registry() {
    static std::vector<Command> list;
    return list;
}

void print_overview() {
    std::printf("usage: rkctl COMMAND [ARGS...]\n\nOperator tool of the updater. Commands:\n");
    auto sorted = registry();
    std::sort(sorted.begin(), sorted.end(), [](const Command& a, const Command& b) { return a.name < b.name; });
    for (const auto& c : sorted) {
        std::printf("  %-10s %s\n", c.name.c_str(), c.summary.c_str());
    }
    std::printf("\nrkctl COMMAND --help shows the help of one command.\n"
                "Machine-wide state lives under the root prefix $RK_ROOT (empty: /).\n");
}

}  // namespace

CommandRegistrar::CommandRegistrar(Command command) { registry().push_back(std::move(command)); }

const std::vector<Command>& commands() { return registry(); }

bool wants_help(const std::vector<std::string>& args) {
    return std::any_of(args.begin(), args.end(), [](const std::string& a) { return a == "--help" || a == "-h"; });
}

}  // namespace rk::ctl

int main(int argc, char** argv) {
    using namespace rk::ctl;
    rk::sys::return_large_blocks_to_system();  // peak memory follows what a command holds
    if (argc < 2 || std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h") {
        print_overview();
        return argc < 2 ? kExitUsage : kExitOk;
    }
    const std::string name = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const auto& c : commands()) {
        if (c.name == name) {
            if (wants_help(args)) {
                std::printf("%s", c.usage.c_str());
                return kExitOk;
            }
            return c.run(args);
        }
    }
    std::fprintf(stderr, "rkctl: unknown command '%s' (rkctl --help lists them)\n", name.c_str());
    return kExitUsage;
}
