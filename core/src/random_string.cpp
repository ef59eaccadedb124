#include "core/random_string.hpp"

#include "core/uuid.hpp"

#include <random>
#include <string_view>

namespace core {

namespace {

constexpr std::string_view kAlphabet =
    "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";

std::mt19937_64& generator() {
    thread_local std::mt19937_64 engine = [] {
        std::seed_seq::result_type seed[8];
        randomBytes(seed, sizeof seed);
        std::seed_seq sequence(std::begin(seed), std::end(seed));
        return std::mt19937_64(sequence);
    }();
    return engine;
}

} // namespace

std::string randomString(std::int64_t length) {
    std::string text;
    if (length <= 0) {
        return text;
    }
    text.reserve(static_cast<std::size_t>(length));
    std::uniform_int_distribution<std::size_t> pick(0, kAlphabet.size() - 1);
    for (std::int64_t i = 0; i < length; ++i) {
        text.push_back(kAlphabet[pick(generator())]);
    }
    return text;
}

std::string randomString(std::int64_t minLength, std::int64_t maxLength) {
    if (maxLength < 1) {
        return {};
    }
    if (minLength >= maxLength) {
        return randomString(minLength);
    }
    std::uniform_int_distribution<std::int64_t> pick(minLength, maxLength);
    return randomString(pick(generator()));
}

} // namespace core
