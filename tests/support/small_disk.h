#pragma once

#include <dirent.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace zintrel {

// A file system of the test's own, a small tmpfs, which the test can fill
// to its last byte: a real full disk, where the system refuses a write with
// ENOSPC. Mounting needs root (CI runs as root); where it is refused,
// Mounted() is false and Why() says so, for the test to skip with.
class SmallDisk {
 public:
  explicit SmallDisk(std::size_t bytes) {
    char folder[] = "/tmp/zintrel-small-disk-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
      why_ = std::string("cannot make a folder to mount on: ") + std::strerror(errno);
      return;
    }
    path_ = folder;
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (::mount("zintrel-test", folder, "tmpfs", 0, options.c_str()) != 0) {
      why_ = std::string("cannot mount a small tmpfs (needs root): ") + std::strerror(errno);
      return;
    }
    mounted_ = true;
  }
  ~SmallDisk() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    if (!path_.empty()) ::rmdir(path_.c_str());
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& Why() const { return why_; }
  const std::string& Path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

  // Fills what is left with one file, until the system says it is full.
  // Returns false if it never did.
  bool Fill() const {
    std::FILE* filler = std::fopen(File("filler").c_str(), "wb");
    if (filler == nullptr) return false;
    static const char kBlock[4096] = {};
    while (std::fwrite(kBlock, 1, sizeof kBlock, filler) == sizeof kBlock) {
    }
    // The last partial block may still sit in the stream's buffer.
    while (std::fputc(0, filler) != EOF && std::fflush(filler) == 0) {
    }
    const bool full = errno == ENOSPC;
    std::fclose(filler);
    return full;
  }

 private:
  std::string path_;
  std::string why_;
  bool mounted_ = false;
};

// A FAT file system of the test's own, as on a USB stick or an SD card: an
// image made by mkfs.vfat and mounted through fusefat, writable. It cannot
// exchange two names, has no hard links, and refuses names with '?' in
// them. Where FUSE or the tools are missing, Mounted() is false and Why()
// says so.
class FatDisk {
 public:
  FatDisk() {
    char folder[] = "/tmp/zintrel-fat-disk-XXXXXX";
    if (::mkdtemp(folder) == nullptr) {
      why_ = std::string("cannot make a folder: ") + std::strerror(errno);
      return;
    }
    folder_ = folder;
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
      why_ = "FUSE is missing (/dev/fuse)";
      return;
    }
    const std::string image = folder_ + "/image";
    const std::string mount = folder_ + "/mnt";
    ::mkdir(mount.c_str(), 0755);
    const std::string command = "mkfs.vfat -C '" + image + "' 8192 >/dev/null 2>&1 && fusefat -o rw+ '" + image +
                                "' '" + mount + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
      why_ = "cannot make and mount a FAT image (mkfs.vfat from dosfstools, fusefat, root)";
      return;
    }
    mounted_ = true;
  }
  ~FatDisk() {
    if (mounted_) std::system(("fusermount -u '" + folder_ + "/mnt' >/dev/null 2>&1").c_str());
    if (!folder_.empty()) std::system(("rm -rf '" + folder_ + "'").c_str());
  }
  FatDisk(const FatDisk&) = delete;
  FatDisk& operator=(const FatDisk&) = delete;

  bool Mounted() const { return mounted_; }
  const std::string& Why() const { return why_; }
  std::string Path() const { return folder_ + "/mnt"; }
  std::string File(const std::string& name) const { return Path() + "/" + name; }

 private:
  std::string folder_;
  std::string why_;
  bool mounted_ = false;
};

// Returns the names in folder, sorted, without "." and "..": the system's
// bytes, whatever they spell.
inline std::vector<std::string> Listing(const std::string& folder) {
  std::vector<std::string> names;
  if (DIR* listing = ::opendir(folder.c_str())) {
    while (const dirent* entry = ::readdir(listing)) {
      const std::string name = entry->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(listing);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// Returns the whole content of the file at path, or "<missing>".
inline std::string FileBytes(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return "<missing>";
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace zintrel
