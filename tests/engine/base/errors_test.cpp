#include "engine/base/errors.h"

#include <gtest/gtest.h>

#include "engine/base/session.h"
#include "platform/os/os_error.h"

namespace tarnel {
namespace {

std::string MessageOf(uint16_t code, const std::string& file = "", const std::string& field = "",
                      const std::string& sql = "", const std::string& index = "") {
  try {
    RaiseEngineError(code, file, field, sql, index);
  } catch (const EDBEngineError& error) {
    EXPECT_EQ(error.ErrorCode(), code);
    EXPECT_EQ(error.ErrorCount(), 1);
    EXPECT_EQ(error.Errors(0).NativeError, 0);
    return error.what();
  }
  return "not raised";
}

TEST(EngineErrorTest, NotInitializedNeedsNoSession) {
  ASSERT_FALSE(EngineStarted());
  EXPECT_EQ(MessageOf(kErrNotInitialized), "TARNEL Engine Error # 10758 TARNEL engine not initialized");
  try {
    CurrentSession();
    FAIL() << "CurrentSession answered without an engine";
  } catch (const EDBEngineError& error) {
    EXPECT_EQ(error.ErrorCode(), kErrNotInitialized);
  }
}

class EngineMessageTest : public ::testing::Test {
 protected:
  void SetUp() override { InitializeEngine(); }
  void TearDown() override { ShutdownEngine(); }
};

TEST_F(EngineMessageTest, MessagesSpliceInTheNamesOfTheErrorContext) {
  struct Case {
    uint16_t Code;
    const char* Expected;
  };
  const Case cases[] = {
      {10258, "TARNEL Engine Error # 10258 Record in data file /data/INCIDENT.DAT is in use by "
              "another user"},
      {9729, "TARNEL Engine Error # 9729 Duplicate key found in index BYNAME of data file "
             "/data/INCIDENT.DAT"},
      {10023, "TARNEL Engine Error # 10023 Invalid field number 9 specified in index BYNAME for "
              "data file /data/INCIDENT.DAT"},
      {9993, "TARNEL Engine Error # 9993 A primary index is already defined for data file "
             "/data/INCIDENT.DAT and cannot be added again"},
      {11949, "TARNEL Engine Error # 11949 SQL - Unknown column X"},
      {11016, "TARNEL Engine Error # 11016 There is insufficient operating system memory "
              "available for the current operation"},
      {1, "TARNEL Engine Error # 1 Unknown error occurred with data file /data/INCIDENT.DAT"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MessageOf(c.Code, "/data/INCIDENT.DAT", "9", "Unknown column X", "BYNAME"), c.Expected);
  }
  EXPECT_EQ(CurrentSession().LastErrorCode, 1);
  EXPECT_EQ(CurrentSession().ErrorIndexName, "BYNAME");
}

TEST_F(EngineMessageTest, LongMessagesAreCutBeforeThePrefix) {
  std::string path = "/a/very/long/directory/name/that/goes/on/and/on/TABLE.DAT";
  std::string message = MessageOf(kErrIndexLimits, path);
  std::string text = message.substr(std::string("TARNEL Engine Error # 9487 ").size());
  EXPECT_EQ(text.size(), kMaxEngineMessage);
  EXPECT_EQ(text, ("Maximum or minimum limits on number of indexes or fields in an index exceeded "
                   "in data file " + path).substr(0, kMaxEngineMessage));
}

TEST_F(EngineMessageTest, StatusesUseTheContextTheSessionHoldsNow) {
  SetErrorContext(kErrRead, "/data/A.DAT", "", "", "");
  try {
    CheckStatus(kErrEndOfFile);
    FAIL();
  } catch (const EDBEngineError& error) {
    EXPECT_STREQ(error.what(), "TARNEL Engine Error # 8706 End of file encountered in data file /data/A.DAT");
  }
  EXPECT_NO_THROW(CheckStatus(0));
  ClearErrorContext();
  EXPECT_EQ(GetEngineErrorText(kErrEndOfFile), "End of file encountered in data file ");
}

TEST(MapOSErrorTest, OperatingSystemErrorsMapOntoEngineCodes) {
  struct Case {
    int OsError;
    uint16_t Code;
  };
  const Case cases[] = {
      {os::kOsFileNotFound, 11010},       {os::kOsPathNotFound, 11010},
      {os::kOsTooManyOpenFiles, 11012},   {os::kOsAccessDenied, 11013},
      {os::kOsSharingViolation, 11013},   {os::kOsNetworkAccessDenied, 11013},
      {os::kOsInvalidHandle, 11014},      {os::kOsNotEnoughMemory, 11016},
      {os::kOsInvalidDrive, 11023},       {os::kOsNotSameDevice, 11025},
      {os::kOsGeneralFailure, 11047},     {1234, 11047},
  };
  for (const Case& c : cases) EXPECT_EQ(MapOSError(c.OsError), c.Code) << c.OsError;
}

}  // namespace
}  // namespace tarnel
