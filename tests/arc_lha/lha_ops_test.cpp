// The LHA commands natively, over the POSIX file calls: a small tree packed,
// extracted elsewhere, tested, printed and an entry deleted; and what the
// host's answer to the overwrite question does.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "lha_ops.h"

namespace {

namespace fs = std::filesystem;

std::string read(const fs::path& p) {
  std::ifstream f(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

void write(const fs::path& p, const std::string& bytes) {
  fs::create_directories(p.parent_path());
  std::ofstream(p, std::ios::binary) << bytes;
}

class LhaOps : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = fs::path(::testing::TempDir()) /
          ("lha_ops_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    std::string pattern;
    for (int i = 0; i < 50; ++i)
      for (int v = 0; v < 256; ++v) pattern += static_cast<char>(v);
    std::string text;
    for (int i = 0; i < 1000; ++i) text += "alpha " + std::to_string(i % 13) + "\n";
    files = {{"a.txt", text}, {"sub/b.bin", pattern}, {"sub/deeper/empty.txt", ""}};
    for (auto& [name, bytes] : files) write(dir / "src" / name, bytes);
    archive = (dir / "t.lzh").string();
  }
  void TearDown() override { fs::remove_all(dir); }

  int pack() {
    lha::AddOptions o;
    o.folders = o.recurse = true;
    return lha::add({archive, (dir / "src").string(), {"*.*"}}, o, host, log);
  }

  fs::path dir;
  std::vector<std::pair<std::string, std::string>> files;
  std::string archive;
  lha::Host host;
  char buf[8192] = {};
  arc::LogWriter log{buf, sizeof buf};
};

TEST_F(LhaOps, PacksExtractsTestsPrintsAndDeletes) {
  ASSERT_EQ(pack(), 0) << buf;
  EXPECT_NE(std::string(buf).find("Frozen sub\\b.bin"), std::string::npos) << buf;

  arc::LogWriter xlog(buf, sizeof buf);
  ASSERT_EQ(lha::extract({archive, (dir / "out").string(), {}}, {}, host, xlog), 0) << buf;
  for (auto& [name, bytes] : files) EXPECT_EQ(read(dir / "out" / name), bytes) << name;
  EXPECT_NE(std::string(buf).find("mkdir sub\\deeper\\"), std::string::npos) << buf;

  arc::LogWriter tlog(buf, sizeof buf);
  EXPECT_EQ(lha::test({archive, "", {}}, tlog), 0) << buf;
  EXPECT_NE(std::string(buf).find("Tested sub\\b.bin"), std::string::npos) << buf;

  std::vector<char> printed(files[0].second.size() + 1);
  ASSERT_EQ(lha::print({archive, "", {"a.txt"}}, printed.data(), static_cast<uint32_t>(printed.size())), 0);
  EXPECT_EQ(std::string(printed.data()), files[0].second);

  // A bare name takes that file in any folder.
  arc::LogWriter dlog(buf, sizeof buf);
  ASSERT_EQ(lha::remove({archive, "", {"b.bin"}}, false, false, dlog), 0) << buf;
  EXPECT_NE(std::string(buf).find("Deleted sub\\b.bin"), std::string::npos) << buf;
  lha::ExtractOptions flat;
  flat.folders = false;
  arc::LogWriter elog(buf, sizeof buf);
  ASSERT_EQ(lha::extract({archive, (dir / "flat").string(), {}}, flat, host, elog), 0) << buf;
  std::vector<std::string> got;
  for (auto& e : fs::directory_iterator(dir / "flat")) got.push_back(e.path().filename().string());
  std::sort(got.begin(), got.end());
  EXPECT_EQ(got, (std::vector<std::string>{"a.txt", "empty.txt"}));
}

// Answers the overwrite question as told and counts the questions.
struct Answering : lha::Host {
  Overwrite answer;
  int asked = 0;
  explicit Answering(Overwrite a) : answer(a) {}
  Overwrite ask_overwrite(const std::string&) override {
    ++asked;
    return answer;
  }
};

TEST_F(LhaOps, ExistingFileFollowsTheHostsAnswer) {
  using O = lha::Host::Overwrite;
  ASSERT_EQ(pack(), 0) << buf;
  struct Case {
    O answer;
    bool yes;
    int rc;
    bool replaced;
    int asked;
    const char* logged;
  } cases[] = {
      {O::No, false, 0, false, 2, "Skipped : a.txt"},
      {O::Yes, false, 0, true, 2, "Melted a.txt"},
      {O::All, false, 0, true, 1, "Melted sub\\b.bin"},  // asked once for both
      {O::Cancel, false, lha::kErrUserCancel, false, 1, "Cancelled"},
      {O::No, true, 0, true, 0, "Melted a.txt"},  // -y never asks
  };
  for (const Case& c : cases) {
    fs::path out = dir / "out";
    fs::remove_all(out);
    write(out / "a.txt", "mine");
    write(out / "sub" / "b.bin", "mine too");
    Answering answering(c.answer);
    lha::ExtractOptions o;
    o.timeCheck = false;
    o.yes = c.yes;
    arc::LogWriter xlog(buf, sizeof buf);
    EXPECT_EQ(lha::extract({archive, out.string(), {}}, o, answering, xlog), c.rc) << buf;
    EXPECT_EQ(read(out / "a.txt") == files[0].second, c.replaced) << buf;
    EXPECT_EQ(answering.asked, c.asked) << buf;
    EXPECT_NE(std::string(buf).find(c.logged), std::string::npos) << buf;
  }
}

}  // namespace
