// The local paths of a drop, decoded from the URLs' percent-encoding into bytes.
#include "folders/dropped_paths.h"

#include <QByteArray>
#include <QUrl>

namespace phototrim::folders {

std::vector<std::string> DroppedPaths(const QList<QUrl>& urls) {
  std::vector<std::string> paths;
  for (const QUrl& url : urls) {
    if (!url.isLocalFile()) continue;
    // file://server/x names a file of another machine, which this one has no path for.
    const QString host = url.host();
    if (!host.isEmpty() && host != QLatin1String("localhost")) continue;
    // A URL keeps bytes that are not UTF-8 as %XX; fully encoded, the path is ASCII, and decoding
    // the percent signs gives back the name's bytes exactly.
    const QByteArray bytes = QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
    if (bytes.isEmpty()) continue;
    paths.emplace_back(bytes.constData(), static_cast<std::size_t>(bytes.size()));
  }
  return paths;
}

}  // namespace phototrim::folders
