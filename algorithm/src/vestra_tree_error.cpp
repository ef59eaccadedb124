#include "algorithm/vestra_tree_error.hpp"

namespace algorithm::VtVestraTree {

Error::Error(Code code) : core::Error("VtVestraTree.Error", static_cast<int>(code)), m_code(code) {}

void throwLogged(Error::Code code, std::string_view message, std::string_view operation,
                 std::source_location at) {
    core::Log::error(message, core::LogLocation::named(operation, at));
    throw Error(code);
}

} // namespace algorithm::VtVestraTree
