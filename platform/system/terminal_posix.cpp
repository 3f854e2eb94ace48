#include "platform/system/terminal.h"

#include <unistd.h>

namespace rk::sys {

bool is_terminal(StandardStream stream) {
    switch (stream) {
        case StandardStream::kInput:
            return ::isatty(STDIN_FILENO) == 1;
        case StandardStream::kOutput:
            return ::isatty(STDOUT_FILENO) == 1;
        case StandardStream::kError:
            return ::isatty(STDERR_FILENO) == 1;
    }
    return false;
}

}  // namespace rk::sys
