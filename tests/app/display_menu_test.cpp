#include "app/display_menu.h"

#include <dlfcn.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <iostream>
#include <memory>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>

#include <gtest/gtest.h>

#include "app/gallery_window.h"
#include "app/program.h"
#include "render/tick.h"
#include "settings/gallery.h"
#include "tests/simulation/field_hash.h"
#include "state/saved_file.h"
#include "state/share_link.h"
#include "state/state_file.h"
#include "tests/app/overflowing_field.h"
#include "tests/support/small_disk.h"

namespace zintrel {
namespace {

// The whole program with its timer stopped; file dialogs answer with the
// paths the test puts in the queue, and record what they were asked.
class DisplayMenuTest : public testing::Test {
 protected:
  DisplayMenuTest()
      : program_(std::make_unique<Program>()), form1_(program_->Form1()), form2_(program_->Form2()),
        menu_(program_->Menu()), field_(program_->Field()) {
    form1_.Timer1->stop();
    menu_.SetFileChooser([this](FileRequest request, const QString& folder, const QString& name) {
      asked_.push_back({request, folder, name});
      return answers_.isEmpty() ? QString() : answers_.takeFirst();
    });
  }

  ~DisplayMenuTest() override {
    for (ErrorBox* box : {&form1_.Errors(), &menu_.Messages()}) {
      if (QMessageBox* open = box->OpenBox()) open->close();
    }
  }

  QString Path(const char* name) const { return folder_.filePath(QString::fromUtf8(name)); }

  void Write(const char* name, const QByteArray& bytes) const {
    QFile file(Path(name));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
  }

  // Returns the text of the open message box, or "" when none is open.
  QString BoxText() {
    QMessageBox* box = menu_.Messages().OpenBox();
    return box ? box->text() : QString();
  }

  void CloseBox() {
    if (QMessageBox* box = menu_.Messages().OpenBox()) box->close();
  }

  // Presses a key combination on the display window as the user would,
  // through the window system's shortcut handling.
  void Press(int key, Qt::KeyboardModifiers modifiers) {
    form2_.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&form2_));
    QTest::keyClick(&form2_, static_cast<Qt::Key>(key), modifiers);
  }

  // Runs count ticks as the timer would.
  void Tick(int count) {
    for (int k = 0; k < count; ++k) form1_.Timer1Timer();
  }

  // Five ticks on from here, the program's field is the one the tool
  // reaches in the first five of run.
  void ExpectToRunAsTheTool(const SharedRun& run) {
    auto tool = std::make_unique<ParticleField>();
    FrameBitmap frame;
    RandomSource random;
    StartRun(run, *tool, random);
    for (int tick = 0; tick < 5; ++tick) RunTick(*tool, frame, run.width, run.height, run.darts);
    Tick(5);
    EXPECT_EQ(HashField(field_), HashField(*tool));
  }

  SliderPositions Positions() const {
    return {form1_.TrackBar1->Position(), form1_.TrackBar2->Position(), form1_.TrackBar3->Position(),
            form1_.TrackBar4->Position(), form1_.TrackBar5->Position(), form1_.TrackBar6->Position(),
            form1_.TrackBar7->Position(), form1_.TrackBar8->Position(), form1_.TrackBar9->Position()};
  }

  struct Question {
    FileRequest request;
    QString folder;
    QString name;
  };

  std::unique_ptr<Program> program_;
  TForm1& form1_;
  TForm2& form2_;
  DisplayMenu& menu_;
  ParticleField& field_;
  QTemporaryDir folder_;
  QStringList answers_;
  std::vector<Question> asked_;
};

TEST_F(DisplayMenuTest, ContextMenuOffersTheActionsWithTheirShortcuts) {
  QStringList seen;
  // The menu runs its own loop; look at it from inside, then close it.
  QTimer::singleShot(0, [&seen] {
    if (auto* popup = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
      for (const QAction* action : popup->actions()) {
        seen << action->text() + QLatin1Char('|') + action->shortcut().toString();
      }
      popup->close();
    }
  });
  QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(10, 10), form2_.mapToGlobal(QPoint(10, 10)));
  QApplication::sendEvent(&form2_, &menuKey);
  EXPECT_EQ(seen, QStringList({QString::fromUtf8("Save state…|Ctrl+S"), QString::fromUtf8("Open state…|Ctrl+O"),
                               QString::fromUtf8("Save picture…|Ctrl+Shift+S"),
                               QStringLiteral("Copy picture|Ctrl+C"), QStringLiteral("Copy link|Ctrl+Shift+C"),
                               QString::fromUtf8("Open link…|Ctrl+L"), QString::fromUtf8("Gallery…|Ctrl+G"),
                               QString::fromUtf8("Record…|Ctrl+R"),
                               QStringLiteral("Full screen|F11")}));
  // The settings window keeps exactly its controls: no menu there.
  EXPECT_EQ(form1_.contextMenuPolicy(), Qt::DefaultContextMenu);
  EXPECT_TRUE(form1_.actions().isEmpty());
}

