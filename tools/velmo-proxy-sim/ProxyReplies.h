#pragma once
// What the simulated VELMO Proxy answers: the framing of the driver's request (one compact JSON object; the
// driver keeps its side open, so the object's closing brace is the only end mark), the checks a real proxy
// would make on it, and the replies of each behaviour.

#include <chrono>
#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmosim {

enum class Behaviour {
  Accept,      // errorId 0, a time stamp of now and a ticket naming the document
  Refuse,      // errorId and errorMsg as configured
  NoErrorMsg,  // errorId as configured, no errorMsg
  Garbage,     // bytes that are not JSON
  Nothing,     // close without a byte
  NeverClose,  // the accepted reply, then the connection stays open
};

std::optional<Behaviour> ParseBehaviour(std::string_view aName);
std::string BehaviourName(Behaviour aBehaviour);

struct ReplySettings {
  int fErrorId = 12;
  std::string fErrorMsg = "Transazione rifiutata dal servizio fiscale";
  bool fTimeStampWithMillisecondsAndZone = false;
};

// Collects the bytes of one request until a complete JSON object has arrived: braces are counted outside
// strings, with escapes inside strings honoured.
class RequestFramer {
 public:
  static constexpr std::size_t kMaxRequestBytes = 1 << 20;
  enum class State { NeedMore, Complete, Invalid };

  State Feed(std::string_view aBytes);
  const std::string& Text() const { return fText; }

 private:
  std::string fText;
  int fDepth = 0;
  bool fStarted = false;
  bool fInString = false;
  bool fEscaped = false;
  State fState = State::NeedMore;
};

// Empty when the request is one the proxy serves, else what is wrong with it.
std::string CheckRequest(const std::string& aText);

// The reply bytes of the behaviour for the request (Nothing answers an empty text). A request that fails
// CheckRequest is refused with errorId 98 and the reason, whatever the behaviour, as a real service would.
std::string BuildReply(Behaviour aBehaviour, const std::string& aRequest, const ReplySettings& aSettings,
                       std::chrono::system_clock::time_point aNow);

// The local time as yyyy-mm-ddThh:nn:ss, or with ".zzz" and the zone offset "+hh:mm".
std::string FormatTimeStamp(std::chrono::system_clock::time_point aNow, bool aWithMillisecondsAndZone);

}  // namespace velmosim
