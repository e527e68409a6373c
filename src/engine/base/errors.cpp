#include "engine/base/errors.h"

#include <array>
#include <string_view>

#include "engine/base/session.h"
#include "engine/base/short_string.h"
#include "platform/os/os_error.h"

namespace tarnel {

namespace {

struct TMessage {
  uint16_t Code;
  // Literal text with the names spliced in at the markers: {F} file, {f} field, {I} index,
  // {S} SQL text.
  std::string_view Text;
};

constexpr std::array kMessages = {
    TMessage{8705, "Beginning of file encountered in data file {F}"},
    TMessage{8706, "End of file encountered in data file {F}"},
    TMessage{8708, "Key not found in index {I} of data file {F}"},
    TMessage{8710, "Record not found in data file {F}"},
    TMessage{8711, "End of blob data in data file {F} reached prematurely"},
    TMessage{8962, "Data record buffers corrupt in data file {F}"},
    TMessage{8963, "BLOB block buffers corrupt in data file {F}"},
    TMessage{8965, "Index page buffers corrupt in data file {F}"},
    TMessage{9217, "Error reading from data file {F}"},
    TMessage{9218, "Error writing to data file {F}"},
    TMessage{9220, "Cannot delete data file {F}"},
    TMessage{9221, "Error accessing file header information for data file {F}"},
    TMessage{9477, "Maximum record size exceeded in data file {F}"},
    TMessage{9479, "The data file {F} is full and cannot contain any more data"},
    TMessage{9482, "Too many filters defined for data file {F}"},
    TMessage{9487, "Maximum or minimum limits on number of indexes or fields in an index exceeded in "
                   "data file {F}"},
    TMessage{9492, "Maximum or minimum limits on number of fields or field size exceeded in data "
                   "file {F}"},
    TMessage{9494, "Too many blobs opened in data file {F}"},
    TMessage{9498, "Too many blob fields or invalid blob block size specified for data file {F}"},
    TMessage{9729, "Duplicate key found in index {I} of data file {F}"},
    TMessage{9730, "The minimum value has been exceeded for the field {f} in data file {F}"},
    TMessage{9731, "The maximum value has been exceeded for the field {f} in data file {F}"},
    TMessage{9732, "A value must be provided for the field {f} in data file {F}"},
    TMessage{9985, "Invalid field number or name {f} specified for data file {F}"},
    TMessage{9993, "A primary index is already defined for data file {F} and cannot be added again"},
    TMessage{9998, "Invalid blob offset into data file {F} specified"},
    TMessage{10000, "Invalid field definition specified for the field {f} in data file {F}"},
    TMessage{10006, "Invalid default, min or max validity check, or expression specified for {f} "
                    "in data file {F}"},
    TMessage{10010, "The secondary index name is missing or not specified for data file {F}"},
    TMessage{10015, "Password provided for data file {F} is invalid"},
    TMessage{10022, "Invalid secondary index name {I} specified for data file {F}"},
    TMessage{10023, "Invalid field number {f} specified in index {I} for data file {F}"},
    TMessage{10026, "Invalid key size specified in index {I} for data file {F}"},
    TMessage{10027, "The secondary index {I} already exists for data file {F}"},
    TMessage{10029, "Invalid blob length in data file {F}"},
    TMessage{10030, "Invalid blob handle for data file {F} specified"},
    TMessage{10031, "Data file {F} is already in use"},
    TMessage{10038, "Invalid or duplicate field name {f} specified for data file {F}"},
    TMessage{10050, "Invalid filter handle specified for data file {F}"},
    TMessage{10051, "Invalid filter expression specified for data file {F}"},
    TMessage{10055, "The primary index cannot be removed from data file {F}"},
    TMessage{10241, "The data file {F} is already locked by another user"},
    TMessage{10242, "Cannot unlock data file or record in data file {F}"},
    TMessage{10249, "General lock failure with data file {F}"},
    TMessage{10253, "Data file {F} must be opened exclusively"},
    TMessage{10258, "Record in data file {F} is in use by another user"},
    TMessage{10498, "Insufficient rights to data file {F}, a password is required"},
    TMessage{10753, "Invalid blob field {f} specified for data file {F}"},
    TMessage{10758, "TARNEL engine not initialized"},
    TMessage{11010, "Invalid path or file name for data file {F}"},
    TMessage{11012, "Too many files open while attempting to open data file {F}"},
    TMessage{11013, "Access denied to data file {F}"},
    TMessage{11014, "Invalid file handle for data file {F}"},
    TMessage{11016, "There is insufficient operating system memory available for the current "
                    "operation"},
    TMessage{11017, "Invalid length for in-memory data file {F}"},
    TMessage{11023, "Access denied to logical operating system device for data file {F}"},
    TMessage{11025, "Data file {F} has been moved"},
    TMessage{11047, "An unknown operating system error occurred with data file {F}"},
    TMessage{11949, "SQL - {S}"},
    TMessage{12035, "Data file {F} is not the correct version"},
    TMessage{12292, "Invalid field type specified for index {I} in data file {F}"},
    TMessage{15878, "The language driver for data file {F} is not available or installed"},
};

constexpr std::string_view kUnknownMessage = "Unknown error occurred with data file {F}";

std::string_view TemplateFor(uint16_t code) {
  for (const TMessage& message : kMessages) {
    if (message.Code == code) return message.Text;
  }
  return kUnknownMessage;
}

}  // namespace

std::string GetEngineErrorText(uint16_t code) {
  const TFileSession* session = EngineStarted() ? &CurrentSession() : nullptr;
  std::string_view text = TemplateFor(code);
  std::string result;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '{' && i + 2 < text.size() && text[i + 2] == '}') {
      if (session != nullptr) {
        switch (text[i + 1]) {
          case 'F': result += session->ErrorFileName; break;
          case 'f': result += session->ErrorFieldName; break;
          case 'I': result += session->ErrorIndexName; break;
          case 'S': result += session->ErrorSQLText; break;
        }
      }
      i += 2;
    } else {
      result += text[i];
    }
  }
  if (result.size() > kMaxEngineMessage) result.resize(kMaxEngineMessage);
  return result;
}

