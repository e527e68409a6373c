#include "engine/base/session.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include "engine/base/file_handler.h"
#include "engine/base/memory_file.h"
#include "engine/base/paths.h"
#include "support/engine_fixture.h"

namespace tarnel {
namespace {

using test::EngineCodeOf;
using test::TEngineTest;

TEST(EngineStartTest, StartAndStopAreIdempotentAndGiveAFreshSession) {
  EXPECT_EQ(EngineCodeOf([] { SetPrivateDir("/tmp"); }), kErrNotInitialized);
  InitializeEngine();
  TFileSession* first = &CurrentSession();
  InitializeEngine();
  EXPECT_EQ(&CurrentSession(), first);
  SetPrivateDir("/tmp/private");
  EXPECT_EQ(GetPrivateDir(), "/tmp/private");
  ShutdownEngine();
  ShutdownEngine();
  EXPECT_FALSE(EngineStarted());
  InitializeEngine();
  EXPECT_EQ(GetPrivateDir(), "");
  ShutdownEngine();
}

TEST_F(TEngineTest, FurtherSessionsKeepTheirOwnContextAndFiles) {
  TFileSession* defaultSession = &CurrentSession();
  TFileSession* other = CreateSession();
  EXPECT_EQ(&CurrentSession(), defaultSession);
  SetCurrentSession(other);
  EXPECT_EQ(EngineCodeOf([] { RaiseEngineError(kErrRead, "/x/B.DAT"); }), kErrRead);
  EXPECT_EQ(other->ErrorFileName, "/x/B.DAT");
  EXPECT_EQ(defaultSession->ErrorFileName, "");
  AddPassword(*other, "secret");
  EXPECT_TRUE(HasPassword(*other, "secret"));
  EXPECT_FALSE(HasPassword(*defaultSession, "secret"));
  SetCurrentSession(defaultSession);
  FreeSession(other);
  FreeSession(nullptr);
}

TEST_F(TEngineTest, PasswordsAreCaseSensitiveAndRemovedOneAtATime) {
  TFileSession& session = CurrentSession();
  AddPassword(session, "");
  AddPassword(session, "Secret");
  AddPassword(session, "Secret");
  EXPECT_FALSE(HasPassword(session, ""));
  EXPECT_FALSE(HasPassword(session, "secret"));
  RemovePassword(session, "Secret");
  EXPECT_TRUE(HasPassword(session, "Secret"));
  RemoveAllPasswords(session);
  EXPECT_FALSE(HasPassword(session, "Secret"));
}

TEST_F(TEngineTest, UniqueTableNamesUseThePrivateDirectoryAndSkipTakenNames) {
  TFileSession& session = CurrentSession();
  std::string stem = std::to_string(::gettid()).substr(0, 5);

  char cwd[4096];
  ASSERT_NE(::getcwd(cwd, sizeof cwd), nullptr);
  ASSERT_EQ(::chdir(FDir.Path().c_str()), 0);
  std::string inCurrent = UniqueTableName(session, false);
  ASSERT_EQ(::chdir(cwd), 0);
  EXPECT_EQ(inCurrent, FDir.Path() + "/" + stem + "0.DAT");

  session.PrivateDir = FDir.Path();
  std::string first = UniqueTableName(session, false);
  EXPECT_EQ(first, FDir.Path() + "/" + stem + "0.DAT");
  EXPECT_EQ(UniqueTableName(session, false), first);
  test::WriteWholeFile(first, "");
  EXPECT_EQ(UniqueTableName(session, false), FDir.Path() + "/" + stem + "1.DAT");

  // In memory only the session's in-memory files count.
  EXPECT_EQ(UniqueTableName(session, true), first);
  session.MemoryFiles().CreateMemoryFile(first);
  EXPECT_EQ(UniqueTableName(session, true), FDir.Path() + "/" + stem + "1.DAT");
}

TEST(PathsTest, DelimitersAndExtensions) {
  EXPECT_EQ(AddPathDelimiter("  /data  "), "/data/");
  EXPECT_EQ(AddPathDelimiter("/data/"), "/data/");
  EXPECT_EQ(AddPathDelimiter("C:\\DATA\\"), "C:\\DATA\\");
  EXPECT_EQ(AddPathDelimiter("   "), "");
  EXPECT_EQ(RemoveExtension("/data/INCIDENT.DAT"), "/data/INCIDENT");
  EXPECT_EQ(RemoveExtension("/data/a.b.c"), "/data/a.b");
  EXPECT_EQ(RemoveExtension("/da.ta/INCIDENT"), "/da.ta/INCIDENT");
  EXPECT_EQ(RemoveExtension("C:\\da.ta\\INCIDENT"), "C:\\da.ta\\INCIDENT");
  EXPECT_EQ(ExtractFileName("C:\\DATA\\INCIDENT.DAT"), "INCIDENT.DAT");
  EXPECT_EQ(NativePath("C:\\DATA\\X.DAT"), "C:/DATA/X.DAT");
}

}  // namespace
}  // namespace tarnel
