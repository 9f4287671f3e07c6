// The ARJ commands natively, over the POSIX file calls: the fixture listed,
// tested and extracted with the progress steps the host sees, and an
// existing file left alone unless the host says otherwise.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "arj_ops.h"

namespace {

namespace fs = std::filesystem;

const std::string kFixture = FIXTURE_DIR "/small.arj";

std::string read(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

struct Recording : arj::Host {
  Overwrite answer = Overwrite::No;
  int asked = 0;
  std::vector<std::string> steps;  // "mode name written"
  Overwrite ask_overwrite(const std::string&) override {
    ++asked;
    return answer;
  }
  bool progress(int mode, uint64_t size, uint64_t written, const std::string& source, const std::string&) override {
    if (mode != arj::kInProcess)
      steps.push_back(std::to_string(mode) + " " + source + " " + std::to_string(written));
    return false;
  }
};

class ArjOps : public ::testing::Test {
 protected:
  void SetUp() override {
    out = fs::path(::testing::TempDir()) /
          ("arj_ops_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(out);
    fs::create_directories(out);
  }
  void TearDown() override { fs::remove_all(out); }
  arj::ExtractOptions options() {
    arj::ExtractOptions o;
    o.base = out.string();
    o.withFolders = true;
    return o;
  }
  fs::path out;
  char buf[4096] = {};
};

TEST_F(ArjOps, ListsTestsAndExtractsWithProgress) {
  arc::LogWriter log(buf, sizeof buf);
  ASSERT_EQ(arj::list(kFixture, {}, log), 0);
  EXPECT_EQ(std::string(buf), "one.txt\t8893\t4069\t5d8a-5151\tMethod1\r\nsub/two.txt\t4\t4\t5d8a-5151\tStore\r\n");

  arc::LogWriter tlog(buf, sizeof buf);
  EXPECT_EQ(arj::test(kFixture, {}, tlog), 0) << buf;

  Recording host;
  arc::LogWriter xlog(buf, sizeof buf);
  ASSERT_EQ(arj::extract(kFixture, options(), host, xlog), 0) << buf;
  EXPECT_EQ(fs::file_size(out / "one.txt"), 8893u);
  EXPECT_EQ(read(out / "sub" / "two.txt").size(), 4u);
  EXPECT_EQ(host.steps, (std::vector<std::string>{"0 one.txt 0", "2 one.txt 8893", "0 sub/two.txt 0",
                                                   "2 sub/two.txt 4"}));

  char printed[16] = {};
  EXPECT_EQ(arj::print(kFixture, {"sub/two.txt"}, printed, sizeof printed), 0);
  EXPECT_EQ(std::string(printed), read(out / "sub" / "two.txt"));
}

TEST_F(ArjOps, ExistingFileFollowsTheHostsAnswer) {
  using A = arj::Host::Overwrite;
  struct Case {
    A answer;
    bool silent, yes;
    int rc, asked;
    bool replaced;
  } cases[] = {
      {A::No, false, false, 0, 2, false},
      {A::Yes, false, false, 0, 2, true},
      {A::All, false, false, 0, 1, true},
      {A::Cancel, false, false, arj::kErrUserCancel, 1, false},
      {A::Yes, true, false, 0, 0, false},  // -i: nobody to ask, the file stays
      {A::No, false, true, 0, 0, true},    // -y
  };
  for (const Case& c : cases) {
    fs::remove_all(out);
    fs::create_directories(out / "sub");
    std::ofstream(out / "one.txt") << "mine";
    std::ofstream(out / "sub" / "two.txt") << "mine";
    Recording host;
    host.answer = c.answer;
    arj::ExtractOptions o = options();
    o.overwriteOlderCheck = false;
    o.silent = c.silent;
    o.yesToAll = c.yes;
    arc::LogWriter log(buf, sizeof buf);
    EXPECT_EQ(arj::extract(kFixture, o, host, log), c.rc) << buf;
    EXPECT_EQ(host.asked, c.asked) << buf;
    EXPECT_EQ(read(out / "one.txt") != "mine", c.replaced) << buf;
  }
}

}  // namespace
