#include "tools/velmo-proxy-sim/ProxyReplies.h"

#include <cstdio>
#include <ctime>
#include <vector>

namespace velmosim {

namespace {

using Json = nlohmann::ordered_json;

struct BehaviourWord {
  Behaviour fBehaviour;
  const char* fName;
};

constexpr BehaviourWord kBehaviourWords[] = {
    {Behaviour::Accept, "accept"},   {Behaviour::Refuse, "refuse"},   {Behaviour::NoErrorMsg, "no-errormsg"},
    {Behaviour::Garbage, "garbage"}, {Behaviour::Nothing, "nothing"}, {Behaviour::NeverClose, "never-close"},
};

bool HasWhitespaceOutsideStrings(const std::string& aText) {
  bool inString = false;
  bool escaped = false;
  for (char c : aText) {
    if (inString) {
      if (escaped)
        escaped = false;
      else if (c == '\\')
        escaped = true;
      else if (c == '"')
        inString = false;
    } else if (c == '"') {
      inString = true;
    } else if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
      return true;
    }
  }
  return false;
}

std::vector<std::string> MemberNames(const Json& aObject) {
  std::vector<std::string> names;
  for (auto it = aObject.begin(); it != aObject.end(); ++it) names.push_back(it.key());
  return names;
}

std::string CheckData(const Json& aData) {
  const std::vector<std::string> expected = {"isPresent", "amount", "numberPieces", "numberDocument",
                                             "typeDocument"};
  if (MemberNames(aData) != expected)
    return "\"data\" must hold isPresent, amount, numberPieces, numberDocument, typeDocument in this order";
  if (!aData["isPresent"].is_boolean()) return "\"isPresent\" is not true or false";
  if (!aData["amount"].is_number() || aData["amount"].get<double>() < 0)
    return "\"amount\" is not a number >= 0";
  if (!aData["numberPieces"].is_number() || aData["numberPieces"].get<double>() < 0)
    return "\"numberPieces\" is not a number >= 0";
  if (!aData["numberDocument"].is_number_integer()) return "\"numberDocument\" is not an integer";
  if (!aData["typeDocument"].is_string() || aData["typeDocument"].get<std::string>().empty())
    return "\"typeDocument\" is not a non-empty text";
  return {};
}

std::string FormatAmount(double aValue) {
  char text[64];
  std::snprintf(text, sizeof text, "%.2f", aValue);
  return text;
}

std::string FormatPieces(double aValue) {
  char text[64];
  std::snprintf(text, sizeof text, "%.15g", aValue);
  return text;
}

std::string AcceptedReply(const Json& aData, const ReplySettings& aSettings,
                          std::chrono::system_clock::time_point aNow) {
  std::string ticket = "VELMO PROXY SIMULATOR\r\nDocumento " + aData["typeDocument"].get<std::string>() +
                       " n. " + std::to_string(aData["numberDocument"].get<long long>()) +
                       "\r\nImporto EUR " + FormatAmount(aData["amount"].get<double>()) + "\r\nPezzi " +
                       FormatPieces(aData["numberPieces"].get<double>()) + "\r\nSMAC " +
                       (aData["isPresent"].get<bool>() ? "presente" : "non presente");
  Json reply;
  reply["errorId"] = 0;
  reply["data"]["timeStamp"] = FormatTimeStamp(aNow, aSettings.fTimeStampWithMillisecondsAndZone);
  reply["data"]["ticketFormat"] = ticket;
  return reply.dump();
}

std::string ErrorReply(int aErrorId, const std::string* aErrorMsg) {
  Json reply;
  reply["errorId"] = aErrorId;
  if (aErrorMsg != nullptr) reply["errorMsg"] = *aErrorMsg;
  return reply.dump();
}

}  // namespace

std::optional<Behaviour> ParseBehaviour(std::string_view aName) {
  for (const BehaviourWord& word : kBehaviourWords)
    if (aName == word.fName) return word.fBehaviour;
  return std::nullopt;
}

std::string BehaviourName(Behaviour aBehaviour) {
  for (const BehaviourWord& word : kBehaviourWords)
    if (word.fBehaviour == aBehaviour) return word.fName;
  return "?";
}

RequestFramer::State RequestFramer::Feed(std::string_view aBytes) {
  for (char c : aBytes) {
    if (fState != State::NeedMore) return fState;
    fText.push_back(c);
    if (fText.size() > kMaxRequestBytes) return fState = State::Invalid;
    if (!fStarted) {
      if (c == ' ' || c == '\t' || c == '\r' || c == '\n') continue;
      if (c != '{') return fState = State::Invalid;
      fStarted = true;
      fDepth = 1;
      continue;
    }
    if (fInString) {
      if (fEscaped)
        fEscaped = false;
      else if (c == '\\')
        fEscaped = true;
      else if (c == '"')
        fInString = false;
    } else if (c == '"') {
      fInString = true;
    } else if (c == '{' || c == '[') {
      ++fDepth;
    } else if (c == '}' || c == ']') {
      if (--fDepth == 0) fState = State::Complete;
    }
  }
  return fState;
}

std::string CheckRequest(const std::string& aText) {
  Json request = Json::parse(aText, nullptr, false);
  if (request.is_discarded()) return "the request is not JSON";
  if (!request.is_object()) return "the request is not a JSON object";
  if (HasWhitespaceOutsideStrings(aText)) return "the request is not written compactly";
  if (MemberNames(request) != std::vector<std::string>{"type", "data"})
    return "the request must hold \"type\" and \"data\" in this order";
  if (request["type"] != "smac") return "\"type\" is not \"smac\"";
  if (!request["data"].is_object()) return "\"data\" is not an object";
  return CheckData(request["data"]);
}

std::string BuildReply(Behaviour aBehaviour, const std::string& aRequest, const ReplySettings& aSettings,
                       std::chrono::system_clock::time_point aNow) {
  if (aBehaviour == Behaviour::Nothing) return {};
  if (aBehaviour == Behaviour::Garbage) return "<html>this is not the VELMO Proxy</html>";
  std::string problem = CheckRequest(aRequest);
  if (!problem.empty()) {
    std::string message = "Richiesta non valida: " + problem;
    return ErrorReply(98, &message);
  }
  switch (aBehaviour) {
    case Behaviour::Refuse:
      return ErrorReply(aSettings.fErrorId, &aSettings.fErrorMsg);
    case Behaviour::NoErrorMsg:
      return ErrorReply(aSettings.fErrorId, nullptr);
    default:
      return AcceptedReply(Json::parse(aRequest)["data"], aSettings, aNow);
  }
}

std::string FormatTimeStamp(std::chrono::system_clock::time_point aNow, bool aWithMillisecondsAndZone) {
  std::time_t seconds = std::chrono::system_clock::to_time_t(aNow);
  std::tm local{};
  localtime_r(&seconds, &local);
  char text[64];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
  std::string result = text;
  if (!aWithMillisecondsAndZone) return result;
  auto milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(aNow.time_since_epoch()).count() % 1000;
  long offset = local.tm_gmtoff / 60;
  char tail[32];
  std::snprintf(tail, sizeof tail, ".%03lld%c%02ld:%02ld", static_cast<long long>(milliseconds),
                offset < 0 ? '-' : '+', (offset < 0 ? -offset : offset) / 60,
                (offset < 0 ? -offset : offset) % 60);
  return result + tail;
}

}  // namespace velmosim
