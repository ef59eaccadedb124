// Any bytes as a compiled zone file (TZ may name any file below the zone folder, which need not
// be what the system installed): reading it either gives a zone or nothing, and a zone it gives
// answers the calendar's queries across its whole range without faults.
#include "calendar_impl.hpp"

#include <cstdint>
#include <memory>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto zone = core::detail::zoneFromZoneFile("Fuzz/Zone", bytes);
    if (!zone) {
        return 0;
    }
    // The calendar's table walks every transition from 1800 to 2300; queries beyond it go to ICU.
    const core::detail::ZoneTable table(std::move(zone));
    for (const double t : {-1e13, -6e9, -1.0, 0.0, 1.7e9, 4.1e9, 1.1e10, 3e11, 1e13}) {
        (void)table.offsetAt(t);
        (void)table.instantOfWall(t, true);
        (void)table.instantOfWall(t + 1800.0, false);
    }
    return 0;
}
