#pragma once

#include <string>

namespace files::detail {

/// A minizip or zlib result code in words ("the archive's structure is damaged" for -103), with
/// the number kept only for codes that neither library documents.
std::string zipResultText(int result);

} // namespace files::detail
