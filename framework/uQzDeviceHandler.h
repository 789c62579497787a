#pragma once
// The request envelope. Every request the host sends is one XML document whose root children name the
// request type, the driver, the method, the processor handle, a log id, how to reach the device (the
// connection) and a list of named parameters, followed by the request's documents. kDeviceHandler reads
// that envelope into fields, keeps the parameters as "name=value" lines, writes the envelope back when
// asked, and creates the I/O handler that the connection describes.

#include <cstdint>
#include <memory>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "io/uQZIOHandler.h"

class kDeviceHandler {
 public:
  // An empty envelope: connection type OPOS, both time-outs 1000 ms, no parameters.
  kDeviceHandler();
  virtual ~kDeviceHandler();
  kDeviceHandler(const kDeviceHandler&) = delete;
  kDeviceHandler& operator=(const kDeviceHandler&) = delete;

  const std::string& Type() const { return fType; }
  void SetType(const std::string& aValue) { fType = aValue; }
  const std::string& Driver() const { return fDriver; }
  void SetDriver(const std::string& aValue) { fDriver = aValue; }
  const std::string& Method() const { return fMethod; }
  void SetMethod(const std::string& aValue) { fMethod = aValue; }
  kConnection& Connection() { return *fConnection; }
  const kConnection& Connection() const { return *fConnection; }
  // The processor handle of the request; 0 or less means none.
  std::int32_t DeviceHandle() const { return fDeviceHandle; }
  void SetDeviceHandle(std::int32_t aValue) { fDeviceHandle = aValue; }
  const std::string& LogId() const { return fLogId; }
  void SetLogId(const std::string& aValue) { fLogId = aValue; }
  // The parameter lines in request order, names lower-cased by Deserialize.
  const std::vector<std::string>& Parameters() const { return fParameters; }

  // The value (everything after the first "=") of the first line whose name equals aName in any letter
  // case; empty when there is none.
  std::string GetParameter(std::string_view aName) const;
  bool ParameterExists(std::string_view aName) const;
  // Replaces the value of the first line named aName (any letter case) or appends aName=aValue; an empty
  // aValue removes the line. The name of an appended line is stored as passed.
  void SetParameter(const std::string& aName, const std::string& aValue);

  // Parses aXml and reads its envelope. The parsed document is handed back so the caller can read the
  // request's documents from it. The parameter list is not cleared first: a handler reads one request.
  std::unique_ptr<pugi::xml_document> Deserialize(const std::string& aXml);
  // The envelope of the current fields, with an XML declaration, ending with CR LF.
  std::string Serialize() const;
  // A new I/O handler for the connection settings (the caller owns it), logging in aLogDir to the daily
  // file named Driver + "_" + LogId. A log id or driver name that would leave aLogDir, or that holds a
  // character refused in paths, fails with "Invalid characters in path".
  std::unique_ptr<kIOHandler> CreateIOHandler(const std::string& aLogDir) const;

 protected:
  // Reads the envelope from an already parsed document (the request handler rewrites the request first).
  void ReadEnvelope(const pugi::xml_document& aDocument);

 private:
  void ReadConnection(const pugi::xml_node& aConnectionNode);
  void ReadParameters(const pugi::xml_node& aParametersNode);

  std::string fType;
  std::string fDriver;
  std::string fMethod;
  std::unique_ptr<kConnection> fConnection;
  std::int32_t fDeviceHandle = 0;
  std::vector<std::string> fParameters;
  std::string fLogId;
};

// Parses a request text (UTF-8). A text that is not well-formed, the empty text included, fails with the
// XML engine's description and the offset where it stopped.
std::unique_ptr<pugi::xml_document> ParseRequestXml(const std::string& aXml);

// A whole number as the host writes it: optional sign, decimal digits, within 32 bits. Anything else fails
// with "'<text>' is not a valid integer value".
std::int32_t WholeNumberFromText(const std::string& aText);

// A path part taken from a request (a till serial, a log id) that holds a control character, '"', '<',
// '>', '|', '/' or '\', or that is "." or "..", fails with "Invalid characters in path": it could name or
// reach a place outside the folder it is meant for.
void CheckPathPart(const std::string& aPart);
