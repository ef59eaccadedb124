#include "document/zoz_task_cost.hpp"

namespace document {

ZozTaskLaborCostRaw ZozTaskLaborCost::raw() const {
    if (m_fixed) {
        return {1, m_amount};
    }
    return {0, std::nullopt};
}

bool ZozTaskLaborCost::isEqual(const ZozTaskLaborCostRaw& raw) const {
    if (!m_fixed) {
        return raw.index == 0;
    }
    return raw.index == 1 && raw.unit && *raw.unit == m_amount;
}

ZozTaskLaborCost ZozTaskLaborCost::fromRawData(std::int64_t index, double unit) {
    return index == 1 ? fix(unit) : automatic();
}

} // namespace document
