#pragma once

#include <string>

class QString;
class QUrl;

namespace zintrel {

// Returns the system's bytes for a path that Qt gives as text (from its
// file dialog, say). Qt decodes a name that is not UTF-8 with replacement
// characters, which name no file; each such part of the path is matched
// against the real names in its folder, and taken when exactly one fits.
std::string SystemPath(const QString& path);

// Returns the bytes of the local file a dropped address names, exactly as
// the address spells them, or "" when it names no local file.
std::string SystemPath(const QUrl& url);

}  // namespace zintrel
