#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "render/frame_bitmap.h"
#include "state/saved_file.h"

namespace zintrel {

// Returns the file name of the frame of tick number tick (from 1): six
// digits with leading zeros, "000001.png"; more digits past 999999.
std::string FrameFileName(std::int64_t tick);
// Returns the tick whose frame's file is named name, or 0 for any other name.
std::int64_t FrameTickOf(const std::string& name);

// The name the staging folder starts with (see state/temporary_files.h), and
// the note inside it.
inline constexpr char kStagingPrefix[] = ".zintrel-";
inline constexpr char kStagingNote[] = "ABOUT-THIS-FOLDER.txt";

// Collects the frames of a run for a folder. Frames are written into a
// hidden staging folder as they are drawn and put in place only by Commit,
// so a run that ends in a fault, a write error or a stop signal leaves no
// trace (the staging folder is removed with the sequence). Only a run killed
// outright leaves the staging folder behind; its name and the note in it say
// what it is, and the next run or save in its folder removes it, putting
// back any earlier frame it held.
//
// For a folder that does not exist yet, the staging folder sits beside it
// and Commit renames it onto the folder's name: one step, so the folder
// either does not exist or holds every frame. Into an existing folder the
// frames are moved one by one, replacing files of the same name, each
// earlier frame kept in the staging folder until Keep; a process killed
// during those moves leaves some replaced and others not.
class FrameSequence {
 public:
  FrameSequence();
  ~FrameSequence();
  FrameSequence(const FrameSequence&) = delete;
  FrameSequence& operator=(const FrameSequence&) = delete;

  // Creates the staging folder: inside folder when it exists, else in its
  // parent. Returns "" or the problem.
  std::string Start(const std::string& folder);
  // Stores the frame of the next tick. Returns "" or the problem.
  std::string Add(const FrameBitmap& bitmap);
  // Puts every stored frame in place for good. Returns "" or the problem,
  // with nothing changed.
  std::string Commit();
  // Commit in two steps, so that a run's outputs land all together or not
  // at all: Place puts the frames in place, and until Keep, Undo (or the
  // sequence's end) puts back the frames they replaced.
  std::string Place();
  void Undo();
  void Keep();

  std::int64_t Count() const { return count_; }

 private:
  std::string CommitAsNewFolder();
  std::string CommitIntoFolder();
  void RemoveStaging();

  std::string folder_;
  bool newFolder_ = false;  // folder_ did not exist at Start.
  std::string staging_;     // Empty before Start.
  bool stagingPlaced_ = false;  // The staging folder became folder_.
  std::int64_t count_ = 0;
  // For each frame put in place (into an existing folder), where an earlier
  // frame of its name now waits in the staging folder, if there was one.
  std::vector<Placement> placed_;
  bool committed_ = false;
  bool kept_ = false;
};

}  // namespace zintrel
