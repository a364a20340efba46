#include "app/file_names.h"

#include <dirent.h>
#include <sys/stat.h>

#include <QFile>
#include <QStringList>
#include <QUrl>

namespace zintrel {
namespace {

bool Exists(const std::string& path) {
  struct stat status {};
  return ::lstat(path.c_str(), &status) == 0;
}

// Returns the one name in folder that Qt shows as shown, or "" when none or
// several do.
std::string RealName(const std::string& folder, const QString& shown) {
  DIR* listing = ::opendir(folder.empty() ? "/" : folder.c_str());
  if (listing == nullptr) return {};
  std::string found;
  int matches = 0;
  while (const dirent* entry = ::readdir(listing)) {
    if (QFile::decodeName(entry->d_name) == shown) {
      found = entry->d_name;
      ++matches;
    }
  }
  ::closedir(listing);
  return matches == 1 ? found : std::string();
}

}  // namespace

std::string SystemPath(const QString& path) {
  const std::string encoded = QFile::encodeName(path).toStdString();
  if (!path.contains(QChar::ReplacementCharacter) || Exists(encoded)) return encoded;
  const bool absolute = path.startsWith(QLatin1Char('/'));
  std::string resolved = absolute ? "" : ".";
  for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
    std::string name = QFile::encodeName(part).toStdString();
    if (part.contains(QChar::ReplacementCharacter) && !Exists(resolved + "/" + name)) {
      if (std::string real = RealName(resolved, part); !real.empty()) name = real;
    }
    resolved += "/" + name;
  }
  return absolute ? resolved : resolved.substr(2);
}

std::string SystemPath(const QUrl& url) {
  if (!url.isLocalFile()) return {};
  // The address keeps what UTF-8 cannot spell percent-encoded.
  return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

}  // namespace zintrel
