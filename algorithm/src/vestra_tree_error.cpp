#include "algorithm/vestra_tree_error.hpp"

namespace algorithm::VtVestraTree {

Error::Error(Code code) : core::Error("VtVestraTree.Error", static_cast<int>(code)), m_code(code) {}

} // namespace algorithm::VtVestraTree
