#pragma once
// The questions and notices the library puts to the person at the till: the yes/no confirmation
// (ConfirmDialog, the SMAC question), the message boxes (DisplayMessage, DisplayMessageOverWait) and the
// wait window (tQZ_Wait).
//
// The library lives inside a point-of-sale host and never starts a window toolkit there: a toolkit
// initialised behind the host's back fights the host's own event loop. A question is therefore asked, in
// this order:
//   1. through the callback the host registered with the export QZFP_SetConfirmCallback (a host with its
//      own user interface answers in its own windows);
//   2. else by the helper program qzfp-confirm ($QZFP_CONFIRM_PROGRAM, else the file "qzfp-confirm" in the
//      folder of the library), run as a child process whose exit status is the answer: 0 Yes, 1 No,
//      2 Cancel; any other status, a signal or a failure to start it answers Cancel;
//   3. else nobody can ask: the answer is co_Cancel and an error line says why.
// Error lines go to the application log (tQZ_Application's log writer: "LogFiles/<host>.log" in the
// folder of the host executable).

#include <cstdint>
#include <initializer_list>
#include <memory>
#include <string>

#include "platform/HelperProcess.h"

enum tQZ_ConfirmOption { co_Yes = 0, co_No = 1, co_Cancel = 2 };

// A set of tQZ_ConfirmOption: one byte, bit n for member n.
class tQZ_ConfirmOptions {
 public:
  constexpr tQZ_ConfirmOptions() = default;
  constexpr tQZ_ConfirmOptions(std::initializer_list<tQZ_ConfirmOption> aOptions) {
    for (tQZ_ConfirmOption o : aOptions) Include(o);
  }
  static constexpr tQZ_ConfirmOptions FromBits(std::uint8_t aBits) {
    tQZ_ConfirmOptions result;
    result.fBits = aBits & 0x07;
    return result;
  }

  constexpr void Include(tQZ_ConfirmOption aOption) { fBits |= Bit(aOption); }
  constexpr bool Contains(tQZ_ConfirmOption aOption) const { return (fBits & Bit(aOption)) != 0; }
  constexpr int Count() const { return (fBits & 1) + ((fBits >> 1) & 1) + ((fBits >> 2) & 1); }
  constexpr bool Empty() const { return fBits == 0; }
  constexpr std::uint8_t Bits() const { return fBits; }

  constexpr bool operator==(const tQZ_ConfirmOptions&) const = default;

 private:
  static constexpr std::uint8_t Bit(tQZ_ConfirmOption aOption) {
    return static_cast<std::uint8_t>(1u << static_cast<unsigned>(aOption));
  }
  std::uint8_t fBits = 0;
};

// A 24-bit RGB colour.
struct tQZ_Color {
  std::uint8_t Red = 0;
  std::uint8_t Green = 0;
  std::uint8_t Blue = 0;

  // 0xRRGGBB, the form the confirm callback and qzfp-confirm use.
  constexpr std::uint32_t ToRgb() const {
    return (std::uint32_t{Red} << 16) | (std::uint32_t{Green} << 8) | std::uint32_t{Blue};
  }
  static constexpr tQZ_Color FromRgb(std::uint32_t aRgb) {
    return {static_cast<std::uint8_t>(aRgb >> 16), static_cast<std::uint8_t>(aRgb >> 8),
            static_cast<std::uint8_t>(aRgb)};
  }
  // A window colour value 0x00BBGGRR, the form the system's colours are written in (7FF7 is the orange of
  // the SMAC question: red F7, green 7F, blue 00).
  static constexpr tQZ_Color FromWindowColor(std::uint32_t aValue) {
    return {static_cast<std::uint8_t>(aValue), static_cast<std::uint8_t>(aValue >> 8),
            static_cast<std::uint8_t>(aValue >> 16)};
  }
  constexpr bool operator==(const tQZ_Color&) const = default;
};

inline constexpr tQZ_Color kQZ_DarkBlue{12, 25, 117};
inline constexpr tQZ_Color kQZ_White{255, 255, 255};
inline constexpr tQZ_Color kQZ_Green{0, 128, 0};
inline constexpr tQZ_Color kQZ_Red{255, 0, 0};
inline constexpr tQZ_Color kQZ_Silver{192, 192, 192};
inline constexpr tQZ_Color kQZ_Orange{247, 127, 0};

