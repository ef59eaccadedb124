#include "document/json_project.hpp"

namespace document {

JsonWorkData JsonWorkData::make(const ZozTaskWork& work) {
    if (work.isByResource()) {
        return {};
    }
    return {work.isFixDailyWork() ? 1 : 2, work.amount()};
}

JsonTask::~JsonTask() {
    if (!childs) {
        return;
    }
    // Detach every grandchild list before its owner dies, so that each destructor below
    // finds no children and the depth of the tree never reaches the call stack.
    std::vector<std::vector<JsonTask>> pending;
    pending.push_back(std::move(*childs));
    childs.reset();
    while (!pending.empty()) {
        std::vector<JsonTask> level = std::move(pending.back());
        pending.pop_back();
        for (JsonTask& child : level) {
            if (child.childs) {
                pending.push_back(std::move(*child.childs));
                child.childs.reset();
            }
        }
    }
}

const std::vector<JsonTask>& JsonTask::treeChildren() const noexcept {
    static const std::vector<JsonTask> kNone;
    return childs ? *childs : kNone;
}

} // namespace document
