#pragma once

#include "core/date.hpp"
#include "core/error.hpp"
#include "document/json_project.hpp"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace document {

/// Deepest nesting of arrays and objects accepted in "project.moc".
inline constexpr std::size_t kMaxJsonDepth = 512;
/// Largest "project.moc", in bytes, that the reader loads.
inline constexpr std::size_t kMaxProjectJsonBytes = std::size_t{256} * 1024 * 1024;
/// Largest magnitude of an id ("Uid", "Id", "Pid", "Ctor", "Pred"): ids stay exact as doubles
/// and one more than any id still fits a 64-bit integer.
inline constexpr std::int64_t kMaxJsonId = (std::int64_t{1} << 53) - 1;
/// Largest magnitude of a percentage or workload ("Comp", "Phys", "WL"), so that sums of
/// day-weighted percentages cannot overflow.
inline constexpr std::int64_t kMaxJsonPercent = 1'000'000'000;

/// Most tasks the task tree of "project.moc" may hold: a task takes far more memory than its
/// text, so a small hostile text could otherwise claim gigabytes.
inline constexpr std::size_t kMaxJsonTasks = 250'000;
/// Most members "Ples" may hold, for the same reason.
inline constexpr std::size_t kMaxJsonMembers = 100'000;

/// The document's type identifier.
inline constexpr std::string_view kZozTypeIdentifier = "com.zidavoze.dezuduz.zoz";
/// The document's file-name extension, without the dot.
inline constexpr std::string_view kZozFileExtension = "zoz";

/// True when the path's extension is ".zoz" in any letter case.
bool hasZozExtension(const std::filesystem::path& path);

/// A failure to decode or encode the project JSON; the message says where and why.
class JsonCodingError : public core::Error {
public:
    enum class Code {
        invalidSyntax = 1,
        tooDeep,
        typeMismatch,
        dataCorrupted,
        notEncodable,
        tooLarge
    };
    /// An error of the given case with a human-readable reason.
    JsonCodingError(Code code, std::string message);
    /// The error's case.
    Code code() const noexcept { return m_code; }

private:
    Code m_code;
};

/// Decodes "yyyy-MM-dd" (fewer than 19 characters) or the first 19 characters of
/// "yyyy-MM-dd'T'HH:mm:ss" as local wall time in the current calendar; throws `JsonCodingError`
/// with "Cannot decode date string " and the whole text when it is neither.
core::Date decodeJsonDate(std::string_view text);

/// The date as "yyyy-MM-dd'T'HH:mm:ss" local wall time; absent when its year is outside 1 to 9999.
std::optional<std::string> encodeJsonDate(core::Date date);

/// Decodes the text of "project.moc" strictly: a wrong kind under a known key, a "Type" outside
/// 0 to 2, an integer that is not exact or out of range, a bad date, nesting deeper than
/// `kMaxJsonDepth` or more than `kMaxJsonTasks` tasks or `kMaxJsonMembers` members throws
/// `JsonCodingError`. JSON `null` as the whole text gives absent.
std::optional<JsonProject> decodeJsonProject(std::string_view text);

/// Reads and decodes a "project.moc" file; absent on any failure (nothing is logged).
std::optional<JsonProjectData> loadJsonProject(const std::filesystem::path& file);

/// The project as UTF-8 JSON (indented when `prettyPrint`) with keys in table order and no
/// `null`; throws `JsonCodingError` for a non-finite number, a date that cannot be written, text
/// that is not UTF-8, or a task tree or team too deep or too large to be read back.
std::string encodeJsonProjectText(const JsonProject& project, bool prettyPrint = true);

/// The holder's project as JSON text; absent when there is no project or it cannot be encoded.
std::optional<std::string> encodeJsonProject(const JsonProjectData& data);

} // namespace document
