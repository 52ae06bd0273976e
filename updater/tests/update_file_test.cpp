#include "updater/update_file.h"

#include <stdlib.h>
#include <unistd.h>

#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

std::string Repeat(const std::string& piece, int times) {
  std::string out;
  for (int i = 0; i < times; ++i) out += piece;
  return out;
}

// A folder of its own holding the INI fixtures of one test.
class UpdateFileTest : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/orv-update-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(pattern));
    folder_ = pattern;
  }
  void TearDown() override {
    for (const std::string& f : files_) unlink(f.c_str());
    rmdir(folder_.c_str());
  }

  // Writes text as the file name and reads it back as a description.
  UpdateDescription Read(const std::string& name, const std::string& text) {
    std::string path = folder_ + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    files_.push_back(path);
    UpdateDescription d;
    EXPECT_TRUE(ReadUpdateDescription(path, &d));
    return d;
  }
  UpdateDescription Missing() {
    UpdateDescription d;
    EXPECT_FALSE(ReadUpdateDescription(folder_ + "/absent.ini", &d));
    return d;
  }

  std::string folder_;
  std::vector<std::string> files_;
};

TEST(UpdateFileRules, VersionOrderIsTextual) {
  struct Case {
    const char* name;
    std::string a, b;
    bool before, beforeUtf16;
  } cases[] = {
      {"10 before 9", "1.0.0.10", "1.0.0.9", true, true},
      {"9 not before 10", "1.0.0.9", "1.0.0.10", false, false},
      {"equal", "1.0.0.1", "1.0.0.1", false, false},
      {"beginning sorts first", "1.0", "1.0.1", true, true},
      {"empty before anything", "", "1", true, true},
      {"nothing before empty", "1", "", false, false},
      {"build text after digits", "tq_winpc_tqx1_1.0.0.1_016", "1.0.0.2", false, false},
      {"digits before build text", "1.0.0.2", "tq_winpc_tqx1_1.0.0.1_016", true, true},
      {"bytes are unsigned", "z", "\xC3\xA9", true, true},
      // U+FFFD against U+1F600: byte order and UTF-16 order disagree.
      {"beyond U+FFFF", "\xEF\xBF\xBD", "\xF0\x9F\x98\x80", true, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.before, VersionBefore(c.a, c.b)) << c.name;
    EXPECT_EQ(c.beforeUtf16, VersionBeforeUtf16(c.a, c.b)) << c.name;
  }
}

