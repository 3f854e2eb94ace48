// The process-wide transport registry: transports registered by the
// program, in registration order and without duplicates (by identity), and
// the default list (one CNullTransport). One mutex guards both, and is held
// while a transport is chosen (its Connect() runs under it).
#pragma once

#include <memory>

#include "analytics/transport.h"

namespace Halden::Analytics {

// True; a transport already listed is not added again.
bool RegisterTransport(std::shared_ptr<internal::ITransport> transport);
// False when it was not listed; the order of the others is kept.
bool UnregisterTransport(const std::shared_ptr<internal::ITransport>& transport);

namespace internal {

// The first registered transport whose Connect() succeeds (the ones that
// fail are disconnected), else the first of the default list that does,
// else a new CNullTransport.
std::shared_ptr<ITransport> ChooseTransport();

}  // namespace internal
}  // namespace Halden::Analytics
