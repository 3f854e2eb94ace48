#include "app/daemon/loop_clock.h"

#include <chrono>
#include <thread>

namespace rk::app {
namespace {

class SystemLoopClock final : public LoopClock {
public:
    void SleepSeconds(std::int64_t seconds) override { std::this_thread::sleep_for(std::chrono::seconds(seconds)); }
};

}  // namespace

std::shared_ptr<LoopClock> MakeSystemLoopClock() { return std::make_shared<SystemLoopClock>(); }

}  // namespace rk::app
