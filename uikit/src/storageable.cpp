#include "uikit/storageable.hpp"

#include <QObject>
#include <QWidget>

namespace uikit {

namespace {

// Keeps a window's store alive exactly as long as the window.
class SceneStoreHolder final : public QObject {
public:
    explicit SceneStoreHolder(QWidget& window)
        : QObject(&window), m_store(core::UserDefaults::inMemory()) {
        setObjectName(kName);
    }
    const std::shared_ptr<core::UserDefaults>& store() const noexcept { return m_store; }

    static constexpr const char* kName = "uikit-scene-store";

private:
    std::shared_ptr<core::UserDefaults> m_store;
};

} // namespace

std::shared_ptr<core::UserDefaults> sceneStore(QWidget& view) {
    QWidget& window = *view.window();
    for (QObject* child : window.children()) {
        if (auto* holder = dynamic_cast<SceneStoreHolder*>(child)) {
            return holder->store();
        }
    }
    return (new SceneStoreHolder(window))->store();
}

} // namespace uikit
