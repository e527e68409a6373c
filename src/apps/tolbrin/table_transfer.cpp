#include "apps/tolbrin/table_transfer.h"

#include <strings.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <exception>
#include <memory>

#include "apps/tolbrin/transfer_structure.h"
#include "engine/base/byte_order.h"
#include "engine/base/errors.h"
#include "engine/base/paths.h"
#include "engine/base/session.h"
#include "engine/base/short_string.h"
#include "engine/table/data_file.h"
#include "platform/legacydb/source_table.h"
#include "platform/locale/installed_locale.h"
#include "platform/locale/language_table.h"
#include "platform/rtl/currency.h"
#include "platform/rtl/exception.h"
#include "platform/rtl/format_settings.h"
#include "platform/rtl/number_text.h"

namespace tarnel::tolbrin {

using legacydb::TSourceTable;

namespace {

constexpr int kMaxUserVersion = 65535;
constexpr uint16_t kBlobBlockSize = 512;
// Room for the value of any field that is not a BLOB (PhysSize is at most 251).
constexpr size_t kValueBufferSize = 256;

// The engine lives for one run: started first and shut down on every way out.
class TEngineRun {
 public:
  TEngineRun() { InitializeEngine(); }
  ~TEngineRun() { ShutdownEngine(); }
  TEngineRun(const TEngineRun&) = delete;
  TEngineRun& operator=(const TEngineRun&) = delete;
};

// The caller's window is disabled for as long as the tables are transferred.
class TRunningState {
 public:
  explicit TRunningState(const TTransferEvents& events) : FEvents(events) {
    if (FEvents.OnRunning) FEvents.OnRunning(true);
  }
  ~TRunningState() {
    if (FEvents.OnRunning) FEvents.OnRunning(false);
  }
  TRunningState(const TRunningState&) = delete;
  TRunningState& operator=(const TRunningState&) = delete;

 private:
  const TTransferEvents& FEvents;
};

bool ValidVersion(const std::string& text, uint16_t& version) {
  int32_t value = 0;
  if (!TryStrToInt(text, value) || value < 0 || value > kMaxUserVersion) return false;
  version = static_cast<uint16_t>(value);
  return true;
}

// A graphic or typed binary value that starts with the 8-byte header: the 16-bit values 1 and
// 256 and the 32-bit length of what follows.
bool HasGraphicHeader(const std::string& contents) {
  if (contents.size() < 8) return false;
  const uint8_t* bytes = reinterpret_cast<const uint8_t*>(contents.data());
  return GetU16(bytes) == 1 && GetU16(bytes + 2) == 256 && GetU32(bytes + 4) == contents.size() - 8;
}

// Copies one table: structure first, then every record with its BLOBs.
class TTableCopy {
 public:
  TTableCopy(const TTransferRequest& request, const TTransferEvents& events, uint16_t languageId, uint16_t sortId,
             uint16_t majorVersion, uint16_t minorVersion)
      : FRequest(request),
        FEvents(events),
        FLanguageId(languageId),
        FSortId(sortId),
        FMajorVersion(majorVersion),
        FMinorVersion(minorVersion) {}

  void Run(const std::string& entry) {
    std::string name = Trim(entry);
    if (FEvents.OnTableBegin) FEvents.OnTableBegin(TransferStatus(name));
    legacydb::TOpenOptions options;
    options.TargetCodePage = locale::CodePageOf(FLanguageId);
    std::unique_ptr<TSourceTable> source = legacydb::OpenSourceTable(FRequest.SourceDirectory, name, options);
    int64_t recordCount = source->RecordCount();

    auto table = std::make_unique<TDataFile>();
    table->SetFileName(AddPathDelimiter(FRequest.DestinationDirectory) + name);
    table->SetExclusive(true);
    table->SetCopyMode(false);

    TMessageCallback inform = [this](const std::string& text) {
      if (FEvents.OnInformation) FEvents.OnInformation(text);
    };
    TTransferStructure structure = BuildTransferStructure(*source, name, inform);
    TTableDefinition& definition = structure.Definition;
    definition.LanguageId = FLanguageId;
    definition.SortId = FSortId;
    definition.BlobBlockSize = kBlobBlockSize;
    definition.UserMajorVersion = FMajorVersion;
    definition.UserMinorVersion = FMinorVersion;
    table->CreateTable(definition);

    table->Open();
    table->SetCopyMode(structure.HasAutoInc);
    int32_t lastAutoInc = CopyRecords(*source, *table, structure, recordCount);
    if (structure.HasAutoInc) table->SetLastAutoInc(lastAutoInc);
    table->Close();
    table.reset();
    source.reset();
    if (FEvents.OnTableEnd) FEvents.OnTableEnd();
  }

