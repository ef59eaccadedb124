#pragma once

#include <QList>
#include <QUrl>

#include <optional>

namespace app {

/// True when `url` names a project document: a local regular file (a link to one counts) whose
/// suffix is "zoz" in any letter case. Remote URLs, folders and missing files are not.
bool isZozDocument(const QUrl& url);

/// The rule for a drop of `urls`: the first URL when it names a project document, else absent
/// (the others are never looked at).
std::optional<QUrl> droppedDocument(const QList<QUrl>& urls);

/// The message shown when a drop holds no project document.
inline constexpr const char* kWrongDropMessage =
    "Please drag a Dezuduz file with the .zoz file extension here.";

} // namespace app
