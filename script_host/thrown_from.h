// The " (thrown from file:line)" suffix of the script host's exception texts.
#pragma once

#include <string>

namespace Corvane::Script {

std::string ThrownFrom(const char* file, int line);

}  // namespace Corvane::Script
