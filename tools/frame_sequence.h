#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "render/frame_bitmap.h"

class QTemporaryDir;

namespace zintrel {

// Returns the file name of the frame of tick number tick (from 1): six
// digits with leading zeros, "000001.png"; more digits past 999999.
std::string FrameFileName(std::int64_t tick);

// The name the staging folder starts with, and the note inside it.
inline constexpr char kStagingPrefix[] = ".zintrel-headless-unfinished-";
inline constexpr char kStagingNote[] = "ABOUT-THIS-FOLDER.txt";

// Collects the frames of a run for a folder. Frames are written into a
// hidden staging folder inside it as they are drawn and moved onto their
// final names only by Commit, so a run that ends in a fault, a write error or
// a stop signal leaves the folder exactly as it found it (the staging folder
// is removed with the sequence). Only a run killed outright leaves the
// staging folder behind; its name and the note in it say what it is.
class FrameSequence {
 public:
  FrameSequence();
  ~FrameSequence();
  FrameSequence(const FrameSequence&) = delete;
  FrameSequence& operator=(const FrameSequence&) = delete;

  // Creates the staging folder inside folder. Returns "" or the problem.
  std::string Start(const std::string& folder);
  // Stores the frame of the next tick. Returns "" or the problem.
  std::string Add(const FrameBitmap& bitmap);
  // Moves every stored frame onto its final name, replacing files of the
  // same name. Returns "" or the problem.
  std::string Commit();

  std::int64_t Count() const { return count_; }

 private:
  std::string folder_;
  std::unique_ptr<QTemporaryDir> staging_;
  std::int64_t count_ = 0;
};

}  // namespace zintrel