 private:
  // Answers the largest auto-increment value copied.
  int32_t CopyRecords(TSourceTable& source, TDataFile& table, const TTransferStructure& structure,
                      int64_t recordCount) {
    std::vector<uint8_t> image(static_cast<size_t>(table.RecordBufferSize()));
    std::vector<uint16_t> openBlobs;
    int32_t largestAutoInc = 0;
    int64_t copied = 0;
    const std::vector<legacydb::TSourceField>& fields = source.Fields();
    for (source.First(); !source.Eof(); source.Next()) {
      table.InitRecord(image.data());
      openBlobs.clear();
      for (size_t i = 0; i < fields.size(); ++i) {
        int position = static_cast<int>(i);
        uint16_t fieldNo = structure.FieldNumbers[i];
        TFieldType type = fields[i].DataType;
        if (IsBlobType(type)) {
          if (PutBlob(source, position, type, table, fieldNo, image.data())) openBlobs.push_back(fieldNo);
        } else if (source.IsNull(position)) {
          // Left null, also where the new table gives the field a default.
          table.PutField(true, fieldNo, false, nullptr, image.data());
        } else {
          PutValue(source, position, type, table, fieldNo, image.data(), largestAutoInc);
        }
      }
      table.InsertRecord(image.data());
      // The insert stores the record's BLOBs and normally closes them as well.
      for (uint16_t fieldNo : openBlobs) {
        if (table.IsBlobOpen(true, fieldNo, image.data())) CheckStatus(table.CloseBlob(true, fieldNo, image.data()));
      }
      ++copied;
      if (FEvents.OnProgress) FEvents.OnProgress(copied, recordCount);
    }
    return largestAutoInc;
  }

  // Writes a BLOB field's contents into a newly opened BLOB; answers whether one was opened
  // (an empty value leaves the field null).
  bool PutBlob(const TSourceTable& source, int position, TFieldType type, TDataFile& table, uint16_t fieldNo,
               uint8_t* image) const {
    std::string contents = source.Blob(position, FRequest.Transliterate);
    size_t skip = (type == ftGraphic || type == ftTypedBinary) && HasGraphicHeader(contents) ? 8 : 0;
    if (contents.size() <= skip) return false;
    CheckStatus(table.OpenBlob(true, fieldNo, 2, image));
    CheckStatus(
        table.WriteBlob(true, fieldNo, 0, static_cast<int32_t>(contents.size() - skip), contents.data() + skip, image));
    return true;
  }

  void PutValue(const TSourceTable& source, int position, TFieldType type, TDataFile& table, uint16_t fieldNo,
                uint8_t* image, int32_t& largestAutoInc) const {
    uint8_t value[kValueBufferSize] = {};
    const TFieldDesc& field = table.GetFieldDesc(true, fieldNo);
    switch (type) {
      case ftString: {
        std::string text = source.Text(position, FRequest.Transliterate);
        std::memcpy(value, text.data(), std::min<size_t>(text.size(), field.FieldSize));
        break;
      }
      case ftBCD: PutI64(value, CurrencyToBcd(source.Value(position).AsCurrency(), field.Decimals)); break;
      case ftAutoInc: {
        int32_t number = source.Value(position).AsInteger();
        largestAutoInc = std::max(largestAutoInc, number);
        PutI32(value, number);
        break;
      }
      case ftDate: PutI32(value, source.Value(position).AsDate()); break;
      case ftTime: PutI32(value, source.Value(position).AsTime()); break;
      case ftDateTime: PutF64(value, source.Value(position).AsDateTime()); break;
      default: {
        std::vector<uint8_t> bytes = source.Value(position).AsBytes();
        std::memcpy(value, bytes.data(), std::min<size_t>(bytes.size(), field.PhysSize));
        break;
      }
    }
    table.PutField(true, fieldNo, false, value, image);
  }

