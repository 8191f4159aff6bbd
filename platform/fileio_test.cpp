#include "platform/fileio.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/temp_folder_test.h"

namespace {

using namespace testfiles;

class FileioTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(folder_.Enter());
    fileio::fault::ResetCount();
  }
  void TearDown() override { fileio::fault::ResetCount(); }
  TempFolder folder_{"fileio_test"};
};

TEST_F(FileioTest, ReplaceSwapsContentsAndRenameNoReplaceRefusesExistingTarget) {
  Put("old", "old bytes");
  Put("new", "new bytes");
  Put("other", "other");
  EXPECT_NE(fileio::RenameNoReplace("other", "old"), 0);
  EXPECT_EQ(Slurp("old"), "old bytes");
  EXPECT_TRUE(fileio::Exists("other"));

  ASSERT_EQ(fileio::ReplaceAtomically("new", "old"), 0);
  EXPECT_EQ(Slurp("old"), "new bytes");
  EXPECT_FALSE(fileio::Exists("new"));

  ASSERT_EQ(fileio::RenameNoReplace("other", "fresh"), 0);
  EXPECT_EQ(Slurp("fresh"), "other");
  EXPECT_FALSE(fileio::Exists("other"));
}

TEST_F(FileioTest, ArmedFaultFailsExactlyTheChosenOperationAndDoesNothing) {
  Put("a", "abc");
  fileio::fault::ResetCount();
  fileio::fault::Arm(2);
  FILE* f = fileio::Open("a", "rb");
  ASSERT_NE(f, nullptr);
  char buf[4] = {};
  EXPECT_EQ(fileio::Read(buf, 1, 3, f), 0u);  // the second operation fails
  EXPECT_TRUE(fileio::fault::Fired());
  EXPECT_EQ(fileio::Read(buf, 1, 3, f), 3u);  // and only that one
  EXPECT_EQ(std::string(buf, 3), "abc");
  EXPECT_EQ(fileio::Close(f), 0);
  EXPECT_EQ(fileio::fault::Count(), 4);

  fileio::fault::Arm(1);
  EXPECT_NE(fileio::ReplaceAtomically("a", "b"), 0);
  EXPECT_TRUE(fileio::Exists("a"));
  EXPECT_FALSE(fileio::Exists("b"));
  fileio::fault::Arm(1);
  EXPECT_EQ(fileio::Malloc(16), nullptr);
}

TEST_F(FileioTest, FailedOpenReportsAccessRefusedApartFromMissing) {
  EXPECT_EQ(fileio::Open("missing", "rb"), nullptr);
  EXPECT_EQ(fileio::LastOpenErrno(), ENOENT);
}

}  // namespace
