// Looks for newer trust content: the highest version folder below the
// content root, its cabinet's signature, and the content file inside the
// cabinet. Every step and every refusal is logged.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "trust/trust_content.h"

namespace rk::trust {

// Cabinets above this are refused unread.
inline constexpr std::uint64_t kMaxCabinetBytes = 16u << 20;

class ContentRefresher {
public:
    // Classification flags of a file held in memory (the cabinet), under
    // the current certificate list.
    using ClassifyBytes = std::function<std::uint64_t(std::span<const std::uint8_t> bytes)>;

    explicit ContentRefresher(std::wstring content_root) : root_(std::move(content_root)) {}

    // The latest version folder (empty when there is none) and, when its
    // signed cabinet holds content of a version above `current_version`,
    // that content.
    std::optional<TrustContent> refresh(std::uint64_t current_version, const ClassifyBytes& classify,
                                        std::wstring& latest_folder) const;

    const std::wstring& root() const { return root_; }

private:
    std::wstring latest_version_folder() const;
    std::optional<TrustContent> read_cabinet(const std::wstring& cab, std::span<const std::uint8_t> bytes) const;

    std::wstring root_;
};

}  // namespace rk::trust
