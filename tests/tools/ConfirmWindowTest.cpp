// qzfp-confirm on a real (virtual) X server: the windows as the cashier sees them, read back from a
// screenshot, and answered with real clicks and keys.

#include <gtest/gtest.h>

#include <functional>
#include <future>

#include "ToolsTestSupport.h"
#include "support/uQZ_Base.h"
#include "support/uQZ_Confirm.h"

namespace {

using namespace toolstest;

const Pixel kDarkBlue{12, 25, 117};
const Pixel kOrange{247, 127, 0};
const Pixel kGreen{0, 128, 0};
const Pixel kRed{255, 0, 0};
const Pixel kSilver{192, 192, 192};
const Pixel kRoot{0, 0, 0};  // Xvfb's empty screen

class ConfirmWindowTest : public ::testing::Test {
 public:
  // Starts the helper's question window on the test's X server.
  std::unique_ptr<Child> AskQuestion(const std::string& aTitle, const std::string& aOptions) {
    auto child = std::make_unique<Child>(
        std::vector<std::string>{ConfirmHelperPath(), "confirm", "--title", aTitle, "--message",
                                 "Il cliente dispone di una SMAC Card?", "--options", aOptions, "--color",
                                 "F77F00"},
        fDir.Path() / (aTitle + ".out"), std::vector<std::string>{"DISPLAY=" + fX.Display()});
    fWindow = fX.FindWindow("^" + aTitle + "$");
    if (fWindow.empty())
      ADD_FAILURE() << "no window on " << fX.Display() << ": " << child->Output();
    else
      WaitUntilDrawn();
    return child;
  }
  // A window is mapped before it is painted: screenshots and clicks wait for its title band.
  void WaitUntilDrawn() { WaitUntilPainted(fX, fWindow, kDarkBlue); }
  // Left and top of the window on the screen.
  std::pair<int, int> Origin() { return WindowOrigin(fX, fWindow); }
  void Click(int aX, int aY) {
    fX.Run("xdotool mousemove --window " + fWindow + " " + std::to_string(aX) + " " + std::to_string(aY) +
           " click 1");
  }