  const TTransferRequest& FRequest;
  const TTransferEvents& FEvents;
  uint16_t FLanguageId;
  uint16_t FSortId;
  uint16_t FMajorVersion;
  uint16_t FMinorVersion;
};

const locale::TLanguage& LanguageAt(int languageIndex) {
  std::span<const locale::TLanguage> languages = locale::Languages();
  if (languageIndex < 0 || static_cast<size_t>(languageIndex) >= languages.size()) {
    throw EListError("List index out of bounds (" + std::to_string(languageIndex) + ")");
  }
  return languages[static_cast<size_t>(languageIndex)];
}

}  // namespace

TTransferResult RunTransfer(const TTransferRequest& request, const TTransferEvents& events) {
  auto error = [&events](const std::string& text) {
    if (events.OnError) events.OnError(text);
  };
  std::string failure;
  try {
    TEngineRun engine;
    uint16_t majorVersion = 0;
    uint16_t minorVersion = 0;
    if (!ValidVersion(request.UserMajorVersion, majorVersion)) {
      error(VersionMessage(true));
      return TTransferResult::Refused;
    }
    if (!ValidVersion(request.UserMinorVersion, minorVersion)) {
      error(VersionMessage(false));
      return TTransferResult::Refused;
    }
    uint16_t languageId = LanguageIdAt(request.LanguageIndex);
    uint16_t sortId = SortIdAt(request.LanguageIndex, request.SortIndex);
    if (languageId != locale::kNoLanguage && !locale::IsValidLocale(locale::MakeLcid(languageId, sortId))) {
      error(kLocaleMessage);
      return TTransferResult::Refused;
    }
    // Dates, times and numbers of validity checks are written as the new tables' locale reads
    // them.
    TLocaleFormatsGuard formats(languageId, sortId);
    TRunningState running(events);
    TTableCopy copy(request, events, languageId, sortId, majorVersion, minorVersion);
    for (const std::string& entry : request.Tables) copy.Run(entry);
    if (events.OnInformation) events.OnInformation(kCompletedMessage);
    return TTransferResult::Completed;
  } catch (const std::exception& exception) {
    // Reported once the formats, the window and the engine are restored.
    failure = exception.what();
  }
  error(failure);
  return TTransferResult::Failed;
}

const std::vector<std::string>& SortOrders() {
  static const std::vector<std::string> kSortOrders{"Default Order"};
  return kSortOrders;
}

uint16_t LanguageIdAt(int languageIndex) { return LanguageAt(languageIndex).LanguageId; }

uint16_t SortIdAt(int languageIndex, int sortIndex) {
  return sortIndex == 1 ? LanguageAt(languageIndex).AlternateSortId : 0;
}

int LanguageIndexOf(const std::string& name) {
  std::span<const locale::TLanguage> languages = locale::Languages();
  for (size_t i = 0; i < languages.size(); ++i) {
    if (::strcasecmp(languages[i].Name, name.c_str()) == 0) return static_cast<int>(i);
  }
  return -1;
}

int ProgressPercent(int64_t copied, int64_t recordCount) {
  if (recordCount <= 0) return 100;
  return static_cast<int>(std::lround(100.0 * static_cast<double>(copied) / static_cast<double>(recordCount)));
}

std::string VersionMessage(bool major) {
  return std::string("The user-defined ") + (major ? "major" : "minor") + " version # must be between " +
         std::to_string(0) + " and " + std::to_string(kMaxUserVersion);
}

std::string TransferStatus(const std::string& tableName) {
  return " Transferring table " + tableName + " to TARNEL table...";
}

}  // namespace tarnel::tolbrin
