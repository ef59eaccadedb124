#include "uikit/view_binding.hpp"

#include <stdexcept>
#include <vector>

namespace uikit::detail {
namespace {

// Lives as a child of the owner, so QObject's teardown of children ends the subscriptions it keeps.
class SubscriptionKeeper final : public QObject {
public:
    explicit SubscriptionKeeper(QObject* owner) : QObject(owner) {}
    std::vector<core::rx::Cancellable> subscriptions;
};

} // namespace

void refuseNullOwner() {
    throw std::invalid_argument("A view binding needs an owner object, not null");
}

void keepWithOwner(QObject* owner, core::rx::Cancellable subscription) {
    if (owner == nullptr) {
        refuseNullOwner();
    }
    SubscriptionKeeper* keeper = nullptr;
    for (QObject* child : owner->children()) {
        keeper = dynamic_cast<SubscriptionKeeper*>(child);
        if (keeper != nullptr) {
            break;
        }
    }
    if (keeper == nullptr) {
        keeper = new SubscriptionKeeper(owner);
    }
    keeper->subscriptions.push_back(std::move(subscription));
}

} // namespace uikit::detail