  TempDir fDir;
  XServer fX;
  std::string fWindow;
};

TEST_F(ConfirmWindowTest, TheQuestionIsDrawnWithItsGeometryAndColours) {
  auto child = AskQuestion("Conferma utilizzo SMAC", "yes,no");
  ASSERT_FALSE(fWindow.empty());
  auto [x, y] = Origin();
  EXPECT_EQ(x, (1024 - 600) / 2) << "centred";
  EXPECT_EQ(y, (768 - 400) / 2) << "centred";
  Screenshot shot(fX);
  struct Probe {
    int fX;
    int fY;
    Pixel fExpected;
    const char* fWhat;
  };
  const Probe probes[] = {
      {2, 2, kDarkBlue, "title band, top left"},
      {597, 69, kDarkBlue, "title band, bottom right (70 pixels)"},
      {2, 70, kOrange, "body just below the band"},
      {597, 299, kOrange, "body just above the button band"},
      {2, 300, kGreen, "Yes: from the left edge"},
      {299, 399, kGreen, "Yes: 300 pixels wide, to the bottom"},
      {300, 300, kRed, "No: right of Yes"},
      {599, 399, kRed, "No: to the right edge"},
      {600, 200, kRoot, "nothing right of the 600 pixels (no border)"},
      {200, 400, kRoot, "nothing below the 400 pixels"},
      {-1, 200, kRoot, "nothing left of the window"},
  };
  for (const Probe& p : probes) EXPECT_EQ(shot.At(x + p.fX, y + p.fY), p.fExpected) << p.fWhat;
  // The question itself is drawn in dark blue somewhere in the middle area.
  int questionPixels = 0;
  for (int py = 71; py < 299; ++py)
    for (int px = 0; px < 600; ++px)
      if (shot.At(x + px, y + py) == kDarkBlue) ++questionPixels;
  EXPECT_GT(questionPixels, 50);
  Click(150, 350);
  EXPECT_EQ(child->WaitFor(5000ms), 0);
}

TEST_F(ConfirmWindowTest, EachWayOfAnsweringGivesItsExitStatus) {
  struct Case {
    const char* fOptions;
    std::function<void(ConfirmWindowTest&)> fAct;
    int fExpected;
    const char* fWhat;
  };
  const Case cases[] = {
      {"yes,no", [](ConfirmWindowTest& t) { t.Click(150, 350); }, 0, "click on Yes"},
      {"yes,no", [](ConfirmWindowTest& t) { t.Click(450, 350); }, 1, "click on No"},
      {"yes,no,cancel", [](ConfirmWindowTest& t) { t.Click(500, 350); }, 2, "click on Cancel"},
      {"yes,no", [](ConfirmWindowTest& t) { t.fX.Run("xdotool windowclose " + t.fWindow); }, 2,
       "window closed"},
      {"yes,no",
       [](ConfirmWindowTest& t) {
         t.fX.Run("xdotool mousemove --window " + t.fWindow + " 300 150 key Escape");
       },
       2, "closed with the keyboard"},
  };
  int n = 0;
  for (const Case& c : cases) {
    auto child = AskQuestion("Question " + std::to_string(++n), c.fOptions);
    ASSERT_FALSE(fWindow.empty()) << c.fWhat;
    // A click on the body answers nothing.
    Click(300, 150);
    EXPECT_FALSE(child->WaitFor(300ms).has_value()) << c.fWhat;
    c.fAct(*this);
    EXPECT_EQ(child->WaitFor(5000ms), c.fExpected) << c.fWhat;
  }
}

TEST_F(ConfirmWindowTest, ThreeButtonsShareTheWidthInTheirOrder) {
  auto child = AskQuestion("Tre pulsanti", "yes,no,cancel");
  ASSERT_FALSE(fWindow.empty());
  auto [x, y] = Origin();
  Screenshot shot(fX);
  EXPECT_EQ(shot.At(x + 199, y + 390), kGreen);
  EXPECT_EQ(shot.At(x + 200, y + 390), kRed);
  EXPECT_EQ(shot.At(x + 399, y + 390), kRed);
  EXPECT_EQ(shot.At(x + 400, y + 390), kSilver);
  EXPECT_EQ(shot.At(x + 599, y + 390), kSilver);
}

TEST_F(ConfirmWindowTest, ConfirmDialogRunsTheHelperAndTakesTheCashiersAnswer) {
  TempDir appDir;
  setenv("QZFP_APP_DIR", appDir.Path().c_str(), 1);
  setenv("QZFP_CONFIRM_PROGRAM", ConfirmHelperPath().c_str(), 1);
  setenv("DISPLAY", fX.Display().c_str(), 1);
  SetConfirmCallback(nullptr, nullptr);
  auto answer = std::async(std::launch::async, [] {
    return ConfirmDialog("Conferma utilizzo SMAC", "Il cliente dispone di una SMAC Card?", {co_Yes, co_No},
                         tQZ_Color::FromWindowColor(0x7FF7));
  });
  // Should the test stop early, the question is closed so that the asking thread can end.
  struct CloseLeftQuestion {
    ConfirmWindowTest& fTest;
    std::future<tQZ_ConfirmOption>& fAnswer;
    ~CloseLeftQuestion() {
      for (int i = 0; i < 50 && fAnswer.valid() && fAnswer.wait_for(100ms) != std::future_status::ready; ++i)
        fTest.fX.Run("xdotool search --name '^Conferma utilizzo SMAC$' windowclose 2>/dev/null");
    }
  } guard{*this, answer};
  fWindow = fX.FindWindow("^Conferma utilizzo SMAC$");
  ASSERT_FALSE(fWindow.empty());
  WaitUntilDrawn();
  Screenshot shot(fX);
  auto [x, y] = Origin();
  EXPECT_EQ(shot.At(x + 10, y + 100), kOrange) << "the caller's colour reaches the window";
  Click(450, 350);
  ASSERT_EQ(answer.wait_for(5s), std::future_status::ready);
  EXPECT_EQ(answer.get(), co_No);
  unsetenv("QZFP_CONFIRM_PROGRAM");
  unsetenv("DISPLAY");
  FreeApplication();
  unsetenv("QZFP_APP_DIR");
}

TEST_F(ConfirmWindowTest, TheWaitWindowShowsWhileStartedAndGoesOnStop) {
  TempDir appDir;
  setenv("QZFP_APP_DIR", appDir.Path().c_str(), 1);
  setenv("QZFP_CONFIRM_PROGRAM", ConfirmHelperPath().c_str(), 1);
  setenv("DISPLAY", fX.Display().c_str(), 1);
  {
    tQZ_Wait wait;
    wait.Start("loading");
    EXPECT_TRUE(wait.Started());
    EXPECT_EQ(wait.Caption(), "Attendere prego ...\r\nloading") << "an empty language speaks Italian";
    fWindow = fX.FindWindow("^qzfp-wait$");
    ASSERT_FALSE(fWindow.empty());
    WaitUntilDrawn();
    std::string geometry = fX.Run("xdotool getwindowgeometry " + fWindow);
    int width = 0;
    int height = 0;
    std::sscanf(geometry.substr(geometry.find("Geometry:")).c_str(), "Geometry: %dx%d", &width, &height);
    EXPECT_EQ(height, 50);
    EXPECT_GT(width, 100) << "1.3 times the two-line caption";
    auto [x, y] = Origin();
    EXPECT_EQ(x, (1024 - width) / 2);
    EXPECT_EQ(Screenshot(fX).At(x + 1, y + 1), kDarkBlue);
    wait.Stop();
    EXPECT_FALSE(wait.Started());
    EXPECT_EQ(fX.Run("xdotool search --onlyvisible --name '^qzfp-wait$'"), "");
  }
  Application().SetLanguage("EN");
  tQZ_Wait english;
  english.SetText("loading");
  EXPECT_EQ(english.Caption(), "Wait please ...\r\nloading");
  unsetenv("QZFP_CONFIRM_PROGRAM");
  unsetenv("DISPLAY");
  FreeApplication();
  unsetenv("QZFP_APP_DIR");
}

}  // namespace
