#pragma once

#include <string>

#include "settings/settings_panel.h"
#include "state/state_file.h"

namespace zintrel {

// Reads the state file at path into bytes, through the system's wide file
// functions: a Windows file name may hold UTF-16 that no UTF-8 spells (a
// lone surrogate), so the name must reach the system exactly as it came from
// the command line, the open dialog or a drop. Only a plain file is read
// (opening a pipe can wait forever for a writer), and no more than
// kMaxStateFileBytes + 1 bytes of it. Returns no problem, or the problem.
StateFileError ReadStateBytes(const std::wstring& path, std::string& bytes);

// Opens the state file at path in panel, all or nothing, drawing its frame
// no larger than room. Returns "" or the box's line, the path in it shown as
// near as UTF-8 can spell it.
std::string OpenStateFile(SettingsPanel& panel, const std::wstring& path, AreaSize room);

}  // namespace zintrel
