#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>
#include <vector>

#include "support/ObjectPoolImpl.h"
#include "support/diagnostic_log.h"

namespace vel {
namespace {

struct Slot64 {
  char bytes[64];
};

class PoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    DiagnosticLog::Instance().SetListener([this](std::string_view line) { lines.emplace_back(line); });
  }
  void TearDown() override {
    DiagnosticLog::Instance().SetListener(nullptr);
    DiagnosticLog::Instance().SetLevelMask(0x3F);
  }
  std::vector<std::string> lines;
};

TEST_F(PoolTest, GrowsBy128ThenBy4AndReusesFirstInFirstOut) {
  ObjectPoolImpl<Slot64>::SetTypeName("Slot64");
  auto& pool = ObjectPoolImpl<Slot64>::Instance();
  ASSERT_EQ(lines.size(), 1u);
  // 128 * (64 + 4) + 4 bytes: 8708, that is 8 Kb.
  std::regex growth(R"(\d{4}-\d\d-\d\d \d\d:\d\d \[ERROR\] ObjectPoolImpl\.h\(109\): Slot64: The Class Mem Pool has )"
                    R"(allocated memroy \(8708Bytes, total bytes: 8 Kb,total object = 128\r\n)");
  EXPECT_TRUE(std::regex_match(lines[0], growth)) << lines[0];

  std::vector<void*> taken;
  for (int i = 0; i < 128; ++i) taken.push_back(pool.TakeObject());
  EXPECT_EQ(lines.size(), 1u);
  taken.push_back(pool.TakeObject());
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_NE(lines[1].find("(276Bytes, total bytes: 8 Kb,total object = 132"), std::string::npos) << lines[1];
  EXPECT_EQ(std::set<void*>(taken.begin(), taken.end()).size(), taken.size());

  // Returned slots come back in the order they were returned, after the free ones.
  for (int i = 0; i < 3; ++i) pool.TakeObject();
  pool.ReturnObject(taken[5]);
  pool.ReturnObject(taken[2]);
  EXPECT_EQ(pool.TakeObject(), taken[5]);
  EXPECT_EQ(pool.TakeObject(), taken[2]);
  EXPECT_EQ(pool.TotalObjects(), 132u);
}

TEST_F(PoolTest, LevelMaskFiltersAndTagsFollowTheLevel) {
  auto& log = DiagnosticLog::Instance();
  log.SetLevelMask(0x3F & ~0x02u);
  log.Log(kLogError, "dropped");
  EXPECT_TRUE(lines.empty());
  log.Log(kLogWarn, "kept %d", 7);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_NE(lines[0].find(" [WARN ] kept 7\r\n"), std::string::npos);
  log.Log(0x40, "outside the mask");
  EXPECT_EQ(lines.size(), 1u);
  log.SetLevelMask(0x40);
  log.Log(0x40, "untagged");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].substr(17), "untagged\r\n");  // "YYYY-MM-DD HH:MM " then no tag
}

}  // namespace
}  // namespace vel
