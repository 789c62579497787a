#pragma once
// The three windows of the helper. Each runs its own main loop and answers the helper's exit status.

#include <cstdint>
#include <string>

namespace qzconfirm {

// Exit statuses: the answer of a question, or why nothing could be asked. The library reads 0, 1 and 2 as
// Yes, No and Cancel and everything else as Cancel.
enum ExitStatus { kExitYes = 0, kExitNo = 1, kExitCancel = 2, kExitUsage = 3, kExitNoDisplay = 4 };

struct Rgb {
  std::uint8_t fRed = 0;
  std::uint8_t fGreen = 0;
  std::uint8_t fBlue = 0;
};

inline constexpr Rgb kDarkBlue{12, 25, 117};
inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kGreen{0, 128, 0};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kSilver{192, 192, 192};
inline constexpr Rgb kOrange{247, 127, 0};

struct ConfirmRequest {
  std::string fTitle;
  std::string fMessage;
  bool fYes = false;
  bool fNo = false;
  bool fCancel = false;
  Rgb fColor = kOrange;
};

// The confirmation window; answers kExitYes, kExitNo or kExitCancel.
int RunConfirm(const ConfirmRequest& aRequest);
// The wait window with the caption, until SIGTERM or SIGINT; answers 0.
int RunWait(const std::string& aCaption);
// A message box with an OK button (aKind 0 information, 1 error); answers 0 once it is closed.
int RunMessage(int aKind, const std::string& aTitle, const std::string& aText);

}  // namespace qzconfirm
