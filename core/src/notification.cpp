#include "core/notification.hpp"

namespace core {

NotificationCenter& NotificationCenter::defaultCenter() {
    static NotificationCenter center;
    return center;
}

rx::PassthroughSubject<Notification> NotificationCenter::subject(const std::string& name) {
    std::lock_guard lock(m_mutex);
    return m_subjects[name];
}

void NotificationCenter::post(const NotificationName& name, std::any object, const void* sender) {
    // Delivery happens outside the lock so a subscriber may post or subscribe in turn.
    subject(name.rawValue).send(Notification{name, std::move(object), sender});
}

rx::Publisher<Notification> NotificationCenter::publisher(const NotificationName& name,
                                                          const void* sender) {
    auto all = subject(name.rawValue).publisher();
    if (sender == nullptr) {
        return all;
    }
    return rx::Publisher<Notification>([all, sender](rx::Subscriber<Notification> downstream) {
        return all.subscribe(rx::Subscriber<Notification>{
            [sender, receive = std::move(downstream.receive)](const Notification& n) {
                if (n.sender == sender) {
                    receive(n);
                }
            },
            std::move(downstream.complete)});
    });
}

void send(const NotificationName& name) {
    NotificationCenter::defaultCenter().post(name);
}

} // namespace core
