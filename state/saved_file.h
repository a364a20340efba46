#pragma once

#include <string>
#include <string_view>

namespace zintrel {

// A file written whole under a temporary name in its final folder, made
// durable there, and only then put on its name, so that a failure at any
// step (a full disk, a write, flush or sync the system refuses, a rename)
// leaves what was there byte for byte as it was. No library's buffer stands
// between the bytes and the system: each call's result is checked, and a
// sync that fails is a failed save.
//
// Paths are the system's bytes (POSIX): a name that is not UTF-8 is written
// as given. Every reason returned is the system's own (strerror), without the
// path, for the caller to word.
class SavedFile {
 public:
  explicit SavedFile(std::string path);
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
  // stays on the disk, under the temporary name, until Keep, so that Undo can
  // put it back (where the file system cannot exchange two names, it is
  // replaced at once and Undo only removes the new file). Returns "" or the
  // reason, with nothing changed.
  std::string Replace();
  // Puts back what Replace displaced.
  void Undo();
  // Lets go of what Replace displaced: the save is final.
  void Keep();
  // Seal, Replace and Keep: the whole save of one file.
  std::string Commit();

  // The name the file is put on: path, or the file a link at path names.
  const std::string& Target() const { return target_; }

 private:
  std::string Open();

  std::string target_;
  std::string temporary_;
  int descriptor_ = -1;
  bool sealed_ = false;
  bool replaced_ = false;
  bool exchanged_ = false;  // What was at target_ is now at temporary_.
  bool kept_ = false;
};

// Returns the folder a path names a file in: "." for a bare name, "/" for a
// file at the root.
std::string FolderOf(const std::string& path);

// Writes bytes to path through a SavedFile. Returns "" or the reason.
std::string SaveWholeFile(const std::string& path, std::string_view bytes);

// Moves the file or folder at from onto to and syncs to's folder. When to
// exists, the two are exchanged where the file system can (exchanged is then
// set), so that what was at to waits at from for UndoPlaceFile or for the
// caller to remove it; without mayExchange, a plain rename replaces what is
// at to, if it can. Returns "" or the reason, with nothing moved.
std::string PlaceFile(const std::string& from, const std::string& to, bool& exchanged, bool mayExchange = true);
// Undoes PlaceFile: what was at to goes back, the new file back to from.
void UndoPlaceFile(const std::string& from, const std::string& to, bool exchanged);

}  // namespace zintrel
