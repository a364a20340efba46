#pragma once

#include "app/display_menu.h"
#include "app/unit21.h"
#include "app/unit23.h"
#include "render/frame_bitmap.h"
#include "simulation/particle_field.h"
#include "simulation/random_source.h"

class QApplication;

namespace zintrel {

// Makes the language the user chose for the system (LANGUAGE, LC_ALL,
// LC_MESSAGES, LANG) the language of every text; before any text is made.
void ChooseUiLanguage();

// Prepares the application object before any window exists: the Japanese
// font mapping, the style whose slider channel steps by a page on a click,
// the icon every window carries, and Qt's own texts (the buttons of its
// dialogs) in the language chosen, where the system has them.
void PrepareApplication(QApplication& application);

// The running program: the process-wide particle field, frame and random
// source, and the two windows, built in start-up order. The settings window
// comes first (its creation fills the field), then the display window, which
// is shown; the settings window is shown last so that it starts in front.
class Program {
 public:
  Program();

  TForm1& Form1() { return form1_; }
  TForm2& Form2() { return form2_; }
  DisplayMenu& Menu() { return menu_; }
  ParticleField& Field() { return field_; }
  FrameBitmap& Bitmap() { return bitmap_; }

 private:
  // Declared in creation order; the windows refer to the three before them.
  ParticleField field_;
  FrameBitmap bitmap_;
  RandomSource random_;
  TForm1 form1_;
  TForm2 form2_;
  DisplayMenu menu_;
};

}  // namespace zintrel
