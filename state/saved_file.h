#pragma once

#include <string>
#include <string_view>

namespace zintrel {

// How PlaceFile put a file on its name: what it displaced, and where that
// waits until the placing is kept (and it goes) or undone (and it comes
// back).
struct Placement {
  enum class Old {
    kNone,       // Nothing was at the name.
    kExchanged,  // The old file and the new one swapped names in one step.
    kBackedUp,   // The old file waits under backup, a name of its own.
  };
  Old old = Old::kNone;
  std::string backup;
};

// A file written whole under a temporary name in its final folder, made
// durable there, and only then put on its name, so that a failure at any
// step (a full disk, a write, flush or sync the system refuses, a rename)
// leaves what was there byte for byte as it was. No library's buffer stands
// between the bytes and the system: each call's result is checked, and a
// sync that fails is a failed save.
//
// A name that holds no regular file but a pipe, a terminal, a socket or
// another character device, and a name of one of the process's own
// descriptors (/dev/stdout, /proc/self/fd/N), is written as a stream in
// place: each Write goes straight to it, nothing is replaced, and nothing
// written can be taken back. A block device is refused.
//
// Paths are the system's bytes (POSIX): a name that is not UTF-8 is written
// as given. Every reason returned is the system's own (strerror), without the
// path, for the caller to word.
class SavedFile {
 public:
  // waitForReader: whether a pipe with no reader yet is waited for (a
  // command's output) or refused at once (a window, which must not hang).
  explicit SavedFile(std::string path, bool waitForReader = true);
  // Removes the temporary file; a file replaced but not kept is put back.
  ~SavedFile();
  SavedFile(const SavedFile&) = delete;
  SavedFile& operator=(const SavedFile&) = delete;

  // Appends bytes, creating the temporary file on first use. Returns "" or
  // the reason.
  std::string Write(std::string_view bytes);
  // Syncs and closes the temporary file: every byte written is then on the
  // disk. Returns "" or the reason.
  std::string Seal();
  // Puts the sealed file on its name and syncs the folder. What was there
  // stays on the disk under a second name until Keep, so that Undo can put
  // it back, on every file system: those that cannot exchange two names
  // included. Returns "" or the reason, with nothing changed.
  std::string Replace();
  // Puts back what Replace displaced.
  void Undo();
  // Lets go of what Replace displaced: the save is final.
  void Keep();
  // Seal, Replace and Keep: the whole save of one file.
  std::string Commit();

  // The name the file is put on: path, or the file a link at path names.
  const std::string& Target() const { return target_; }
  // Whether the target is written as a stream (see above).
  bool Streamed() const { return stream_; }

 private:
  std::string Open();
  std::string OpenStream();

  std::string target_;
  bool waitForReader_ = true;
  bool stream_ = false;
  int ownDescriptor_ = -1;  // For a name of one of the process's descriptors.
  std::string temporary_;
  int descriptor_ = -1;
  bool sealed_ = false;
  bool replaced_ = false;
  Placement placed_;
  bool kept_ = false;
};

// Returns the folder a path names a file in: "." for a bare name, "/" for a
// file at the root.
std::string FolderOf(const std::string& path);
// Returns the last part of path, the name in its folder.
std::string NameOf(const std::string& path);
// Returns path without trailing slashes ("/" stays), so that it names the
// folder itself when it is renamed or its parent is looked up.
std::string WithoutTrailingSlash(std::string path);
// Returns the permissions mkdir would give a new folder: everything the
// umask allows. umask can only be read by setting it, so it is set back at
// once; call it where no other thread creates files.
unsigned NewFolderPermissions();

// Writes bytes to path through a SavedFile. Returns "" or the reason.
std::string SaveWholeFile(const std::string& path, std::string_view bytes, bool waitForReader = true);

// Moves the file at from onto to, and syncs to's folder. What was at to is
// kept: exchanged with from where the file system can, else first given the
// second name backup (a hard link where it allows one, a rename where not),
// so that UndoPlaceFile can always put it back and KeepPlaceFile removes it.
// Where the file system has neither, a process that dies in the instant
// between the two renames leaves the old file under backup only; backup's
// name, from BackupName, lets the next save put it back. Returns "" or the
// reason, with nothing moved.
std::string PlaceFile(const std::string& from, const std::string& to, const std::string& backup, Placement& placed);
// Undoes PlaceFile: what was at to goes back; the new file goes back to
// from, unless the old one took its place there.
void UndoPlaceFile(const std::string& from, const std::string& to, const Placement& placed);
// Makes PlaceFile final: removes the old file it kept.
void KeepPlaceFile(const std::string& from, const Placement& placed);
// Renames from (a file or folder) onto to, which must not hold anything
// but an empty folder, and syncs to's folder. Returns "" or the reason,
// with nothing moved.
std::string RenameOnto(const std::string& from, const std::string& to);

}  // namespace zintrel
