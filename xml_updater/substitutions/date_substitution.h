// DATE: "BASE@PATTERN|FORMAT" (both parts optional).
//   BASE "TODAY", "TOMORROW", "YESTERDAY": the current local date and time,
//   shifted by a day for the last two; otherwise a literal date read with
//   PATTERN: "epoch" (seconds since 1970) or a picture in which "yyyy" (or
//   "yy"), "mm" and "dd" mark where the year, month and day stand in BASE.
//   FORMAT: empty for year-month-day, "epoch" for seconds since 1970, or a
//   picture whose "yyyy", "yy", "mm", "dd" become %Y, %y, %m, %d of strftime.
// PATTERN and FORMAT are lower-cased first. A two-digit year means 20yy.
#pragma once

#include <optional>

#include "xml_updater/factory_support.h"

namespace XMLUpdater::v2 {

class CDateSubstitution final : public ISubstitution, public CSubstitutionFactorySupport<CDateSubstitution> {
public:
    std::wstring Substitute(const std::wstring& arguments, CSubstitutionManager* manager) override;

    // The date (nullopt: invalid) in FORMAT (already lower-cased).
    static std::wstring FormatDateTime(std::optional<double> date, const std::wstring& format);
};

}  // namespace XMLUpdater::v2
