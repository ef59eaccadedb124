#pragma once

#include "core/date.hpp"

#include <cstdint>

namespace document {

/// The document's fixed limits: valid dates run from the start of "today" minus 100 years
/// (included) to the same day plus 100 years (excluded); new tasks take colour index 40.
class DezuduzDocumentConfig {
public:
    /// The colour index of a new task.
    static constexpr std::int64_t kDefaultTaskColorIndex = 40;

    /// The limits around the local day of `today`, in the current calendar.
    explicit DezuduzDocumentConfig(core::Date today);

    /// The process-wide limits, built once on first use from the clock and never changed.
    static const DezuduzDocumentConfig& shared();

    /// The first valid date (the start of a local day).
    core::Date minDate() const noexcept { return m_mindate; }
    /// The end of the valid range, itself invalid (the start of a local day).
    core::Date maxDate() const noexcept { return m_maxdate; }
    /// The colour index of a new task.
    std::int64_t defaultTaskColorIndex() const noexcept { return kDefaultTaskColorIndex; }
    /// Whether `minDate() <= date < maxDate()`; false for NaN.
    bool isValid(core::Date date) const noexcept { return m_mindate <= date && date < m_maxdate; }

private:
    core::Date m_mindate;
    core::Date m_maxdate;
};

} // namespace document
