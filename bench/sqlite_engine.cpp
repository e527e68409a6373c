#include "sqlite_engine.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace tarnel::bench {

namespace {

constexpr int kPositionInRange = 500;

const char kSchema[] =
    "CREATE TABLE bench("
    "  id INTEGER PRIMARY KEY AUTOINCREMENT,"
    "  num INTEGER,"
    "  name VARCHAR(20) COLLATE NOCASE,"
    "  text VARCHAR(60),"
    "  born DATE,"
    "  amount DECIMAL(12,2),"
    "  notes TEXT);"
    "CREATE INDEX by_num ON bench(num);"
    "CREATE INDEX by_name ON bench(name);"
    "CREATE INDEX by_born ON bench(born);";

const char kInsert[] = "INSERT INTO bench(num, name, text, born, amount, notes) VALUES(?1, ?2, ?3, ?4, ?5, ?6)";
const char kFields[] = "SELECT id, num, born, name, text, amount FROM bench";

[[noreturn]] void Fail(sqlite3* db, const std::string& what) {
  throw std::runtime_error("SQLite: " + what + ": " + (db != nullptr ? sqlite3_errmsg(db) : "no database"));
}

// One connection for the time of a workload. Exclusive work holds the file with
// locking_mode=EXCLUSIVE inside one transaction, committed by Commit().
class TDatabase {
 public:
  TDatabase(const std::string& path, bool exclusive) {
    if (sqlite3_open_v2(path.c_str(), &FDb, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK) {
      Fail(FDb, "open");
    }
    Execute("PRAGMA synchronous=OFF; PRAGMA case_sensitive_like=ON;");
    if (exclusive) {
      Execute("PRAGMA locking_mode=EXCLUSIVE; BEGIN;");
      FInTransaction = true;
    }
  }
  ~TDatabase() {
    if (FInTransaction) sqlite3_exec(FDb, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close_v2(FDb);
  }
  TDatabase(const TDatabase&) = delete;
  TDatabase& operator=(const TDatabase&) = delete;

  sqlite3* Handle() const { return FDb; }
  void Execute(const char* sql) {
    if (sqlite3_exec(FDb, sql, nullptr, nullptr, nullptr) != SQLITE_OK) Fail(FDb, sql);
  }
  void Commit() {
    Execute("COMMIT;");
    FInTransaction = false;
  }

 private:
  sqlite3* FDb = nullptr;
  bool FInTransaction = false;
};

// A prepared statement, reset after each execution.
class TStatement {
 public:
  TStatement(TDatabase& db, const std::string& sql) : FDb(db.Handle()) {
    if (sqlite3_prepare_v3(FDb, sql.c_str(), -1, SQLITE_PREPARE_PERSISTENT, &FStatement, nullptr) != SQLITE_OK) {
      Fail(FDb, sql);
    }
  }
  ~TStatement() { sqlite3_finalize(FStatement); }
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;

  TStatement& Bind(int index, int64_t value) {
    sqlite3_bind_int64(FStatement, index, value);
    return *this;
  }
  TStatement& Bind(int index, double value) {
    sqlite3_bind_double(FStatement, index, value);
    return *this;
  }
  TStatement& Bind(int index, std::string_view text) {
    sqlite3_bind_text(FStatement, index, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
    return *this;
  }
  // True while a row is there.
  bool Step() {
    int result = sqlite3_step(FStatement);
    if (result == SQLITE_ROW) return true;
    if (result != SQLITE_DONE) Fail(FDb, sqlite3_sql(FStatement));
    return false;
  }
  // Runs a statement without result rows and answers the rows it changed.
  int64_t Run() {
    Step();
    Reset();
    return sqlite3_changes64(FDb);
  }
  void Reset() { sqlite3_reset(FStatement); }

  int64_t Integer(int column) const { return sqlite3_column_int64(FStatement, column); }
  std::string_view Text(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(FStatement, column));
    return std::string_view(text != nullptr ? text : "", static_cast<size_t>(sqlite3_column_bytes(FStatement, column)));
  }
  // The columns of kFields (and a memo behind them when asked).
  void AddFields(TChecksum& sum) const {
    for (int column : {0, 1, 2}) sum.Add(static_cast<uint64_t>(Integer(column)));
    sum.Add(Text(3));
    sum.Add(Text(4));
    sum.Add(static_cast<uint64_t>(std::llround(sqlite3_column_double(FStatement, 5) * 100)));
  }

 private:
  sqlite3* FDb;
  sqlite3_stmt* FStatement = nullptr;
};

void Insert(TStatement& insert, const TBenchRecord& record) {
  insert.Bind(1, int64_t{record.Number})
      .Bind(2, record.Name)
      .Bind(3, record.Text)
      .Bind(4, int64_t{record.Born})
      .Bind(5, static_cast<double>(record.AmountCents) / 100.0)
      .Bind(6, record.Memo)
      .Run();
}

}  // namespace

TSqliteEngine::TSqliteEngine(const std::string& directory, int64_t tableSize)
    : FPath(directory + "/bench.sqlite"), FSource(tableSize) {}

uint64_t TSqliteEngine::BulkInsert(int64_t count) {
  for (const char* suffix : {"", "-journal"}) std::remove((FPath + suffix).c_str());
  TDatabase db(FPath, true);
  db.Execute(kSchema);
  {
    TStatement insert(db, kInsert);
    for (int64_t i = 0; i < count; ++i) Insert(insert, FSource.Record(i));
  }
  db.Commit();
  return static_cast<uint64_t>(count);
}

uint64_t TSqliteEngine::SharedInserts(int64_t first, int64_t count) {
  TDatabase db(FPath, false);
  TStatement insert(db, kInsert);
  for (int64_t i = first; i < first + count; ++i) Insert(insert, FSource.Record(i));
  return static_cast<uint64_t>(count);
}

uint64_t TSqliteEngine::LookupsById(const std::vector<int32_t>& ids) {
  TDatabase db(FPath, false);
  TStatement select(db, std::string(kFields) + " WHERE id = ?1");
  TChecksum sum;
  for (int32_t id : ids) {
    if (select.Bind(1, int64_t{id}).Step()) select.AddFields(sum);
    select.Reset();
  }
  return sum.Value();
}

uint64_t TSqliteEngine::LookupsByName(const std::vector<int64_t>& records) {
  TDatabase db(FPath, false);
  TStatement select(db, std::string(kFields) + " WHERE name = ?1");
  TChecksum sum;
  for (int64_t i : records) {
    if (select.Bind(1, FSource.Name(i)).Step()) select.AddFields(sum);
    select.Reset();
  }
  return sum.Value();
}

uint64_t TSqliteEngine::ScanByName() {
  TDatabase db(FPath, false);
  TStatement select(db, "SELECT id, num, born, name, text, amount, notes FROM bench ORDER BY name");
  TChecksum sum;
  while (select.Step()) {
    select.AddFields(sum);
    sum.Add(select.Text(6));
  }
  return sum.Value();
}

uint64_t TSqliteEngine::CountRanges(const std::vector<TDateRange>& ranges) {
  TDatabase db(FPath, false);
  TStatement count(db, "SELECT count(*) FROM bench WHERE born BETWEEN ?1 AND ?2");
  TStatement at(db, std::string(kFields) + " WHERE born BETWEEN ?1 AND ?2 ORDER BY born, id LIMIT 1 OFFSET ?3");
  TChecksum sum;
  for (const TDateRange& range : ranges) {
    count.Bind(1, int64_t{range.First}).Bind(2, int64_t{range.Last}).Step();
    int64_t records = count.Integer(0);
    count.Reset();
    sum.Add(static_cast<uint64_t>(records));
    if (records < kPositionInRange) continue;
    if (at.Bind(1, int64_t{range.First}).Bind(2, int64_t{range.Last}).Bind(3, int64_t{kPositionInRange - 1}).Step()) {
      at.AddFields(sum);
    }
    at.Reset();
  }
  return sum.Value();
}

uint64_t TSqliteEngine::CountFilters(const std::vector<TFilterCase>& filters) {
  TDatabase db(FPath, false);
  TStatement count(db, "SELECT count(*) FROM bench WHERE num = ?1 AND name LIKE ?2");
  TChecksum sum;
  for (const TFilterCase& filter : filters) {
    char pattern[3] = {filter.Letter, '%', 0};
    count.Bind(1, int64_t{filter.Value}).Bind(2, std::string_view(pattern, 2)).Step();
    sum.Add(static_cast<uint64_t>(count.Integer(0)));
    count.Reset();
  }
  return sum.Value();
}

uint64_t TSqliteEngine::ModifyByName(const std::vector<int64_t>& records) {
  TDatabase db(FPath, true);
  uint64_t changed = 0;
  {
    TStatement update(db, "UPDATE bench SET num = ?1, text = ?2 WHERE name = ?3");
    for (int64_t i : records) {
      std::string_view text = FSource.ChangedText(i);
      changed += static_cast<uint64_t>(
          update.Bind(1, int64_t{FSource.ChangedNumber(i)}).Bind(2, text).Bind(3, FSource.Name(i)).Run());
    }
  }
  db.Commit();
  return changed;
}

uint64_t TSqliteEngine::DeleteById(const std::vector<int32_t>& ids) {
  TDatabase db(FPath, true);
  uint64_t deleted = 0;
  {
    TStatement remove(db, "DELETE FROM bench WHERE id = ?1");
    for (int32_t id : ids) deleted += static_cast<uint64_t>(remove.Bind(1, int64_t{id}).Run());
  }
  db.Commit();
  return deleted;
}

uint64_t TSqliteEngine::ReadMemos(const std::vector<int32_t>& ids) {
  TDatabase db(FPath, false);
  TStatement select(db, "SELECT notes FROM bench WHERE id = ?1");
  TChecksum sum;
  for (int32_t id : ids) {
    if (select.Bind(1, int64_t{id}).Step()) sum.Add(select.Text(0));
    select.Reset();
  }
  return sum.Value();
}

uint64_t TSqliteEngine::WriteMemos(const std::vector<int32_t>& ids) {
  TDatabase db(FPath, false);
  TStatement update(db, "UPDATE bench SET notes = ?2 WHERE id = ?1");
  uint64_t changed = 0;
  ++FMemoRewrites;
  for (int32_t id : ids) {
    changed += static_cast<uint64_t>(update.Bind(1, int64_t{id}).Bind(2, FSource.ChangedMemo(id, FMemoRewrites)).Run());
  }
  return changed;
}

uint64_t TSqliteEngine::ChecksumAll() {
  TDatabase db(FPath, false);
  TStatement select(db, "SELECT id, num, born, name, text, amount, notes FROM bench ORDER BY id");
  TChecksum sum;
  while (select.Step()) {
    select.AddFields(sum);
    sum.Add(select.Text(6));
  }
  return sum.Value();
}

}  // namespace tarnel::bench
