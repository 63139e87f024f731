// The local paths of a drop, as the exact bytes of the dropped names.
#pragma once

#include <string>
#include <vector>

#include <QList>

class QUrl;

namespace phototrim::folders {

// The path of every local item of the drop, in the order dropped. An item with no local path here
// (a web address, a file of another machine, an empty entry) is left out. The bytes come from the
// percent-encoded URL, never through a QString, so a name that is not valid UTF-8 arrives unchanged.
std::vector<std::string> DroppedPaths(const QList<QUrl>& urls);

}  // namespace phototrim::folders
