#include "platform/os/os_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>

#include <gtest/gtest.h>

#include "platform/os/os_error.h"
#include "support/temp_dir.h"

namespace tarnel::os {
namespace {

using test::TTempDir;

class OsFileTest : public ::testing::Test {
 protected:
  void SetUp() override { test::WriteWholeFile(FPath, "0123456789"); }

  TTempDir FDir;
  std::string FPath = FDir.File("TABLE.DAT");
};

// Runs `body` in a forked child that opens files on its own; answers the child's exit status.
int InChild(const std::function<int()>& body) {
  pid_t child = ::fork();
  if (child == 0) ::_exit(body());
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 255;
}

TEST_F(OsFileTest, LocksConflictBetweenTwoOpensOfOneProcess) {
  TOsFile first;
  TOsFile second;
  ASSERT_EQ(first.Open(FPath, TAccess::ReadWrite, TSharing::Shared, false), kOsSuccess);
  ASSERT_EQ(second.Open(FPath, TAccess::ReadWrite, TSharing::Shared, false), kOsSuccess);

  ASSERT_TRUE(first.Lock(0x7FFFFFFF, 1));
  EXPECT_FALSE(second.Lock(0x7FFFFFFF, 1));
  EXPECT_FALSE(second.Lock(0x7FFF0000, 65536));  // a region that covers it
  EXPECT_TRUE(second.Lock(0x7FFFFFFE, 1));       // a neighbour is free
  ASSERT_TRUE(first.Unlock(0x7FFFFFFF, 1));
  EXPECT_TRUE(second.Lock(0x7FFFFFFF, 1));
}

TEST_F(OsFileTest, LocksAreNotReentrantAndUnlockNeedsTheExactRange) {
  TOsFile file;
  ASSERT_EQ(file.Open(FPath, TAccess::ReadWrite, TSharing::Shared, false), kOsSuccess);
  ASSERT_TRUE(file.Lock(100, 10));
  EXPECT_FALSE(file.Lock(100, 10));
  EXPECT_FALSE(file.Lock(109, 1));
  EXPECT_TRUE(file.Lock(110, 1));
  EXPECT_FALSE(file.Unlock(100, 5));
  EXPECT_FALSE(file.Unlock(101, 10));
  EXPECT_TRUE(file.Unlock(100, 10));
  EXPECT_FALSE(file.Unlock(100, 10));
}

TEST_F(OsFileTest, LocksConflictBetweenProcesses) {
  TOsFile holder;
  ASSERT_EQ(holder.Open(FPath, TAccess::ReadWrite, TSharing::Shared, false), kOsSuccess);
  ASSERT_TRUE(holder.Lock(0x7FFFFFFE - 7, 1));

  auto tryLock = [this](int64_t offset) {
    return InChild([this, offset] {
      TOsFile other;
      if (other.Open(FPath, TAccess::ReadWrite, TSharing::Shared, false) != kOsSuccess) return 2;
      return other.Lock(offset, 1) ? 0 : 1;
    });
  };
  EXPECT_EQ(tryLock(0x7FFFFFFE - 7), 1);
  EXPECT_EQ(tryLock(0x7FFFFFFE - 8), 0);
  ASSERT_TRUE(holder.Unlock(0x7FFFFFFE - 7, 1));
  EXPECT_EQ(tryLock(0x7FFFFFFE - 7), 0);
}

TEST_F(OsFileTest, ExclusiveAndSharedOpensExcludeEachOther) {
  struct Case {
    TSharing First;
    TSharing Second;
    int Expected;
  };
  const Case cases[] = {
      {TSharing::Exclusive, TSharing::Shared, kOsSharingViolation},
      {TSharing::Shared, TSharing::Exclusive, kOsSharingViolation},
      {TSharing::Exclusive, TSharing::Exclusive, kOsSharingViolation},
      {TSharing::Shared, TSharing::Shared, kOsSuccess},
  };
  for (const Case& c : cases) {
    TOsFile first;
    ASSERT_EQ(first.Open(FPath, TAccess::ReadWrite, c.First, false), kOsSuccess);
    TOsFile second;
    EXPECT_EQ(second.Open(FPath, TAccess::Read, c.Second, false), c.Expected);
    int inChild = InChild([this, &c] {
      TOsFile other;
      return other.Open(FPath, TAccess::ReadWrite, c.Second, false);
    });
    EXPECT_EQ(inChild, c.Expected);
  }
  // Closing the exclusive open lets others in again.
  TOsFile exclusive;
  ASSERT_EQ(exclusive.Open(FPath, TAccess::ReadWrite, TSharing::Exclusive, false), kOsSuccess);
  exclusive.Close();
  TOsFile shared;
  EXPECT_EQ(shared.Open(FPath, TAccess::ReadWrite, TSharing::Shared, false), kOsSuccess);
}

TEST_F(OsFileTest, CreateRefusesAFileOpenElsewhereAndKeepsItsContents) {
  TOsFile shared;
  ASSERT_EQ(shared.Open(FPath, TAccess::ReadWrite, TSharing::Shared, false), kOsSuccess);
  TOsFile creator;
  EXPECT_EQ(creator.Create(FPath, TSharing::Exclusive, false), kOsSharingViolation);
  EXPECT_EQ(test::FileSize(FPath), 10);
  shared.Close();
  EXPECT_EQ(creator.Create(FPath, TSharing::Exclusive, false), kOsSuccess);
  EXPECT_EQ(test::FileSize(FPath), 0);
}

TEST_F(OsFileTest, ReadWriteSeekAndTruncate) {
  TOsFile file;
  ASSERT_EQ(file.Open(FPath, TAccess::ReadWrite, TSharing::Exclusive, false), kOsSuccess);
  char buffer[4] = {};
  EXPECT_EQ(file.Seek(6, 0), 6);
  EXPECT_EQ(file.Read(buffer, 4), 4);
  EXPECT_EQ(std::string(buffer, 4), "6789");
  EXPECT_EQ(file.Read(buffer, 4), 0);
  EXPECT_EQ(file.Seek(0, 2), 10);
  EXPECT_EQ(file.Seek(-3, 1), 7);
  EXPECT_EQ(file.Write("ab", 2), 2);
  EXPECT_EQ(file.Seek(4, 0), 4);
  EXPECT_TRUE(file.Truncate());
  EXPECT_TRUE(file.Flush());
  file.Close();
  EXPECT_EQ(test::ReadWholeFile(FPath), "0123");
}

TEST_F(OsFileTest, AnotherUsersFileOpensAndKeepsItsAccessTime) {
  // The owner's opens leave the access time alone; another user, who may not ask for that,
  // still opens the file.
  struct timespec times[2] = {{1000000, 0}, {UTIME_OMIT, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, FPath.c_str(), times, 0), 0);
  {
    TOsFile file;
    ASSERT_EQ(file.Open(FPath, TAccess::ReadWrite, TSharing::Shared, false), kOsSuccess);
    char buffer[4] = {};
    EXPECT_EQ(file.Read(buffer, 4), 4);
  }
  struct stat after = {};
  ASSERT_EQ(::stat(FPath.c_str(), &after), 0);
  EXPECT_EQ(after.st_atim.tv_sec, 1000000);
  if (::geteuid() != 0) GTEST_SKIP() << "another user's open needs root to switch users";
  ASSERT_EQ(::chmod(FDir.Path().c_str(), 0777), 0);
  ASSERT_EQ(::chmod(FPath.c_str(), 0666), 0);
  EXPECT_EQ(InChild([this] {
              if (::setgid(65534) != 0 || ::setuid(65534) != 0) return 3;
              TOsFile file;
              if (file.Open(FPath, TAccess::ReadWrite, TSharing::Shared, false) != kOsSuccess) return 2;
              char buffer[4] = {};
              return file.Read(buffer, 4) == 4 && std::string(buffer, 4) == "0123" ? 0 : 1;
            }),
            0);
}

TEST_F(OsFileTest, ReadOnlyAttributeHoldsForRootAndAReadOnlyOpenRefusesWrites) {
  int error = -1;
  EXPECT_FALSE(IsReadOnlyFile(FPath, &error));
  EXPECT_EQ(error, kOsSuccess);
  ASSERT_EQ(::chmod(FPath.c_str(), 0444), 0);
  EXPECT_TRUE(IsReadOnlyFile(FPath, &error));

  TOsFile file;
  ASSERT_EQ(file.Open(FPath, TAccess::Read, TSharing::Shared, false), kOsSuccess);
  EXPECT_EQ(file.Write("x", 1), -1);
  EXPECT_EQ(file.LastError(), kOsAccessDenied);
  EXPECT_FALSE(IsReadOnlyFile(FDir.File("MISSING"), &error));
  EXPECT_EQ(error, kOsFileNotFound);
}

TEST_F(OsFileTest, DeleteAndRenameAreRefusedWhileTheFileIsOpen) {
  std::string target = FDir.File("OTHER.DAT");
  {
    TOsFile open;
    ASSERT_EQ(open.Open(FPath, TAccess::Read, TSharing::Shared, false), kOsSuccess);
    EXPECT_EQ(DeleteFile(FPath), kOsSharingViolation);
    EXPECT_EQ(RenameFile(FPath, target), kOsSharingViolation);
  }
  test::WriteWholeFile(target, "x");
  EXPECT_NE(RenameFile(FPath, target), kOsSuccess);  // never replaces an existing file
  ASSERT_EQ(DeleteFile(target), kOsSuccess);
  EXPECT_EQ(RenameFile(FPath, target), kOsSuccess);
  EXPECT_FALSE(FileExists(FPath));
  EXPECT_EQ(DeleteFile(target), kOsSuccess);
  EXPECT_EQ(DeleteFile(target), kOsFileNotFound);
}

TEST(OsErrorTest, ErrnoValuesBecomeTheEngineNumbering) {
  TTempDir dir;
  EXPECT_EQ(ErrorFromErrno(ENOENT, dir.File("missing.dat")), kOsFileNotFound);
  EXPECT_EQ(ErrorFromErrno(ENOENT, dir.File("nodir/missing.dat")), kOsPathNotFound);
  EXPECT_EQ(ErrorFromErrno(EMFILE), kOsTooManyOpenFiles);
  EXPECT_EQ(ErrorFromErrno(EACCES), kOsAccessDenied);
  EXPECT_EQ(ErrorFromErrno(ENOMEM), kOsNotEnoughMemory);
  EXPECT_EQ(ErrorFromErrno(EXDEV), kOsNotSameDevice);
  EXPECT_EQ(ErrorFromErrno(EIO), kOsGeneralFailure);
}

}  // namespace
}  // namespace tarnel::os
