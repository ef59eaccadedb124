#pragma once

#include <cstdint>
#include <string>

namespace core {

/// `length` characters drawn uniformly and independently from a-z, A-Z, 0-9 with a generator
/// seeded from the system's entropy source; "" for a length of 0 or less.
std::string randomString(std::int64_t length);

/// "" when `maxLength` < 1; `randomString(minLength)` when `minLength` >= `maxLength`; otherwise
/// a random string whose length is drawn uniformly from `minLength` ... `maxLength`.
std::string randomString(std::int64_t minLength, std::int64_t maxLength);

} // namespace core
