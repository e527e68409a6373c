// The transfer of Paradox and dBase tables into new TARNEL tables, without any window: the
// main window and the batch mode both drive it and receive its messages, status and progress
// through callbacks. One run starts the engine, checks the version numbers and the locale,
// puts the new tables' formats in force, transfers each table in turn and, on every way out,
// gives the formats back and shuts the engine down.
//
// REQUIRES: one run at a time in a process (the engine and the format settings are global).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarnel::tolbrin {

struct TTransferRequest {
  std::string SourceDirectory;
  std::string DestinationDirectory;
  // File names in the source directory (*.DB, *.DBF), transferred in this order.
  std::vector<std::string> Tables;
  // The user version numbers as typed; each must be an integer from 0 to 65535.
  std::string UserMajorVersion = "1";
  std::string UserMinorVersion = "0";
  // Positions in the Language list (0: "Machine ASCII") and in the Sort list.
  int LanguageIndex = 0;
  int SortIndex = 0;
  bool Transliterate = true;
};

struct TTransferEvents {
  // An information message (the adjustments A to H, the completion); returns once the user
  // has read it.
  std::function<void(const std::string& text)> OnInformation;
  // The message that ends a run: a refused version or locale, or the failure of a table.
  std::function<void(const std::string& text)> OnError;
  // True once the checks passed and the tables are about to be transferred; false at the end.
  std::function<void(bool running)> OnRunning;
  // A table begins: the status text; progress starts at 0.
  std::function<void(const std::string& status)> OnTableBegin;
  // After each record copied.
  std::function<void(int64_t copied, int64_t recordCount)> OnProgress;
  // The table is done: the status is cleared and the progress hidden.
  std::function<void()> OnTableEnd;
};

enum class TTransferResult { Completed, Refused, Failed };

TTransferResult RunTransfer(const TTransferRequest& request, const TTransferEvents& events);

// The Sort list: one entry.
const std::vector<std::string>& SortOrders();
// The table's LanguageId for a position in the Language list.
uint16_t LanguageIdAt(int languageIndex);
// The table's SortId for positions in the Language and Sort lists: the language's alternate
// sort for Sort position 1, else 0.
uint16_t SortIdAt(int languageIndex, int sortIndex);
// The position of a language name in the Language list (any letter case), or -1.
int LanguageIndexOf(const std::string& name);
// round(100 × copied ÷ recordCount); 100 for an empty table.
int ProgressPercent(int64_t copied, int64_t recordCount);

constexpr char kCompletedMessage[] = "Transfer completed successfully.";
constexpr char kLocaleMessage[] = "The selected language driver information is not available or installed.";
// "The user-defined major (or minor) version # must be between 0 and 65535"
std::string VersionMessage(bool major);
// " Transferring table <name> to TARNEL table..."
std::string TransferStatus(const std::string& tableName);

}  // namespace tarnel::tolbrin
