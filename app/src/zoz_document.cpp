#include "app/zoz_document.hpp"

#include <QFileInfo>

namespace app {

bool isZozDocument(const QUrl& url) {
    if (!url.isLocalFile()) {
        return false;
    }
    const QFileInfo info(url.toLocalFile());
    return info.isFile() && info.suffix().compare(QStringLiteral("zoz"), Qt::CaseInsensitive) == 0;
}

std::optional<QUrl> droppedDocument(const QList<QUrl>& urls) {
    if (urls.isEmpty() || !isZozDocument(urls.front())) {
        return std::nullopt;
    }
    return urls.front();
}

} // namespace app
