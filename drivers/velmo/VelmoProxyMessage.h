#pragma once
// The two messages exchanged with the VELMO Proxy: one compact JSON request per receipt, one JSON reply.
// The proxy is a separate local service; these functions only build and read the texts, the exchange
// itself runs over the processor's TCP handler.

#include <string>

#include "platform/Currency.h"
#include "platform/DateTime.h"

struct qzVelmoProxyRequest {
  bool fIsPresent = false;    // the cashier's answer to the SMAC question
  Currency fAmount;           // absolute receipt total, in currency units
  Currency fNumberPieces;     // absolute total quantity
  int fNumberDocument = 0;    // the number the receipt will get
  std::string fTypeDocument;  // "RS", "SC" or a code from the settings file
};

struct qzVelmoProxyReply {
  int fErrorId = 0;
  std::string fErrorMsg;      // read only when fErrorId is not 0
  DateTime fTimeStamp;        // read only when fErrorId is 0
  std::string fTicketFormat;  // read only when fErrorId is 0
};

// {"type":"smac","data":{"isPresent":..,"amount":..,"numberPieces":..,"numberDocument":..,"typeDocument":..}}
// with amounts in the general decimal form (12.5, 10, 0.35), at most 15 significant digits.
std::string BuildVelmoProxyRequest(const qzVelmoProxyRequest& aRequest);

// Reads a reply text (UTF-8). A refusal (errorId not 0) is returned, not raised; a reply that is empty,
// not JSON, not an object, misses a required member or holds a value of the wrong kind raises QzError.
qzVelmoProxyReply ParseVelmoProxyReply(const std::string& aReply);