TEST(UpdateFileRules, PackageItemSectionNames) {
  struct Case {
    std::string path, section;
  } cases[] = {
      {"res/a.png", "\\res\\a.png"},
      {"res/sub/b.png", "\\res\\sub\\b.png"},
      {"res/sub/", "\\res\\sub\\"},
      {"a.png", "a.png"},
      {"res/", "res/"},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(c.section, PackageItemSection(c.path)) << c.path;
}

TEST_F(UpdateFileTest, ReadsSectionsInOrderWithTheirKeys) {
  UpdateDescription d = Read("update.ini",
                             "[Tamsel]\r\nVERSION=1.0.0.5\r\nMINVER=1.0.0.002\r\n"
                             "[Korvane.exe]\r\nversion = 1.0.0.3\r\nUrl=http://h/Korvane.exe\r\n"
                             "[\\res\\a.png]\r\nVERSION=\r\n"
                             "[Empty]\r\n");
  ASSERT_EQ(4u, d.sections.size());
  EXPECT_EQ("Tamsel", d.sections[0].name);
  EXPECT_EQ("1.0.0.002", d.sections[0].minVersion);
  EXPECT_FALSE(d.sections[0].hasUrl);
  EXPECT_EQ("1.0.0.3", d.sections[1].version);
  EXPECT_EQ("http://h/Korvane.exe", d.sections[1].url);
  EXPECT_TRUE(d.sections[2].hasVersion) << "an empty value is present";
  EXPECT_EQ("", d.sections[2].version);
  EXPECT_FALSE(d.sections[3].hasVersion);
  EXPECT_EQ(&d.sections[1], FindUpdateSection(d, "KORVANE.EXE"));
  EXPECT_EQ(nullptr, FindUpdateSection(d, "Setup.exe"));
}

TEST_F(UpdateFileTest, MainProgramReadersAndDefaults) {
  UpdateDescription missing = Missing();
  EXPECT_EQ("tq_winpc_tqx1_1.0.0.1_016", ReadClientVersion(missing));
  EXPECT_EQ("", ReadPackageVersion(missing));
  EXPECT_EQ("", ReadPackageItemVersion(missing, "res/a.png"));

  UpdateDescription noProduct = Read("a.ini", "[Korvane.exe]\nVERSION=1.0.0.3\n");
  EXPECT_EQ("tq_winpc_tqx1_1.0.0.1_016", ReadClientVersion(noProduct));

  UpdateDescription installed = Read("b.ini",
                                     "[tamsel]\nversion=1.0.0.7\n"
                                     "[ZipPack.zip]\nVERSION=2.0\n"
                                     "[\\res\\a.png]\nVERSION=1.0\n"
                                     "[\\res\\b.png]\nVERSION=2.0\n"
                                     "[c.txt]\nVERSION=3.0\n"
                                     "[res/]\nVERSION=0.1\n");
  EXPECT_EQ("1.0.0.7", ReadClientVersion(installed)) << "names without regard to case";
  std::string package = ReadPackageVersion(installed);
  EXPECT_EQ("2.0", package);
  struct Item {
    std::string path;
    bool wanted;
  } items[] = {
      {"res/a.png", true},         // older than the package
      {"res/b.png", false},        // equal to the package
      {"res/missing.png", true},   // no section: empty version
      {"c.txt", false},            // newer than the package
      {"res/", true},              // folder entry, section named as it is
  };
  for (const Item& item : items) {
    EXPECT_EQ(item.wanted, PackageItemWanted(package, ReadPackageItemVersion(installed, item.path))) << item.path;
  }

  UpdateDescription longValues = Read("c.ini", "[Tamsel]\nVERSION=" + std::string(600, 'v') +
                                                   "\n[ZipPack.zip]\nVERSION=" + std::string(200, 'p') + "\n");
  EXPECT_EQ(std::string(511, 'v'), ReadClientVersion(longValues));
  EXPECT_EQ(std::string(127, 'p'), ReadPackageVersion(longValues));
}

TEST_F(UpdateFileTest, LoginUpdateCheck) {
  struct Case {
    const char* name;
    std::string server, installed, client;
    LoginUpdate expected;
  } cases[] = {
      {"server MINVER after installed forces", "[Tamsel]\nMINVER=1.0.0.010\nVERSION=1.0.0.1\n",
       "[Tamsel]\nMINVER=1.0.0.009\n", "1.0.0.1", LoginUpdate::kForced},
      {"textual MINVER: 10 is not after 9", "[Tamsel]\nMINVER=1.0.0.10\nVERSION=1.0.0.1\n",
       "[Tamsel]\nMINVER=1.0.0.9\n", "1.0.0.1", LoginUpdate::kNone},
      {"equal MINVER and version: nothing", "[Tamsel]\nMINVER=1.0.0.3\nVERSION=1.0.0.4\n",
       "[Tamsel]\nMINVER=1.0.0.3\n", "1.0.0.4", LoginUpdate::kNone},
      {"newer VERSION is offered", "[Tamsel]\nMINVER=1.0.0.3\nVERSION=1.0.0.5\n", "[Tamsel]\nMINVER=1.0.0.3\n",
       "1.0.0.4", LoginUpdate::kOffered},
      {"default client version is never offered", "[Tamsel]\nMINVER=1.0.0.3\nVERSION=1.0.0.5\n",
       "[Tamsel]\nMINVER=1.0.0.3\n", "tq_winpc_tqx1_1.0.0.1_016", LoginUpdate::kNone},
      {"missing MINVERs: 1.0.0.001 after 1.0.0.000 forces", "[Tamsel]\nVERSION=1.0.0.5\n", "[Other]\n", "1.0.0.5",
       LoginUpdate::kForced},
      {"missing server VERSION is the build text", "[Tamsel]\nMINVER=1.0.0.3\n", "[Tamsel]\nMINVER=1.0.0.3\n",
       "1.0.0.9", LoginUpdate::kOffered},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, CheckUpdateAtLogin(Read("s.ini", c.server), Read("i.ini", c.installed), c.client))
        << c.name;
  }
  EXPECT_EQ(LoginUpdate::kForced, CheckUpdateAtLogin(Missing(), Missing(), kDefaultClientVersion))
      << "no files at all: the defaults force";
}