// Ctrl+S writes the state as it stands with the drawing mode and interval;
// Ctrl+O after other changes brings back every bit of it.
// A name that is not UTF-8 (Latin-1 "café") is opened and saved under its
// very bytes, whether it comes from the dialog, which shows it with a
// replacement character, or from a drop, whose address spells its bytes.
TEST_F(DisplayMenuTest, NamesThatAreNotUtf8OpenAndSaveAsGiven) {
  const std::string raw = QFile::encodeName(folder_.path()).toStdString() + "/caf\xe9.zintrel";
  auto state = std::make_unique<ParticleField>(field_);
  state->Repulsion = 42.0;
  ASSERT_EQ(SaveWholeFile(raw, StateToJson(*state)), "");
  const QString shown = QFile::decodeName(QByteArray::fromStdString(raw));
  ASSERT_TRUE(shown.contains(QChar::ReplacementCharacter));

  answers_ << shown;
  Press(Qt::Key_O, Qt::ControlModifier);
  EXPECT_EQ(BoxText().toStdString(), "");
  EXPECT_EQ(field_.Repulsion, 42.0);

  field_.Repulsion = 8.0;
  QMimeData one;
  // As a file manager spells it: file:///…/caf%E9.zintrel.
  one.setUrls({QUrl(QString::fromLatin1("file://" + QByteArray::fromStdString(raw).toPercentEncoding("/")))});
  QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &one, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&form2_, &enter);
  ASSERT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &one, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(&form2_, &drop);
  EXPECT_EQ(BoxText().toStdString(), "");
  EXPECT_EQ(field_.Repulsion, 42.0);

  // Saved over from the dialog: the same file, no new one beside it.
  field_.Repulsion = 7.0;
  answers_ << shown;
  Press(Qt::Key_S, Qt::ControlModifier);
  EXPECT_EQ(BoxText().toStdString(), "");
  auto read = std::make_unique<ParticleField>();
  ASSERT_EQ(ReadStateFile(raw, *read, nullptr), "");
  EXPECT_EQ(read->Repulsion, 7.0);
  EXPECT_EQ(Listing(QFile::encodeName(folder_.path()).toStdString()), std::vector<std::string>{"caf\xe9.zintrel"});
}

TEST_F(DisplayMenuTest, ShortcutsSaveAndReopenTheState) {
  Tick(5);
  form1_.CheckBox1->click();  // Discs.
  form1_.TrackBar9->setValue(66);
  const std::uint64_t saved = HashField(field_);
  answers_ << Path("kept.zintrel");
  Press(Qt::Key_S, Qt::ControlModifier);
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].request, FileRequest::kSaveState);
  EXPECT_TRUE(asked_[0].name.endsWith(QLatin1String(".zintrel")));
  auto read = std::make_unique<ParticleField>();
  DisplaySettings display;
  ASSERT_EQ(ReadStateFile(Path("kept.zintrel").toStdString(), *read, &display), "");
  EXPECT_EQ(HashField(*read), saved);
  EXPECT_EQ(display.ShowOrientation, false);
  EXPECT_EQ(display.TimerInterval, 256);

  form1_.Button2->click();
  form1_.CheckBox1->click();
  form1_.TrackBar9->setValue(0);
  Tick(3);
  answers_ << Path("kept.zintrel");
  Press(Qt::Key_O, Qt::ControlModifier);
  ASSERT_EQ(asked_.size(), 2u);
  EXPECT_EQ(asked_[1].request, FileRequest::kOpenState);
  // The folder of the last save, for this session only.
  EXPECT_EQ(asked_[1].folder, folder_.path());
  EXPECT_EQ(HashField(field_), saved);
  EXPECT_FALSE(form1_.CheckBox1->isChecked());
  EXPECT_EQ(form1_.Timer1->interval(), 256);
  EXPECT_TRUE(form1_.Timer1->isActive());
  EXPECT_EQ(BoxText(), QString());
}

