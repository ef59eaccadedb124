#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace document {

/// Translation of the document's old colour indexes into the current palette.
struct DezuduzDocumentColorUtility {
    /// The palette index of each old colour index 0 to 17.
    static constexpr std::array<std::int64_t, 18> kOldToNewTable = {
        69, 89, 42, 125, 15, 109, 72, 56, 40, 131, 18, 144, 43, 30, 10, 138, 96, 149};

    /// The table entry of a valid old index, else `defaultIndex` when given, else the first entry;
    /// note that a valid old index wins over the default here.
    static constexpr std::int64_t newColorIndex(std::optional<std::int64_t> oldJsonColorIndex,
                                                std::optional<std::int64_t> defaultIndex) {
        if (oldJsonColorIndex && *oldJsonColorIndex >= 0 &&
            *oldJsonColorIndex < static_cast<std::int64_t>(kOldToNewTable.size())) {
            return kOldToNewTable[static_cast<std::size_t>(*oldJsonColorIndex)];
        }
        if (defaultIndex) {
            return *defaultIndex;
        }
        return kOldToNewTable[0];
    }
};

} // namespace document