TEST_F(UpdateFileTest, UpdaterVersionCheck) {
  struct Case {
    const char* name;
    std::string server, current, newVersion;
    bool newer;
  } cases[] = {
      {"newer", "[Tamsel]\nVERSION=1.0.0.2\n", "1.0.0.1", "1.0.0.2", true},
      {"10 sorts before 9: up to date", "[Tamsel]\nVERSION=1.0.0.10\n", "1.0.0.9", "1.0.0.10", false},
      {"no VERSION: empty, up to date", "[Tamsel]\nMINVER=1\n", "1.0.0.1", "", false},
      {"product section by exact name only for the walk; key lookup ignores case", "[TAMSEL]\nVERSION=2\n", "1",
       "2", true},
      {"cut at 127 bytes", "[Tamsel]\nVERSION=" + std::string(200, '9') + "\n", "1", std::string(127, '9'), true},
      {"cut between characters", "[Tamsel]\nVERSION=" + Repeat("é", 100) + "\n", "1", Repeat("é", 63), true},
  };
  for (const Case& c : cases) {
    std::string newVersion = "sentinel";
    EXPECT_EQ(c.newer, UpdaterFindsNewVersion(Read("s.ini", c.server), "Tamsel", c.current, &newVersion)) << c.name;
    EXPECT_EQ(c.newVersion, newVersion) << c.name;
  }
}

// A plan in one line per download: "section url server>installed [setup]",
// then "stop <section>" when the walk ended early and "then a newer file"
// when a newer section with a URL follows the stop.
std::vector<std::string> Lines(const UpdatePlan& plan) {
  std::vector<std::string> lines;
  for (const UpdateDownload& d : plan.downloads) {
    lines.push_back(d.section + " " + d.url + " " + d.serverVersion + ">" + d.installedVersion +
                    (d.runsInstaller ? " setup" : ""));
  }
  if (plan.stoppedAtMissingUrl) lines.push_back("stop " + plan.stopSection);
  if (plan.newerWithUrlAfterStop) lines.push_back("then a newer file");
  return lines;
}