// Ctrl+Shift+S and Ctrl+C give the frame exactly as drawn, one pixel per
// pixel, whatever the screen's scale.
TEST_F(DisplayMenuTest, PictureIsTheFrameOnePixelPerPixel) {
  Tick(3);
  const QImage frame = FrameImage(program_->Bitmap());
  ASSERT_EQ(frame.size(), QSize(660, 440));
  answers_ << Path("frame");
  Press(Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].request, FileRequest::kSavePicture);
  QImage saved(Path("frame"), "png");
  ASSERT_FALSE(saved.isNull());
  EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32), frame);

  QApplication::clipboard()->clear();
  Press(Qt::Key_C, Qt::ControlModifier);
  EXPECT_EQ(QApplication::clipboard()->image().convertToFormat(QImage::Format_RGB32), frame);
}

// Ctrl+G shows the gallery, every run under its name; a click on a run, or
// Enter on the one with the focus, closes it and starts that run as the
// tool starts its link, the display window at the link's size.
TEST_F(DisplayMenuTest, AGalleryRunOpensAsTheToolRunsIt) {
  const std::vector<GalleryRun>& runs = GalleryRuns();
  const struct {
    int row;
    bool click;
  } choices[] = {{2, true}, {static_cast<int>(runs.size()) - 1, false}};
  for (const auto& [row, click] : choices) {
    SCOPED_TRACE(row);
    form1_.Button2->click();
    Tick(2);
    Press(Qt::Key_G, Qt::ControlModifier);
    GalleryWindow* gallery = menu_.Gallery();
    ASSERT_NE(gallery, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(gallery));
    QListWidget* list = gallery->List();
    ASSERT_EQ(list->count(), static_cast<int>(runs.size()));
    for (int k = 0; k < list->count(); ++k) {
      EXPECT_EQ(list->item(k)->text().toStdString(), runs[static_cast<std::size_t>(k)].name);
    }
    if (click) {
      list->scrollToItem(list->item(row));
      QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
    } else {
      list->setCurrentRow(row);
      QTest::keyClick(list, Qt::Key_Return);
    }
    EXPECT_FALSE(gallery->isVisible());
    EXPECT_EQ(BoxText(), QString());
    const std::string& link = runs[static_cast<std::size_t>(row)].link;
    SharedRun run;
    ASSERT_EQ(ReadLink(link, run), "");
    EXPECT_EQ(form2_.size(), QSize(run.width, run.height));
    EXPECT_EQ(form1_.CheckBox1->isChecked(), run.darts);
    ExpectToRunAsTheTool(run);
  }
}

