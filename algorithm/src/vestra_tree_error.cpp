#include "algorithm/vestra_tree_error.hpp"

namespace algorithm::VtVestraTree {

Error::Error(Code code) : core::Error("VtVestraTree.Error", static_cast<int>(code)), m_code(code) {}

void throwLogged(Error::Code code, std::string_view message, core::LogLocation at) {
    core::Log::error(message, at);
    throw Error(code);
}

} // namespace algorithm::VtVestraTree