// The host's answerer: see QZFP_SetConfirmCallback in docs/INTEGRATION.md. Texts are UTF-8 and stay valid
// for the call only; aOptions has bit n set for option n (1 Yes, 2 No, 4 Cancel); aColorRgb is 0xRRGGBB.
// The answer is 0 Yes, 1 No, 2 Cancel; any other value is taken as Cancel.
extern "C" typedef int (*QZFP_ConfirmCallback)(void* aUserData, const char* aTitle, const char* aMessage,
                                               unsigned aOptions, unsigned aColorRgb);

// Registers (or, with a null callback, removes) the host's answerer. Safe from any thread.
void SetConfirmCallback(QZFP_ConfirmCallback aCallback, void* aUserData);

// One question: the fields of the question window, and Show, which asks it and answers the option chosen.
class tQZ_Confirm {
 public:
  tQZ_Confirm() = default;

  tQZ_ConfirmOption Show();

  const std::string& Title() const { return fTitle; }
  void SetTitle(const std::string& aValue) { fTitle = aValue; }
  const std::string& Message() const { return fMessage; }
  void SetMessage(const std::string& aValue) { fMessage = aValue; }
  tQZ_ConfirmOption Selected() const { return fSelected; }
  tQZ_ConfirmOptions Options() const { return fOptions; }
  void SetOptions(tQZ_ConfirmOptions aValue) {
    fOptions = aValue;
    fButtonCount = aValue.Count();
  }
  tQZ_Color MessageContainerColor() const { return fMessageContainerColor; }
  void SetMessageContainerColor(tQZ_Color aValue) { fMessageContainerColor = aValue; }
  int ButtonCount() const { return fButtonCount; }

 private:
  std::string fTitle;
  std::string fMessage;
  tQZ_ConfirmOption fSelected = co_Cancel;
  tQZ_ConfirmOptions fOptions;
  int fButtonCount = 0;
  tQZ_Color fMessageContainerColor = kQZ_Orange;
};

// Asks the question and answers the option chosen (co_Cancel when nobody could ask). Blocks, without a
// time-out, until it is answered. An empty option set has no button to press: it throws
// QzError("ConfirmDialog needs at least one option").
tQZ_ConfirmOption ConfirmDialog(const std::string& aTitle, const std::string& aMessage,
                                tQZ_ConfirmOptions aOptions, tQZ_Color aColor);

// The wait window: a small always-on-top window asking the user to wait. Shown by the helper program
// while it is started; never shown unless Start is called.
class tQZ_Wait {
 public:
  tQZ_Wait();
  ~tQZ_Wait();
  tQZ_Wait(const tQZ_Wait&) = delete;
  tQZ_Wait& operator=(const tQZ_Wait&) = delete;

  // Writes Text with aText and shows the window (not modal).
  void Start(const std::string& aText);
  // Hides the window.
  void Stop();

  // Writes the caption: the text of the application's language ("Wait please ..." for "en", else
  // "Attendere prego ..."), then CR LF and aValue when aValue is not empty. A shown window shows it at once.
  void SetText(const std::string& aValue);
  bool Started() const { return fStarted; }
  // The caption as last written (what the window shows).
  const std::string& Caption() const { return fCaption; }

 private:
  void ShowWindow();
  void HideWindow();

  bool fStarted = false;
  std::string fText_IT;
  std::string fText_EN;
  std::string fCaption;
  std::unique_ptr<qzprocess::HelperProcess> fWindow;  // the running helper while shown
};

// The library's one wait window, hidden until started (the application services' wait window).
tQZ_Wait& ApplicationWaitWindow();

// A message box with an OK button: aKind 0 information, 1 error. With the host's "/BATCH" switch the
// message is logged as an error line and nothing is shown. Shown by the helper program; when it cannot
// be shown the message is logged as an error line so it is not lost. Blocks until it is closed.
void DisplayMessage(int aKind, const std::string& aMessage);
// The same, hiding the application's wait window while the box is shown when it is started.
void DisplayMessageOverWait(int aKind, const std::string& aMessage);

// Where the helper program is looked for: $QZFP_CONFIRM_PROGRAM when set and not empty, else the file
// "qzfp-confirm" in the folder of the binary holding this code. Empty when neither names a file that
// can be run; aWhy then says why.
std::string FindConfirmProgram(std::string* aWhy = nullptr);
