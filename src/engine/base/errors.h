// Engine error codes, the exceptions through which engine and component failures leave, and the
// composition of an engine message from the current session's error context.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/rtl/exception.h"

namespace tarnel {

// Engine error codes. Codes are 16-bit; the hex value groups them by category.
enum TEngineCode : uint16_t {
  kErrBeginningOfFile = 8705,
  kErrEndOfFile = 8706,
  kErrKeyNotFound = 8708,
  kErrRecordNotFound = 8710,
  kErrEndOfBlob = 8711,
  kErrRecordBuffersCorrupt = 8962,
  kErrBlobBuffersCorrupt = 8963,
  kErrPageBuffersCorrupt = 8965,
  kErrRead = 9217,
  kErrWrite = 9218,
  kErrCannotDelete = 9220,
  kErrHeaderAccess = 9221,
  kErrRecordSizeExceeded = 9477,
  kErrTableFull = 9479,
  kErrTooManyFilters = 9482,
  kErrIndexLimits = 9487,
  kErrFieldLimits = 9492,
  kErrTooManyBlobs = 9494,
  kErrBlobFieldLimits = 9498,
  kErrDuplicateKey = 9729,
  kErrMinimumExceeded = 9730,
  kErrMaximumExceeded = 9731,
  kErrValueRequired = 9732,
  kErrInvalidFieldNumber = 9985,
  kErrPrimaryIndexExists = 9993,
  kErrInvalidBlobOffset = 9998,
  kErrInvalidFieldDefinition = 10000,
  kErrInvalidValidityCheck = 10006,
  kErrIndexNameMissing = 10010,
  kErrInvalidPassword = 10015,
  kErrInvalidIndexName = 10022,
  kErrInvalidIndexField = 10023,
  kErrInvalidKeySize = 10026,
  kErrIndexExists = 10027,
  kErrInvalidBlobLength = 10029,
  kErrInvalidBlobHandle = 10030,
  kErrFileInUse = 10031,
  kErrInvalidFieldName = 10038,
  kErrInvalidFilterHandle = 10050,
  kErrInvalidFilter = 10051,
  kErrPrimaryIndexRemoval = 10055,
  kErrTableLocked = 10241,
  kErrCannotUnlock = 10242,
  kErrLockFailure = 10249,
  kErrMustBeExclusive = 10253,
  kErrRecordInUse = 10258,
  kErrPasswordRequired = 10498,
  kErrInvalidBlobField = 10753,
  kErrNotInitialized = 10758,
  kErrInvalidPath = 11010,
  kErrTooManyFiles = 11012,
  kErrAccessDenied = 11013,
  kErrInvalidHandle = 11014,
  kErrOutOfMemory = 11016,
  kErrInvalidMemoryLength = 11017,
  kErrDeviceAccess = 11023,
  kErrFileMoved = 11025,
  kErrUnknownOsError = 11047,
  kErrSql = 11949,
  kErrWrongVersion = 12035,
  kErrInvalidIndexType = 12292,
  kErrLanguageDriver = 15878,
};

// Engine messages are cut to this many characters before the exception prefix is added.
constexpr size_t kMaxEngineMessage = 127;

// A component-level failure; carries only its message.
class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// One entry of an engine exception's error list.
struct TDBError {
  uint16_t ErrorCode = 0;
  int32_t NativeError = 0;
  std::string Message;  // the engine's text for the code, without prefix
};

// An engine failure: "TARNEL Engine Error # <code> <text>".
class EDBEngineError : public EDatabaseError {
 public:
  // Composes the text for `code` from the current session's error context.
  explicit EDBEngineError(uint16_t code);
  uint16_t ErrorCode() const { return FErrors.front().ErrorCode; }
  int ErrorCount() const { return static_cast<int>(FErrors.size()); }
  const TDBError& Errors(int index) const { return FErrors.at(static_cast<size_t>(index)); }

 private:
  EDBEngineError(uint16_t code, const std::string& text);
  std::vector<TDBError> FErrors;
};

// Stores the code and the names in the current session (nothing for 10758), then raises.
[[noreturn]] void RaiseEngineError(uint16_t code, const std::string& fileName = std::string(),
                                   const std::string& fieldName = std::string(),
                                   const std::string& sqlText = std::string(),
                                   const std::string& indexName = std::string());
void SetErrorContext(uint16_t code, const std::string& fileName, const std::string& fieldName,
                     const std::string& sqlText, const std::string& indexName);
void ClearErrorContext();
// The message for `code` with the names of the current session's error context spliced in,
// at most kMaxEngineMessage characters. Without a started engine the names are empty.
std::string GetEngineErrorText(uint16_t code);
// Raises EDBEngineError for a non-zero status, with the context the session holds now.
void CheckStatus(uint16_t status);

// An operating-system error number (Windows numbering, platform/os) as an engine code.
uint16_t MapOSError(int osError);

}  // namespace tarnel
