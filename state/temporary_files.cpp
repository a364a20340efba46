#include "state/temporary_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <random>
#include <vector>

namespace zintrel {
namespace {

constexpr std::string_view kPrefix = ".zintrel-";
constexpr std::size_t kRandomLetters = 6;
constexpr std::string_view kBackupKind = "old.";
// NAME_MAX of every file system a user saves to (ext4, FAT's long names,
// NFS, SMB).
constexpr std::size_t kLongestName = 255;

// The first characters of the kernel's id of this boot: a process number
// recorded before a restart names no process of this one, whatever runs
// under that number now.
const std::string& BootId() {
  static const std::string id = [] {
    std::string text = "0";
    const int file = ::open("/proc/sys/kernel/random/boot_id", O_RDONLY | O_CLOEXEC);
    if (file < 0) return text;
    char bytes[8];
    if (::read(file, bytes, sizeof bytes) == static_cast<ssize_t>(sizeof bytes)) text.assign(bytes, sizeof bytes);
    ::close(file);
    for (const char c : text) {
      if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return std::string("0");
    }
    return text;
  }();
  return id;
}

// The machine's short name, reduced to letters, digits and hyphens: it
// ends where the kind begins, at the first dot.
const std::string& MachineName() {
  static const std::string name = [] {
    char host[HOST_NAME_MAX + 1] = {};
    std::string kept;
    if (::gethostname(host, sizeof host - 1) == 0) {
      for (const char* c = host; *c != '\0' && *c != '.' && kept.size() < 24; ++c) {
        const bool plain = (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z') || (*c >= '0' && *c <= '9') || *c == '-';
        if (plain) kept += *c;
      }
    }
    return kept.empty() ? std::string("host") : kept;
  }();
  return name;
}

std::string OwnPrefix() {
  static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  thread_local std::minstd_rand letters(std::random_device{}());
  std::string name(kPrefix);
  name += BootId() + "-" + std::to_string(::getpid()) + "-";
  for (std::size_t i = 0; i < kRandomLetters; ++i) name += kLetters[letters() % (sizeof kLetters - 1)];
  return name + "-" + MachineName() + ".";
}

struct Owner {
  std::string boot;
  long process = 0;
  std::string machine;
  std::string kind;  // "part", "frames", or "old." and the target's name.
};

// Reads the owner from a temporary's name; false for any other name.
bool ParseName(std::string_view name, Owner& owner) {
  if (!name.starts_with(kPrefix)) return false;
  name.remove_prefix(kPrefix.size());
  const std::size_t bootEnd = name.find('-');
  if (bootEnd == std::string_view::npos || bootEnd == 0) return false;
  owner.boot = name.substr(0, bootEnd);
  name.remove_prefix(bootEnd + 1);
  owner.process = 0;
  std::size_t digits = 0;
  while (digits < name.size() && digits < 10 && name[digits] >= '0' && name[digits] <= '9') {
    owner.process = owner.process * 10 + (name[digits] - '0');
    ++digits;
  }
  if (digits == 0 || owner.process <= 0 || name.size() < digits + 2 + kRandomLetters || name[digits] != '-' ||
      name[digits + 1 + kRandomLetters] != '-') {
    return false;
  }
  name.remove_prefix(digits + 2 + kRandomLetters);
  const std::size_t machineEnd = name.find('.');
  if (machineEnd == std::string_view::npos) return false;
  owner.machine = name.substr(0, machineEnd);
  owner.kind = name.substr(machineEnd + 1);
  return true;
}

// Whether the process that named a temporary may still be writing it.
bool OwnerRuns(const Owner& owner) {
  if (owner.boot != BootId()) return false;
  if (owner.process > INT_MAX) return false;
  // The number is positive, so the signal can reach no group of processes.
  return ::kill(static_cast<pid_t>(owner.process), 0) == 0 || errno == EPERM;
}

std::vector<std::string> Names(const std::string& folder) {
  std::vector<std::string> names;
  DIR* listing = ::opendir(folder.c_str());
  if (listing == nullptr) return names;
  while (const dirent* entry = ::readdir(listing)) names.emplace_back(entry->d_name);
  ::closedir(listing);
  return names;
}

// Puts the file at backup back on name in folder if nothing took the name
// since; otherwise the name holds a newer file and the backup goes.
void PutBack(const std::string& backup, const std::string& folder, const std::string& name) {
  const std::string target = folder + "/" + name;
  struct stat status {};
  if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..") return;
  if (::lstat(target.c_str(), &status) != 0 && errno == ENOENT) {
    ::rename(backup.c_str(), target.c_str());
  } else {
    ::unlink(backup.c_str());
  }
}

// A folder of frames a dead run left: its frames go, and the earlier frames
// it displaced from the folder around it go back where they were.
void RemoveStaleFrames(const std::string& frames, const std::string& folder) {
  for (const std::string& name : Names(frames)) {
    if (name == "." || name == "..") continue;
    const std::string path = frames + "/" + name;
    if (name.starts_with(kDisplacedPrefix)) {
      PutBack(path, folder, name.substr(std::size(kDisplacedPrefix) - 1));
    } else {
      ::unlink(path.c_str());
    }
  }
  ::rmdir(frames.c_str());
}

}  // namespace

std::string TemporaryName(const std::string& folder, std::string_view kind) {
  return folder + "/" + OwnPrefix() + std::string(kind);
}

std::string BackupName(const std::string& folder, std::string_view target) {
  std::string name = OwnPrefix() + std::string(kBackupKind) + std::string(target);
  if (name.size() > kLongestName) return {};
  return folder + "/" + name;
}

bool IsTemporaryName(std::string_view name) {
  Owner owner;
  return ParseName(name, owner);
}

void RemoveStaleTemporaries(const std::string& folder) {
  for (const std::string& name : Names(folder)) {
    Owner owner;
    if (!ParseName(name, owner) || owner.machine != MachineName() || OwnerRuns(owner)) continue;
    const std::string path = folder + "/" + name;
    if (owner.kind == "part") {
      ::unlink(path.c_str());
    } else if (owner.kind == "frames") {
      RemoveStaleFrames(path, folder);
    } else if (owner.kind.starts_with(kBackupKind)) {
      PutBack(path, folder, owner.kind.substr(kBackupKind.size()));
    }
  }
}

}  // namespace zintrel