// Ctrl+Shift+C puts the run on the clipboard as a link, and Ctrl+L offers
// it back: opened after the run has changed, it starts the link's run, with
// its sliders, drawing mode and display size, and the ticks the tool runs
// from it. Anything else on the clipboard is not offered, and a link that
// cannot be replayed is told in the box and changes nothing.
TEST_F(DisplayMenuTest, ACopiedLinkOpensAsTheToolRunsIt) {
  form1_.TrackBar6->setValue(40);
  form1_.CheckBox1->click();  // Discs.
  Tick(3);
  QApplication::clipboard()->clear();
  Press(Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
  const QString link = QApplication::clipboard()->text();
  ASSERT_TRUE(link.startsWith(QStringLiteral("#zintrel=1&"))) << link.toStdString();
  const SliderPositions positions = Positions();

  form1_.Button2->click();
  form1_.CheckBox1->click();
  form2_.resize(500, 320);
  Tick(2);
  QStringList offered;
  menu_.SetLinkAsker([&offered](const QString& proposed) {
    offered << proposed;
    return proposed;
  });
  Press(Qt::Key_L, Qt::ControlModifier);
  ASSERT_EQ(offered, QStringList{link});
  EXPECT_EQ(BoxText(), QString());
  EXPECT_EQ(Positions(), positions);
  EXPECT_FALSE(form1_.CheckBox1->isChecked());
  EXPECT_EQ(form2_.size(), QSize(660, 440));
  SharedRun run;
  ASSERT_EQ(ReadLink(link.toStdString(), run), "");
  ExpectToRunAsTheTool(run);

  QApplication::clipboard()->setText(QStringLiteral("https://example.net/"));
  const std::uint64_t before = HashField(field_);
  menu_.SetLinkAsker([&offered](const QString& proposed) {
    offered << proposed;
    return QStringLiteral("#zintrel=1&seed=5");
  });
  Press(Qt::Key_L, Qt::ControlModifier);
  EXPECT_EQ(offered.last(), QString());
  EXPECT_TRUE(BoxText().startsWith(QStringLiteral("This link cannot be replayed: "))) << BoxText().toStdString();
  EXPECT_EQ(HashField(field_), before);
}

// Opening sets the exact values, moves the sliders without a handler
// storing anything, and the tooltips tell the exact values. Touching a
// slider afterwards stores its own value as always.
TEST_F(DisplayMenuTest, OpeningSetsExactValuesAndMovesSlidersQuietly) {
  auto state = std::make_unique<ParticleField>(field_);
  state->ParticleCount = 2400;
  state->Activity = 37.25;
  state->Acceleration = 0.49;
  state->MaxSpeed = 23.625;
  state->FieldWidth = 500;
  state->FieldHeight = 380;
  Write("exact.zintrel", QByteArray::fromStdString(StateToJson(*state, {true, 60})));
  int changes = 0;
  for (TrackBar* slider : {form1_.TrackBar1, form1_.TrackBar3, form1_.TrackBar4, form1_.TrackBar6,
                           form1_.TrackBar9}) {
    QObject::connect(slider, &TrackBar::Change, &form1_, [&changes] { ++changes; });
  }
  ASSERT_TRUE(menu_.OpenState(Path("exact.zintrel")));
  EXPECT_EQ(changes, 0);
  EXPECT_EQ(field_.ParticleCount, 2400);
  EXPECT_EQ(field_.Activity, 37.25);
  EXPECT_EQ(field_.Acceleration, 0.49);
  EXPECT_EQ(field_.MaxSpeed, 23.625);
  EXPECT_EQ(form1_.Timer1->interval(), 60);
  EXPECT_EQ(Positions(), (SliderPositions{98, 3, 24, 16, 33, 37, 8, 10, 49}));
  EXPECT_EQ(form1_.TrackBar1->toolTip(), QStringLiteral("How many particles move: 2400"));
  EXPECT_EQ(form1_.TrackBar6->toolTip(), QStringLiteral("How strongly the particles pull and push: A = 37.250"));
  EXPECT_EQ(form1_.TrackBar4->toolTip(), QStringLiteral("How fast the force fades with distance: a = 0.490"));
  EXPECT_EQ(form1_.TrackBar9->toolTip(), QStringLiteral("Time between two ticks: 60 ms"));
  // The display window takes the state's size, so the first tick stretches
  // nothing.
  EXPECT_EQ(form2_.size(), QSize(500, 380));
  const std::uint64_t opened = HashField(field_);
  form1_.Button4->click();  // Pause: the tick only measures and draws.
  Tick(1);
  form1_.Button4->click();
  field_.Running = 1;
  EXPECT_EQ(HashField(field_), opened);

  form1_.TrackBar6->triggerAction(QAbstractSlider::SliderSingleStepAdd);
  EXPECT_EQ(field_.Activity, 38.0);
  EXPECT_EQ(changes, 1);
}

// A state larger than the screen opens all the same; the box says why the
// window is smaller, and the next tick stretches the particles to it.
TEST_F(DisplayMenuTest, AStateLargerThanTheScreenIsFittedAndSaidSo) {
  auto state = std::make_unique<ParticleField>(field_);
  state->FieldWidth = state->LastWidth = 16384;
  state->FieldHeight = state->LastHeight = 300;
  Write("wide.zintrel", QByteArray::fromStdString(StateToJson(*state)));
  form2_.close();
  ASSERT_TRUE(menu_.OpenState(Path("wide.zintrel")));
  EXPECT_TRUE(form2_.isVisible());
  EXPECT_LT(form2_.width(), 16384);
  EXPECT_EQ(form2_.height(), 300);
  EXPECT_TRUE(BoxText().startsWith(QStringLiteral("The display window cannot be 16384 × 300 pixels")))
      << BoxText().toStdString();
  EXPECT_EQ(menu_.Messages().OpenBox()->icon(), QMessageBox::Information);
  // The frame is never larger than the window can be.
  EXPECT_EQ(program_->Bitmap().Width(), form2_.width());
  EXPECT_LE(program_->Bitmap().HeldBytes(), static_cast<std::size_t>(form2_.width()) * 300u * 4u);
  // One stretch, from the state's own width to the window's: the tick gives
  // what the headless tool's gives at that size, and not what it gives at
  // the state's own (unstretched) or at the old window's 660 x 440.
  auto fitted = std::make_unique<ParticleField>(*state);
  FrameBitmap frame;
  RunTick(*fitted, frame, form2_.width(), 300, true);
  auto unstretched = std::make_unique<ParticleField>(*state);
  RunTick(*unstretched, frame, 16384, 300, true);
  ASSERT_NE(HashField(*fitted), HashField(*unstretched));
  Tick(1);
  EXPECT_EQ(field_.FieldWidth, form2_.width());
  EXPECT_EQ(HashField(field_), HashField(*fitted));
}

// Whatever the reader refuses shows one line in the box and leaves the
// animation, the field and the sliders exactly as they were.
TEST_F(DisplayMenuTest, BadFilesChangeNothing) {
  Tick(2);
  // Away from every start value, so that a reset would show.
  form1_.CheckBox1->click();
  form1_.TrackBar9->setValue(66);
  form1_.TrackBar6->setValue(70);
  ASSERT_EQ(form1_.Timer1->interval(), 256);
  auto good = std::make_unique<ParticleField>(field_);
  std::string text = StateToJson(*good);
  Write("text.zintrel", "a picture, perhaps");
  Write("wrong-field.zintrel", QByteArray::fromStdString(std::string(text).insert(1, "\"Colour\": 3,")));
  good->MaxSpeed = 30;
  Write("out-of-range.zintrel", QByteArray::fromStdString(StateToJson(*good)));
  Write("truncated.zintrel", QByteArray::fromStdString(text.substr(0, text.size() / 2)));
  ASSERT_TRUE(QDir(folder_.path()).mkdir(QStringLiteral("folder.zintrel")));
  ASSERT_EQ(mkfifo(Path("pipe.zintrel").toLocal8Bit().constData(), 0600), 0);
  Write("nested.zintrel", QByteArray(4 << 20, '[') + QByteArray(4 << 20, ']'));
  {
    QFile huge(Path("huge.zintrel"));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    ASSERT_TRUE(huge.resize(qint64{4} << 30));  // Sparse: gigabytes that take no room.
  }
  const struct {
    QString path;
    const char* expected;
  } cases[] = {
      {Path("text.zintrel"), "malformed JSON"},
      {Path("wrong-field.zintrel"), "unknown field 'Colour'"},
      {Path("out-of-range.zintrel"), "'MaxSpeed' is 30.0"},
      {Path("truncated.zintrel"), "malformed JSON"},
      {Path("folder.zintrel"), "is a folder"},
      {QStringLiteral("/dev/zero"), "is not a regular file"},
      {Path("pipe.zintrel"), "is not a regular file"},
      {Path("huge.zintrel"), "is too large to be a saved state"},
      {Path("nested.zintrel"), "nested deeper than a state"},
      {Path("missing.zintrel"), "No such file"},
  };
  const std::uint64_t before = HashField(field_);
  const SliderPositions positions = Positions();
  for (const auto& test : cases) {
    SCOPED_TRACE(test.path.toStdString());
    EXPECT_FALSE(menu_.OpenState(test.path));
    const QString text = BoxText();
    EXPECT_TRUE(text.contains(QString::fromUtf8(test.expected))) << text.toStdString();
    EXPECT_FALSE(text.contains(QLatin1Char('\n'))) << text.toStdString();
    EXPECT_EQ(menu_.Messages().OpenBox()->icon(), QMessageBox::Critical);
    CloseBox();
    EXPECT_EQ(HashField(field_), before);
    EXPECT_EQ(Positions(), positions);
    EXPECT_TRUE(form1_.Timer1->isActive());
    EXPECT_EQ(form1_.Timer1->interval(), 256);
    EXPECT_FALSE(form1_.CheckBox1->isChecked());
    EXPECT_EQ(program_->Bitmap().Width(), 660);
    EXPECT_EQ(form2_.size(), QSize(660, 440));
  }
}

// A bad file opened while a tick's fault has its box open gets the next box
// rather than none, over the display window; while either box is open
// neither window takes a click or a key, and once both are closed they do.
TEST_F(DisplayMenuTest, AReportWaitsForTheOpenBoxAndBothWindowsWaitForIt) {
  PlantOverflowingParticle(field_);
  form1_.Timer1->start(1);
  const QDeadlineTimer deadline(10000);
  while (!deadline.hasExpired() && BoxText().isEmpty()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  ASSERT_EQ(BoxText(), QStringLiteral("Floating point overflow."));
  Write("bad.zintrel", "a picture, perhaps");
  EXPECT_FALSE(menu_.OpenState(Path("bad.zintrel")));
  EXPECT_EQ(BoxText(), QStringLiteral("Floating point overflow."));
  EXPECT_EQ(menu_.Messages().Waiting(), 1);

  // Play / Pause clicked and Ctrl+O pressed through the window system, as a
  // user does; returns how many of the two were taken.
  const auto userActs = [this] {
    const std::int32_t running = field_.Running;
    const std::size_t asked = asked_.size();
    QTest::mouseClick(form1_.windowHandle(), Qt::LeftButton, Qt::NoModifier,
                      form1_.Button4->mapTo(&form1_, form1_.Button4->rect().center()));
    form2_.activateWindow();
    QCoreApplication::processEvents();
    QTest::keyClick(form2_.windowHandle(), Qt::Key_O, Qt::ControlModifier);
    const int taken = (field_.Running != running ? 1 : 0) + (asked_.size() != asked ? 1 : 0);
    field_.Running = running;
    return taken;
  };
  EXPECT_EQ(userActs(), 0);
  CloseBox();
  ASSERT_TRUE(BoxText().contains(QStringLiteral("malformed JSON"))) << BoxText().toStdString();
  EXPECT_EQ(menu_.Messages().OpenBox()->parentWidget(), &form2_);
  EXPECT_EQ(userActs(), 0);
  CloseBox();
  EXPECT_EQ(BoxText(), QString());
  form1_.Timer1->stop();
  EXPECT_EQ(userActs(), 2);
}

// A save that fails says so, with the system's reason, and leaves the file
// that was there whole: on a real full disk (a picture of a few kilobytes,
// which a buffered writer would only flush when closing the file, as well
// as a state), past the file size limit, and into a folder that is gone.
TEST_F(DisplayMenuTest, AFailedSaveSaysWhyAndLeavesTheOldFileWhole) {
  Tick(3);
  SmallDisk disk(256 * 1024);
  if (disk.Mounted()) {
    const QByteArray old(3000, 'o');
    for (const char* name : {"old.zintrel", "old.png"}) {
      QFile file(QString::fromStdString(disk.File(name)));
      ASSERT_TRUE(file.open(QIODevice::WriteOnly));
      ASSERT_EQ(file.write(old), old.size());
    }
    ASSERT_TRUE(disk.Fill());
    EXPECT_FALSE(menu_.SaveState(QString::fromStdString(disk.File("old.zintrel"))));
    EXPECT_EQ(BoxText(), QStringLiteral("Cannot save the state as '%1': No space left on device.")
                             .arg(QString::fromStdString(disk.File("old.zintrel"))));
    CloseBox();
    EXPECT_FALSE(menu_.SavePicture(QString::fromStdString(disk.File("old.png"))));
    EXPECT_EQ(BoxText(), QStringLiteral("Cannot save the picture as '%1': No space left on device.")
                             .arg(QString::fromStdString(disk.File("old.png"))));
    CloseBox();
    EXPECT_EQ(FileBytes(disk.File("old.zintrel")), old.toStdString());
    EXPECT_EQ(FileBytes(disk.File("old.png")), old.toStdString());
  } else {
    std::cout << "[ SKIPPED  ] the full disk part: " << disk.Why() << '\n';
  }

  Write("old.zintrel", QByteArray(100, 'x'));
  rlimit original{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &original), 0);
  const auto previous = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = original;
  small.rlim_cur = 4096;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved = menu_.SaveState(Path("old.zintrel"));
  setrlimit(RLIMIT_FSIZE, &original);
  std::signal(SIGXFSZ, previous);
  EXPECT_FALSE(saved);
  EXPECT_EQ(BoxText(), QStringLiteral("Cannot save the state as '%1': File too large.").arg(Path("old.zintrel")));
  CloseBox();
  EXPECT_EQ(FileBytes(Path("old.zintrel").toStdString()), std::string(100, 'x'));
  EXPECT_EQ(QDir(folder_.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("old.zintrel")});

  EXPECT_FALSE(menu_.SavePicture(Path("no-such-folder/frame.png")));
  EXPECT_EQ(BoxText(), QStringLiteral("Cannot save the picture as '%1': No such file or directory.")
                           .arg(Path("no-such-folder/frame.png")));
}

// With the failure injector preloaded (a test of its own), each call of a
// save fails in turn: every failure is told with the system's reason, and
// the old file stays as it was.
TEST_F(DisplayMenuTest, EveryFailingCallOfASaveIsToldAndKeepsTheOldFile) {
  using Set = void (*)(long, int);
  const auto set = reinterpret_cast<Set>(dlsym(RTLD_DEFAULT, "FailCallsSet"));
  const auto counted = reinterpret_cast<long (*)()>(dlsym(RTLD_DEFAULT, "FailCallsCounted"));
  const auto watch = reinterpret_cast<void (*)(const char*)>(dlsym(RTLD_DEFAULT, "FailCallsWatch"));
  if (set == nullptr || counted == nullptr || watch == nullptr) GTEST_SKIP() << "the failure injector is not preloaded";
  Tick(3);
  const QByteArray folder = QFile::encodeName(folder_.path());
  watch(folder.constData());
  for (const bool picture : {false, true}) {
    SCOPED_TRACE(picture ? "picture" : "state");
    const QString path = Path(picture ? "old.png" : "old.zintrel");
    const auto save = [&] { return picture ? menu_.SavePicture(path) : menu_.SaveState(path); };
    Write(picture ? "old.png" : "old.zintrel", "old");
    set(0, EIO);
    ASSERT_TRUE(save());
    const long calls = counted();
    for (long failing = 1; failing <= calls; ++failing) {
      Write(picture ? "old.png" : "old.zintrel", "old");
      set(failing, EIO);
      const bool saved = save();
      set(0, EIO);
      if (!saved) {
        EXPECT_TRUE(BoxText().endsWith(QStringLiteral("': Input/output error."))) << BoxText().toStdString();
        EXPECT_EQ(FileBytes(path.toStdString()), "old") << "call " << failing;
        CloseBox();
      } else {
        EXPECT_NE(FileBytes(path.toStdString()), "old") << "call " << failing;
      }
    }
  }
  watch("");
}

// A file dropped on either window opens; anything but one local file is
// refused at the door.
TEST_F(DisplayMenuTest, DroppedFileOpensOnEitherWindow) {
  auto state = std::make_unique<ParticleField>(field_);
  state->Repulsion = 42.0;
  Write("dropped.zintrel", QByteArray::fromStdString(StateToJson(*state)));
  for (QWidget* window : {static_cast<QWidget*>(&form1_), static_cast<QWidget*>(&form2_)}) {
    SCOPED_TRACE(window->objectName().toStdString());
    field_.Repulsion = 8.0;
    QMimeData two;
    two.setUrls({QUrl::fromLocalFile(Path("dropped.zintrel")), QUrl::fromLocalFile(Path("dropped.zintrel"))});
    QDragEnterEvent refused(QPoint(5, 5), Qt::CopyAction, &two, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &refused);
    EXPECT_FALSE(refused.isAccepted());

    QMimeData one;
    one.setUrls({QUrl::fromLocalFile(Path("dropped.zintrel"))});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &one, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &one, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(window, &drop);
    EXPECT_EQ(field_.Repulsion, 42.0);
  }
}

// A state saved from the window and run by the headless tool for T ticks
// ends exactly where the window gets after T more ticks at the same size.
// Ctrl+R records every tick from the next one on, the title saying so, and
// Ctrl+R again saves the animation: the very file the headless tool records
// of the same ticks. Closing the display window ends a recording too.
TEST_F(DisplayMenuTest, RecordingIsTheToolsGifByteForByte) {
  form1_.Button2->click();
  form1_.TrackBar9->setValue(66);
  Tick(5);
  ASSERT_TRUE(menu_.SaveState(Path("start.zintrel")));
  answers_ << Path("run.gif");
  Press(Qt::Key_R, Qt::ControlModifier);
  ASSERT_EQ(asked_.size(), 1u);
  EXPECT_EQ(asked_[0].request, FileRequest::kSaveRecording);
  EXPECT_TRUE(asked_[0].name.endsWith(QLatin1String(".gif")));
  EXPECT_EQ(menu_.RecordAction->text(), QStringLiteral("Stop recording"));
  Tick(12);
  EXPECT_TRUE(form2_.windowTitle().startsWith(QString::fromUtf8("Zintrel \u2014 recording 0:03, ")))
      << form2_.windowTitle().toStdString();
  // Nothing at the name until the recording ends.
  EXPECT_FALSE(QFile::exists(Path("run.gif")));
  Press(Qt::Key_R, Qt::ControlModifier);
  EXPECT_EQ(BoxText(), QString());
  EXPECT_EQ(form2_.windowTitle(), QStringLiteral("Zintrel"));
  EXPECT_EQ(menu_.RecordAction->text(), QString::fromUtf8("Record…"));

  QProcess tool;
  tool.start(QStringLiteral(ZINTREL_HEADLESS_PATH),
             {QStringLiteral("--state-in"), Path("start.zintrel"), QStringLiteral("--ticks"), QStringLiteral("12"),
              QStringLiteral("--gif"), Path("headless.gif")});
  ASSERT_TRUE(tool.waitForFinished(60000));
  ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
  EXPECT_EQ(FileBytes(Path("run.gif").toStdString()), FileBytes(Path("headless.gif").toStdString()));

  answers_ << Path("closed.gif");
  Press(Qt::Key_R, Qt::ControlModifier);
  Tick(2);
  form2_.close();
  EXPECT_FALSE(menu_.Messages().OpenBox() != nullptr && BoxText() != QString()) << BoxText().toStdString();
  EXPECT_EQ(FileBytes(Path("closed.gif").toStdString()).back(), ';');
  EXPECT_EQ(menu_.RecordAction->text(), QString::fromUtf8("Record…"));
}

// Quitting ends a recording with its file whole, as the program goes.
TEST_F(DisplayMenuTest, QuittingSavesTheRecordingWhole) {
  auto quitting = std::make_unique<Program>();
  quitting->Form1().Timer1->stop();
  quitting->Menu().StartRecordingAt(Path("quit.gif").toStdString());
  for (int tick = 0; tick < 3; ++tick) quitting->Form1().Timer1Timer();
  EXPECT_FALSE(QFile::exists(Path("quit.gif")));
  quitting.reset();
  const std::string file = FileBytes(Path("quit.gif").toStdString());
  EXPECT_EQ(file.rfind("GIF89a", 0), 0u);
  EXPECT_EQ(file.back(), ';');
}

// A recording on a disk that fills up says so with the system's reason and
// leaves no file at its name.
TEST_F(DisplayMenuTest, ARecordingOnAFullDiskIsToldAndLeavesNoFile) {
  SmallDisk disk(256 * 1024);
  if (!disk.Mounted()) GTEST_SKIP() << disk.Why();
  form1_.TrackBar1->setValue(99);
  Tick(2);
  menu_.StartRecordingAt(disk.File("full.gif"));
  ASSERT_TRUE(disk.Fill());
  // Ticks as the timer runs them, whose failures go to the box.
  for (int tick = 0; tick < 50 && menu_.Messages().OpenBox() == nullptr; ++tick) {
    RunGuarded(form1_.Errors(), [this] { form1_.Timer1Timer(); });
  }
  EXPECT_EQ(BoxText(), QStringLiteral("Cannot save the recording as '%1': No space left on device.")
                           .arg(QString::fromStdString(disk.File("full.gif"))));
  EXPECT_EQ(Listing(disk.Path()), std::vector<std::string>{"filler"});
  EXPECT_EQ(menu_.RecordAction->text(), QString::fromUtf8("Record…"));
}

TEST_F(DisplayMenuTest, SavedStateReplaysInTheHeadlessTool) {
  form1_.Button2->click();
  Tick(20);
  ASSERT_TRUE(menu_.SaveState(Path("start.zintrel")));
  Tick(30);
  ASSERT_TRUE(menu_.SaveState(Path("window.zintrel")));

  QProcess tool;
  tool.start(QStringLiteral(ZINTREL_HEADLESS_PATH),
             {QStringLiteral("--state-in"), Path("start.zintrel"), QStringLiteral("--ticks"), QStringLiteral("30"),
              QStringLiteral("--state-out"), Path("headless.zintrel")});
  ASSERT_TRUE(tool.waitForFinished(60000));
  ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
  QFile window(Path("window.zintrel"));
  QFile headless(Path("headless.zintrel"));
  ASSERT_TRUE(window.open(QIODevice::ReadOnly) && headless.open(QIODevice::ReadOnly));
  // The same text: every bit of the state, the drawing mode and interval.
  EXPECT_EQ(headless.readAll(), window.readAll());
}

}  // namespace
}  // namespace zintrel
