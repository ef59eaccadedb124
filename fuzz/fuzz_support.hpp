#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace fuzz {

/// Fixes the process's time zone and locale, so a finding replays the same way anywhere; picks a
/// zone with daylight saving so day counting meets its transitions.
void fixEnvironment();

/// A folder of this process's own, made once, under the system's temporary folder, and removed
/// when the process exits.
const std::filesystem::path& scratchFolder();

/// Writes `size` bytes at `data` to `file`, replacing it.
void writeBytes(const std::filesystem::path& file, const std::uint8_t* data, std::size_t size);

/// Stops the process (a finding) when `folder` holds anything but the names listed.
void requireOnly(const std::filesystem::path& folder,
                 std::initializer_list<std::string_view> names);

/// Writes the input as `inputName` in the scratch folder and calls `body(input, output)`, `output`
/// being `outputName` beside it; stops the process when anything else is left there, then removes
/// `output`. `body` catches the errors that are expected answers.
template <class Body>
void runInScratch(std::string_view inputName, std::string_view outputName, const std::uint8_t* data,
                  std::size_t size, Body&& body) {
    const std::filesystem::path root = scratchFolder();
    const std::filesystem::path input = root / inputName;
    const std::filesystem::path output = root / outputName;
    writeBytes(input, data, size);
    body(input, output);
    requireOnly(root, {inputName, outputName});
    std::filesystem::remove_all(output);
}

} // namespace fuzz
