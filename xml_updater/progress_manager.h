// Download progress reporting of DOWNLOAD and DOWNLOADEX: the host's
// optional progress manager and the engine's wrapper around it. The
// operations come with the download commands; the engine core only keeps
// the object handed to Initialize.
#pragma once

#include <memory>

namespace XMLUpdater::v2 {

class progress_manager {
public:
    virtual ~progress_manager() = default;
};

class progress_manager_wrapper {
public:
    void Initialize(std::shared_ptr<progress_manager> manager) { manager_ = std::move(manager); }
    progress_manager* get() const { return manager_.get(); }

private:
    std::shared_ptr<progress_manager> manager_;
};

}  // namespace XMLUpdater::v2
