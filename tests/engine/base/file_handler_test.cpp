#include "engine/base/file_handler.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "engine/base/memory_file.h"
#include "support/engine_fixture.h"

namespace tarnel {
namespace {

using test::EngineCodeOf;

// The behaviours every handler shares, on disk and in memory.
class FileHandlerTest : public test::TEngineTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool InMemory() const { return GetParam(); }

  void Prepare(TFileHandler& file, const std::string& name, bool exclusive) {
    file.SetInMemory(InMemory());
    file.SetFileName(FDir.File(name));
    file.SetExclusive(exclusive);
  }

  // A new file holding `contents`, closed again.
  void MakeFile(const std::string& name, const std::string& contents) {
    TFileHandler file;
    Prepare(file, name, true);
    file.CreateNew();
    if (!contents.empty()) file.Write(contents.data(), static_cast<int32_t>(contents.size()));
    file.Close();
  }
};

TEST_P(FileHandlerTest, WritesReadsAndCutsAtThePosition) {
  TFileHandler file;
  Prepare(file, "A.DAT", true);
  file.CreateNew();
  std::string data(1500, 'x');
  file.Write(data.data(), 1500);
  EXPECT_EQ(file.Seek(1000, 0), 1000);
  file.Write(nullptr, 0);
  EXPECT_EQ(file.Seek(0, 2), 1000);
  file.Seek(990, 0);
  char buffer[20];
  EXPECT_EQ(file.Read(buffer, 20, true), 10);
  file.Seek(990, 0);
  EXPECT_EQ(EngineCodeOf([&] { file.Read(buffer, 20); }), kErrRead);
  file.Close();
  if (!InMemory()) {
    EXPECT_EQ(test::FileSize(FDir.File("A.DAT")), 1000);
  }
}

TEST_P(FileHandlerTest, SettingsChangeOnlyWhileClosed) {
  TFileHandler file;
  Prepare(file, "A.DAT", false);
  EXPECT_EQ(EngineCodeOf([&] { file.CreateNew(); }), kErrMustBeExclusive);
  EXPECT_FALSE(file.Active());
  file.SetExclusive(true);
  file.CreateNew();
  EXPECT_NO_THROW(file.SetFileName(FDir.File("A.DAT")));
  EXPECT_NO_THROW(file.SetExclusive(true));
  EXPECT_EQ(EngineCodeOf([&] { file.SetFileName(FDir.File("B.DAT")); }), kErrFileInUse);
  EXPECT_EQ(EngineCodeOf([&] { file.SetExclusive(false); }), kErrFileInUse);
  EXPECT_EQ(EngineCodeOf([&] { file.SetReadOnly(true); }), kErrFileInUse);
  EXPECT_EQ(EngineCodeOf([&] { file.SetInMemory(!InMemory()); }), kErrFileInUse);
  EXPECT_EQ(EngineCodeOf([&] { file.CreateNew(); }), kErrFileInUse);
  EXPECT_EQ(EngineCodeOf([&] { file.Delete(); }), kErrFileInUse);
  EXPECT_EQ(EngineCodeOf([&] { file.Rename(FDir.File("B.DAT")); }), kErrFileInUse);
  file.Close();
  file.Close();
}

TEST_P(FileHandlerTest, OpenFindsNoFileAndRefusesSharingConflicts) {
  TFileHandler missing;
  Prepare(missing, "MISSING.DAT", false);
  EXPECT_FALSE(missing.FileExists());
  EXPECT_EQ(EngineCodeOf([&] { missing.Open(); }), kErrInvalidPath);
  EXPECT_FALSE(missing.Active());
  EXPECT_EQ(CurrentSession().ErrorFileName, FDir.File("MISSING.DAT"));

  MakeFile("A.DAT", "abc");
  TFileHandler exclusive;
  Prepare(exclusive, "A.DAT", true);
  exclusive.Open();
  TFileHandler shared;
  Prepare(shared, "A.DAT", false);
  EXPECT_TRUE(shared.FileExists());
  EXPECT_EQ(EngineCodeOf([&] { shared.Open(); }), kErrAccessDenied);
  exclusive.Close();
  shared.Open();
  EXPECT_EQ(EngineCodeOf([&] { exclusive.Open(); }), kErrAccessDenied);
  TFileHandler sharedToo;
  Prepare(sharedToo, "A.DAT", false);
  EXPECT_NO_THROW(sharedToo.Open());
  // An open file cannot be deleted, by this handler or another.
  EXPECT_EQ(EngineCodeOf([&] { exclusive.Delete(); }), kErrCannotDelete);
}

TEST_P(FileHandlerTest, LocksConflictBetweenHandlersAndExclusiveOpensPlaceNone) {
  MakeFile("A.DAT", "abc");
  TFileHandler first;
  TFileHandler second;
  Prepare(first, "A.DAT", false);
  Prepare(second, "A.DAT", false);
  first.Open();
  second.Open();
  EXPECT_TRUE(first.LockBytes(0x7FFFFFFF, 1, true));
  EXPECT_FALSE(second.LockBytes(0x7FFFFFFF, 1, true));
  EXPECT_FALSE(first.LockBytes(0x7FFF0000, 65536, true));
  // On disk a lock belongs to its handle; in memory to the file, as for every cursor of a session.
  EXPECT_EQ(second.LockBytes(0x7FFFFFFF, 1, false), InMemory());
  if (!InMemory()) {
    EXPECT_TRUE(first.LockBytes(0x7FFFFFFF, 1, false));
  }
  EXPECT_TRUE(second.LockBytes(0x7FFFFFFF, 1, true));
  first.Close();
  second.Close();

  TFileHandler exclusive;
  Prepare(exclusive, "A.DAT", true);
  exclusive.Open();
  EXPECT_TRUE(exclusive.LockBytes(100, 1, true));
  EXPECT_TRUE(exclusive.LockBytes(100, 1, true));
  EXPECT_TRUE(exclusive.LockBytes(5, 1, false));
}

TEST_P(FileHandlerTest, CopyMovesEveryByteAndRenameAndDeleteWork) {
  std::string data(65535, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  MakeFile("A.DAT", data);
  TFileHandler file;
  Prepare(file, "A.DAT", false);
  file.Open();
  file.CopyTo(FDir.File("COPY.DAT"));
  EXPECT_EQ(file.Seek(0, 1), 65535);
  file.Close();
  file.CopyTo(FDir.File("IGNORED.DAT"));  // a closed handler copies nothing

  TFileHandler copy;
  Prepare(copy, "COPY.DAT", false);
  EXPECT_FALSE(TFileHandler().FileExists());
  copy.Open();
  std::string back(65535, ' ');
  copy.Read(back.data(), 65535);
  EXPECT_EQ(back, data);
  char extra;
  EXPECT_EQ(copy.Read(&extra, 1, true), 0);
  copy.Close();

  copy.Rename(FDir.File("MOVED.DAT"));
  EXPECT_EQ(copy.FileName(), FDir.File("MOVED.DAT"));
  EXPECT_TRUE(copy.FileExists());
  EXPECT_EQ(EngineCodeOf([&] { copy.Rename(FDir.File("A.DAT")); }), kErrUnknownOsError);
  copy.Delete();
  EXPECT_FALSE(copy.FileExists());
  EXPECT_EQ(EngineCodeOf([&] { copy.Delete(); }), kErrCannotDelete);
  TFileHandler ignored;
  Prepare(ignored, "IGNORED.DAT", false);
  EXPECT_FALSE(ignored.FileExists());
}

INSTANTIATE_TEST_SUITE_P(DiskAndMemory, FileHandlerTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "InMemory" : "OnDisk"; });

class DiskFileHandlerTest : public test::TEngineTest {};

TEST_F(DiskFileHandlerTest, ReadOnlyAttributeForcesReadOnlyAndWritesFail) {
  std::string path = FDir.File("RO.DAT");
  test::WriteWholeFile(path, "abc");
  ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
  TFileHandler file;
  file.SetFileName(path);
  file.Open();
  EXPECT_TRUE(file.ReadOnly());
  EXPECT_TRUE(file.FileReadOnly());
  char buffer[3];
  EXPECT_EQ(file.Read(buffer, 3), 3);
  file.Seek(0, 0);
  EXPECT_EQ(EngineCodeOf([&] { file.Write("x", 1); }), kErrWrite);
  EXPECT_EQ(test::ReadWholeFile(path), "abc");
}

TEST_F(DiskFileHandlerTest, CreateTruncatesAnExistingFile) {
  std::string path = FDir.File("A.DAT");
  test::WriteWholeFile(path, "old contents");
  TFileHandler file;
  file.SetFileName(path);
  file.SetWriteThrough(true);
  file.SetWriteThrough(false);
  EXPECT_FALSE(file.WriteThrough());
  file.SetExclusive(true);
  file.CreateNew();
  EXPECT_EQ(test::FileSize(path), 0);
  file.Write("new", 3);
  file.Flush();
  file.Close();
  EXPECT_EQ(test::ReadWholeFile(path), "new");
}

TEST_F(DiskFileHandlerTest, BackslashesSeparateDirectories) {
  TFileHandler file;
  std::string windowsStyle = FDir.Path() + "\\SUB.DAT";
  file.SetFileName(windowsStyle);
  file.SetExclusive(true);
  file.CreateNew();
  file.Close();
  EXPECT_EQ(test::FileSize(FDir.File("SUB.DAT")), 0);
}

TEST_F(DiskFileHandlerTest, TheIoLogRecordsEveryOperation) {
  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(::chdir(FDir.Path().c_str()), 0);
  {
    TFileHandler file;
    file.SetLogActive(true);
    file.SetFileName("LOGGED.DAT");
    file.SetExclusive(true);
    file.CreateNew();
    file.Write("abcd", 4);
    file.Seek(0, 0);
    char buffer[4];
    file.Read(buffer, 4);
    file.LockBytes(10, 2, true);  // an exclusive file places no locks and logs none
    file.Close();
    file.SetExclusive(false);
    file.Open();
    file.LockBytes(10, 2, true);
    file.LockBytes(10, 2, false);
    file.Close();
  }
  ASSERT_EQ(::chdir(cwd), 0);
  EXPECT_EQ(test::ReadWholeFile(FDir.File("tarnelio.log")),
            "Creation of file LOGGED.DAT\r\n"
            "Write to file LOGGED.DAT of 4\r\n"
            "Seek in file LOGGED.DAT from 0 to position 0\r\n"
            "Read from file LOGGED.DAT of 4\r\n"
            "Close of file LOGGED.DAT\r\n"
            "Open of file LOGGED.DAT\r\n"
            "Lock in file LOGGED.DAT from position 10 for 2\r\n"
            "Unlock in file LOGGED.DAT from position 10 for 2\r\n"
            "Close of file LOGGED.DAT\r\n");
}

class MemoryFileHandlerTest : public test::TEngineTest {};

TEST_F(MemoryFileHandlerTest, InMemoryFilesBelongToTheSessionAndNeedAFileName) {
  TFileHandler file;
  file.SetInMemory(true);
  file.SetExclusive(true);
  file.SetFileName("/mem/.DAT");
  EXPECT_EQ(EngineCodeOf([&] { file.CreateNew(); }), kErrInvalidPath);
  file.SetFileName("/mem/T.DAT");
  file.CreateNew();
  file.Write("abc", 3);
  file.Close();
  EXPECT_TRUE(CurrentSession().MemoryFiles().MemoryFileExists("/mem/T.DAT"));
  EXPECT_FALSE(test::FileSize("/mem/T.DAT") >= 0);

  TFileSession* other = CreateSession();
  TFileSession* mine = &CurrentSession();
  SetCurrentSession(other);
  EXPECT_FALSE(file.FileExists());
  SetCurrentSession(mine);
  FreeSession(other);
  EXPECT_TRUE(file.FileExists());
}

}  // namespace
}  // namespace tarnel
