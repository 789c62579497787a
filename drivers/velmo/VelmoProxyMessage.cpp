#include "drivers/velmo/VelmoProxyMessage.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "platform/QzError.h"
#include "platform/Text.h"
#include "support/uQZ_Base.h"

using nlohmann::ordered_json;

namespace {

// Whole amounts travel as integers (10, not 10.0); others as the shortest text of the value rounded to
// 15 significant digits, which for amounts of four decimals is their plain decimal form.
ordered_json AmountToJson(Currency aAmount) {
  if (aAmount.Raw() % Currency::kScale == 0) return ordered_json(aAmount.Raw() / Currency::kScale);
  char text[40];
  std::snprintf(text, sizeof text, "%.15g", aAmount.ToDouble());
  return ordered_json(std::strtod(text, nullptr));
}

const char* JsonClassName(const ordered_json& aValue) {
  switch (aValue.type()) {
    case ordered_json::value_t::object:
      return "object";
    case ordered_json::value_t::array:
      return "array";
    case ordered_json::value_t::string:
      return "string";
    case ordered_json::value_t::boolean:
      return aValue.get<bool>() ? "true" : "false";
    case ordered_json::value_t::null:
      return "null";
    case ordered_json::value_t::discarded:
      return "discarded";
    default:
      return "number";
  }
}

[[noreturn]] void ThrowConversion(const ordered_json& aValue, const char* aExpected, const char* aMember) {
  throw QzError(std::string("Conversion error: JSON ") + JsonClassName(aValue) + " value of '" + aMember +
                "' cannot be read as " + aExpected);
}

const ordered_json& Member(const ordered_json& aObject, const char* aName) {
  auto it = aObject.find(aName);
  if (it == aObject.end()) throw QzError(std::string("Value '") + aName + "' not found");
  return *it;
}

int ReadInteger(const ordered_json& aObject, const char* aName) {
  const ordered_json& value = Member(aObject, aName);
  if (value.is_number_integer()) {
    const auto number = value.get<long long>();
    if (number >= INT32_MIN && number <= INT32_MAX) return static_cast<int>(number);
    throw QzError("'" + value.dump() + "' is not a valid integer value");
  }
  if (value.is_string()) {
    const std::string text = value.get<std::string>();
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(text.c_str(), &end, 10);
    const bool whole = !text.empty() && end == text.c_str() + text.size() && errno == 0;
    if (!whole || number < INT32_MIN || number > INT32_MAX) {
      throw QzError("'" + text + "' is not a valid integer value");
    }
    return static_cast<int>(number);
  }
  ThrowConversion(value, "Integer", aName);
}

std::string ReadText(const ordered_json& aObject, const char* aName) {
  const ordered_json& value = Member(aObject, aName);
  if (value.is_string()) return value.get<std::string>();
  if (value.is_number()) return value.dump();
  ThrowConversion(value, "String", aName);
}

const ordered_json& ReadObject(const ordered_json& aObject, const char* aName) {
  const ordered_json& value = Member(aObject, aName);
  if (!value.is_object()) ThrowConversion(value, "Object", aName);
  return value;
}

}  // namespace

std::string BuildVelmoProxyRequest(const qzVelmoProxyRequest& aRequest) {
  ordered_json data;
  data["isPresent"] = aRequest.fIsPresent;
  data["amount"] = AmountToJson(aRequest.fAmount.Abs());
  data["numberPieces"] = AmountToJson(aRequest.fNumberPieces.Abs());
  data["numberDocument"] = aRequest.fNumberDocument;
  data["typeDocument"] = aRequest.fTypeDocument;
  ordered_json request;
  request["type"] = "smac";
  request["data"] = std::move(data);
  return request.dump(-1, ' ', false, ordered_json::error_handler_t::replace);
}

qzVelmoProxyReply ParseVelmoProxyReply(const std::string& aReply) {
  if (qztext::Trim(aReply).empty()) throw QzError("Invalid reply from Velmo Proxy: the reply is empty");
  const ordered_json reply = ordered_json::parse(aReply, nullptr, false);
  if (reply.is_discarded()) throw QzError("Invalid reply from Velmo Proxy: the reply is not JSON");
  if (!reply.is_object()) {
    throw QzError(std::string("Invalid type cast: the reply from Velmo Proxy is a JSON ") +
                  JsonClassName(reply) + ", not an object");
  }

  qzVelmoProxyReply result;
  result.fErrorId = ReadInteger(reply, "errorId");
  if (result.fErrorId != 0) {
    result.fErrorMsg = ReadText(reply, "errorMsg");
    return result;
  }
  const ordered_json& data = ReadObject(reply, "data");
  // Only the date and time matter; fractions of a second and a zone after them are ignored.
  result.fTimeStamp = XmlToDateTime(qztext::Utf16Left(ReadText(data, "timeStamp"), 19));
  result.fTicketFormat = ReadText(data, "ticketFormat");
  return result;
}