EDBEngineError::EDBEngineError(uint16_t code) : EDBEngineError(code, GetEngineErrorText(code)) {}

EDBEngineError::EDBEngineError(uint16_t code, const std::string& text)
    : EDatabaseError("TARNEL Engine Error # " + std::to_string(code) + " " + text) {
  FErrors.push_back(TDBError{code, 0, text});
}

void SetErrorContext(uint16_t code, const std::string& fileName, const std::string& fieldName,
                     const std::string& sqlText, const std::string& indexName) {
  if (code == kErrNotInitialized || !EngineStarted()) return;
  TFileSession& session = CurrentSession();
  session.LastErrorCode = code;
  session.ErrorFileName = ShortString(fileName);
  session.ErrorFieldName = ShortString(fieldName);
  session.ErrorSQLText = ShortString(sqlText);
  session.ErrorIndexName = ShortString(indexName);
}

void ClearErrorContext() {
  if (!EngineStarted()) return;
  TFileSession& session = CurrentSession();
  session.LastErrorCode = 0;
  session.ErrorFileName.clear();
  session.ErrorFieldName.clear();
  session.ErrorSQLText.clear();
  session.ErrorIndexName.clear();
}

void RaiseEngineError(uint16_t code, const std::string& fileName, const std::string& fieldName,
                      const std::string& sqlText, const std::string& indexName) {
  if (code != kErrNotInitialized) {
    ClearErrorContext();
    SetErrorContext(code, fileName, fieldName, sqlText, indexName);
  }
  throw EDBEngineError(code);
}

void CheckStatus(uint16_t status) {
  if (status != 0) throw EDBEngineError(status);
}

uint16_t MapOSError(int osError) {
  switch (osError) {
    case os::kOsFileNotFound:
    case os::kOsPathNotFound:
      return kErrInvalidPath;
    case os::kOsTooManyOpenFiles:
      return kErrTooManyFiles;
    case os::kOsAccessDenied:
    case os::kOsSharingViolation:
    case os::kOsNetworkAccessDenied:
      return kErrAccessDenied;
    case os::kOsInvalidHandle:
      return kErrInvalidHandle;
    case os::kOsNotEnoughMemory:
      return kErrOutOfMemory;
    case os::kOsInvalidDrive:
      return kErrDeviceAccess;
    case os::kOsNotSameDevice:
      return kErrFileMoved;
    default:
      return kErrUnknownOsError;
  }
}

}  // namespace tarnel