TEST_F(UpdateFileTest, UpdatePlan) {
  const std::string installed =
      "[Tamsel]\nVERSION=1.0.0.1\n"
      "[Korvane.exe]\nVERSION=1.0.0.1\n"
      "[res\\skin.png]\nVERSION=1.0.0.2\n"
      "[res\\nine.png]\nVERSION=1.0.0.9\n";
  struct Case {
    const char* name;
    std::string server;
    std::vector<std::string> plan;
  } cases[] = {
      {"a full release",
       "[Tamsel]\nVERSION=1.0.0.5\nMINVER=1.0.0.001\n"
       "[Korvane.exe]\nVERSION=1.0.0.3\nURL=http://h/Korvane.exe\n"
       "[res\\skin.png]\nVERSION=1.0.0.2\nURL=http://h/res/skin.png\n"
       "[res\\new.png]\nVERSION=1.0.0.1\nURL=http://h/res/new.png\n"
       "[Setup.exe]\nVERSION=1.0.0.4\nURL=http://h/Setup.exe\n"
       "[ZipPack.zip]\nVERSION=1.0.0.4\nURL=http://h/ZipPack.zip\n"
       "[\\res\\a.png]\nVERSION=1.0.0.4\n"
       "[\\res\\b.png]\nVERSION=1.0.0.4\n",
       {"Korvane.exe http://h/Korvane.exe 1.0.0.3>1.0.0.1", "res\\new.png http://h/res/new.png 1.0.0.1>1.0.0.000",
        "Setup.exe http://h/Setup.exe 1.0.0.4>1.0.0.000 setup",
        "ZipPack.zip http://h/ZipPack.zip 1.0.0.4>1.0.0.000", "stop \\res\\a.png"}},
      {"a newer section without URL first stops everything",
       "[Tamsel]\nVERSION=1.0.0.5\n[Korvane.exe]\nVERSION=1.0.0.3\n[Setup.exe]\nVERSION=2\nURL=http://h/Setup.exe\n",
       {"stop Korvane.exe", "then a newer file"}},
      {"an empty URL is no URL", "[Korvane.exe]\nVERSION=1.0.0.3\nURL=\n[x]\nVERSION=2\nURL=http://h/x\n",
       {"stop Korvane.exe", "then a newer file"}},
      {"after the stop only newer sections count",
       "[\\res\\a.png]\nVERSION=2\n[res\\skin.png]\nVERSION=1.0.0.2\nURL=http://h/s\n[\\res\\b.png]\nVERSION=2\n",
       {"stop \\res\\a.png"}},
      {"1.0.0.0 begins 1.0.0.000, so it is not newer", "[fresh.dll]\nVERSION=1.0.0.0\nURL=http://h/f\n", {}},
      {"textual order: 10 is not after 9", "[res\\nine.png]\nVERSION=1.0.0.10\nURL=http://h/n\n", {}},
      {"no VERSION: 1.0.0.001 after a missing installed one",
       "[extra.dll]\nURL=http://h/extra.dll\n[Korvane.exe]\nURL=http://h/k\n",
       {"extra.dll http://h/extra.dll 1.0.0.001>1.0.0.000"}},
      {"product section skipped by exact name only", "[tamsel]\nVERSION=1.0.0.5\nURL=http://h/t\n",
       {"tamsel http://h/t 1.0.0.5>1.0.0.1"}},
      {"installer by exact name only", "[setup.exe]\nVERSION=2\nURL=http://h/s\n",
       {"setup.exe http://h/s 2>1.0.0.000"}},
      {"server version cut at 63 bytes",
       "[Korvane.exe]\nVERSION=1.0.0.1" + std::string(62, '0') + "\nURL=http://h/k\n",
       {"Korvane.exe http://h/k 1.0.0.1" + std::string(56, '0') + ">1.0.0.1"}},
      {"URL cut at 511 bytes", "[big]\nVERSION=2\nURL=http://h/" + std::string(600, 'u') + "\n",
       {"big http://h/" + std::string(502, 'u') + " 2>1.0.0.000"}},
      {"URL cut between characters", "[big]\nVERSION=2\nURL=http://h/" + Repeat("文", 600) + "\n",
       {"big http://h/" + Repeat("文", 167) + " 2>1.0.0.000"}},
      {"empty file", "", {}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.plan, Lines(BuildUpdatePlan(Read("s.ini", c.server), Read("i.ini", installed), "Tamsel"))) << c.name;
  }
  // Without an installed copy every file counts as 1.0.0.000.
  EXPECT_EQ(std::vector<std::string>{"Korvane.exe http://h/k 1.0.0.1>1.0.0.000"},
            Lines(BuildUpdatePlan(Read("s.ini", "[Korvane.exe]\nVERSION=1.0.0.1\nURL=http://h/k\n"), Missing(),
                                  "Tamsel")));
  EXPECT_TRUE(BuildUpdatePlan(Missing(), Missing(), "Tamsel").downloads.empty());
}

}  // namespace
