#include "engine/base/memory_file.h"

#include <gtest/gtest.h>

#include "engine/base/errors.h"

namespace tarnel {
namespace {

TEST(MemoryFileTest, GrowsInStepsOf65535) {
  TMemoryFile file("A.DAT");
  int32_t handle = file.NewHandle();
  EXPECT_EQ(file.Write(handle, "x", 1), 1);
  EXPECT_EQ(file.Size(), 1);
  EXPECT_EQ(file.Capacity(), 65535);
  std::vector<char> more(65535, 'y');
  EXPECT_EQ(file.Write(handle, more.data(), 65535), 65535);
  EXPECT_EQ(file.Size(), 65536);
  EXPECT_EQ(file.Capacity(), 131070);
  file.SetSize(0);
  EXPECT_EQ(file.Capacity(), 0);
}

TEST(MemoryFileTest, HandlesHaveTheirOwnPositionsAndDistinctNumbers) {
  TMemoryFile file("A.DAT");
  int32_t first = file.NewHandle();
  int32_t second = file.NewHandle();
  EXPECT_EQ(file.Write(first, "abcd", 4), 4);
  char buffer[8] = {};
  EXPECT_EQ(file.Read(second, buffer, 8), 4);
  EXPECT_EQ(std::string(buffer, 4), "abcd");
  EXPECT_EQ(file.Read(second, buffer, 8), 0);
  EXPECT_EQ(file.Read(99, buffer, 8), 0);

  file.CloseHandle(first);
  int32_t third = file.NewHandle();
  EXPECT_NE(third, second);
  EXPECT_EQ(file.HandleCount(), 2);

  // A write of 0 bytes cuts (or grows) the file to the handle's position.
  EXPECT_EQ(file.Seek(third, 2, 0), 2);
  EXPECT_EQ(file.Write(third, nullptr, 0), 0);
  EXPECT_EQ(file.Size(), 2);
  EXPECT_EQ(file.Seek(third, 10, 0), 10);
  file.Write(third, nullptr, 0);
  EXPECT_EQ(file.Size(), 10);
  file.Seek(second, 0, 0);
  char grown[10];
  EXPECT_EQ(file.Read(second, grown, 10), 10);
  EXPECT_EQ(std::string(grown, 10), std::string("ab") + std::string(8, '\0'));
  EXPECT_EQ(file.Seek(second, 0, 2), 10);
  EXPECT_EQ(file.Seek(second, -4, 1), 6);
}

TEST(MemoryFileTest, LocksRefuseOverlapsAndUnlockNeedsTheExactRange) {
  TMemoryFile file("A.DAT");
  EXPECT_TRUE(file.LockRange(100, 10));
  EXPECT_FALSE(file.LockRange(109, 1));
  EXPECT_FALSE(file.LockRange(95, 6));
  EXPECT_TRUE(file.LockRange(110, 1));
  EXPECT_FALSE(file.UnlockRange(100, 5));
  EXPECT_FALSE(file.LockRange(105, 1));
  EXPECT_TRUE(file.UnlockRange(100, 10));
  EXPECT_TRUE(file.LockRange(105, 1));
  EXPECT_TRUE(file.LockRange(0x7FFFFFFF, 1));
}

TEST(MemoryFileListTest, CreateOpenRenameDeleteAndCopy) {
  TMemoryFileList files;
  EXPECT_EQ(files.CreateMemoryFile("/dir/.DAT").Handle, -kErrInvalidPath);
  EXPECT_EQ(files.OpenMemoryFile("/dir/A.DAT", false).Handle, -kErrInvalidPath);

  TMemoryOpen created = files.CreateMemoryFile(" /dir/A.DAT ");
  ASSERT_NE(created.File, nullptr);
  created.File->Write(created.Handle, "data", 4);
  EXPECT_TRUE(files.MemoryFileExists("/DIR/a.dat"));
  EXPECT_EQ(files.OpenMemoryFile("/dir/A.DAT", false).Handle, -kErrAccessDenied);  // exclusive
  EXPECT_EQ(files.CreateMemoryFile("/dir/A.DAT").Handle, -kErrAccessDenied);
  EXPECT_FALSE(files.RenameMemoryFile("/dir/A.DAT", "/dir/B.DAT"));
  EXPECT_FALSE(files.DeleteMemoryFile("/dir/A.DAT"));

  EXPECT_EQ(files.CopyMemoryFile(*created.File, created.Handle, "/dir/COPY.DAT"), 0);
  created.File->CloseHandle(created.Handle);

  TMemoryOpen shared = files.OpenMemoryFile("/dir/A.DAT", false);
  TMemoryOpen sharedToo = files.OpenMemoryFile("/dir/A.DAT", false);
  EXPECT_GT(sharedToo.Handle, 0);
  EXPECT_EQ(files.OpenMemoryFile("/dir/A.DAT", true).Handle, -kErrAccessDenied);
  shared.File->CloseHandle(shared.Handle);
  sharedToo.File->CloseHandle(sharedToo.Handle);

  TMemoryOpen copy = files.OpenMemoryFile("/dir/COPY.DAT", true);
  char buffer[8] = {};
  EXPECT_EQ(copy.File->Read(copy.Handle, buffer, 8), 4);
  EXPECT_EQ(std::string(buffer, 4), "data");
  copy.File->CloseHandle(copy.Handle);

  // Creating an existing closed file empties it.
  TMemoryOpen again = files.CreateMemoryFile("/dir/A.DAT");
  EXPECT_EQ(again.File->Size(), 0);
  EXPECT_EQ(again.File->FileName, "/dir/A.DAT");
  again.File->CloseHandle(again.Handle);

  EXPECT_FALSE(files.RenameMemoryFile("/dir/A.DAT", "/dir/copy.dat"));  // the name is taken
  EXPECT_TRUE(files.RenameMemoryFile("/dir/A.DAT", "/dir/B.DAT"));
  EXPECT_FALSE(files.MemoryFileExists("/dir/A.DAT"));
  EXPECT_TRUE(files.DeleteMemoryFile("/dir/B.DAT"));
  EXPECT_EQ(files.Count(), 1);
}

}  // namespace
}  // namespace tarnel
