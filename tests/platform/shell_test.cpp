#include "quillfern/platform/shell.hpp"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace quillfern::platform {
namespace {

namespace fs = std::filesystem;

// A scratch folder with a stand-in launcher that records its arguments
// (NUL-separated) and the folder it ran in, then exits with a set status.
struct LauncherFixture : ::testing::Test {
  LauncherFixture() {
    std::string pattern = (fs::temp_directory_path() / "qf-shell-XXXXXX").string();
    root = ::mkdtemp(pattern.data());
    ::unsetenv("BROWSER");
  }
  ~LauncherFixture() override {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }

  std::string launcher(int status = 0, std::string_view body = "") {
    const fs::path script = root / ("launcher" + std::to_string(status));
    std::ofstream out(script);
    out << "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" << (root / "argv").string() << "'\n"
        << "pwd > '" << (root / "cwd").string() << "'\n"
        << body << "\nexit " << status << "\n";
    out.close();
    fs::permissions(script, fs::perms::owner_all);
    return script.string();
  }

  SystemShell shell_with(std::string program) {
    SystemShell::Options options;
    options.launcher = std::move(program);
    options.quiet = true;
    return SystemShell(options);
  }

  std::vector<std::string> recorded() const {
    std::ifstream in(root / "argv", std::ios::binary);
    if (!in) return {};
    std::vector<std::string> args;
    std::string arg;
    while (std::getline(in, arg, '\0')) args.push_back(arg);
    return args;
  }
  std::string recorded_folder() const {
    std::ifstream in(root / "cwd");
    std::string line;
    std::getline(in, line);
    return line;
  }

  fs::path root;
};

using SystemShellTest = LauncherFixture;

TEST_F(SystemShellTest, HandsHostileAddressesOverLiterally) {
  SystemShell shell = shell_with(launcher());
  const std::vector<std::string> links{
      "https://x.example/?q=a b'c\"d;e$(touch " + (root / "pwned").string() + ")`id`&f|g>h",
      "mailto:someone@x.example?subject=$HOME;%20*",
      "http://x.example/\\n\t--help",
  };
  for (const std::string& target : links) {
    EXPECT_EQ(shell.open("open", target, "", root.string(), 1), shell_result::opened) << target;
    EXPECT_EQ(recorded(), std::vector<std::string>{target});
    EXPECT_EQ(recorded_folder(), root.string()) << "starts in the folder given";
  }
  EXPECT_FALSE(fs::exists(root / "pwned")) << "no command interpreter read the link";
}

TEST_F(SystemShellTest, NeverPassesAPathAsAnOption) {
  SystemShell shell = shell_with(launcher());
  std::ofstream(root / "-rf") << "x";
  std::ofstream(root / "--help") << "x";
  EXPECT_EQ(shell.open("", "-rf", "", root.string(), 1), shell_result::opened);
  EXPECT_EQ(recorded(), std::vector<std::string>{"./-rf"});
  EXPECT_EQ(shell.open("open", "--help", "", root.string(), 1), shell_result::opened);
  EXPECT_EQ(recorded(), std::vector<std::string>{"./--help"});
  const std::string absolute = (root / "-rf").string();
  EXPECT_EQ(shell.open("open", absolute, "", "1", 1), shell_result::opened);
  EXPECT_EQ(recorded(), std::vector<std::string>{absolute});
}

TEST_F(SystemShellTest, MapsFailuresOntoShellResults) {
  std::ofstream(root / "doc.txt") << "x";
  struct Case {
    std::string launcher, operation, file;
    std::int32_t result;
  };
  const std::vector<Case> cases{
      {launcher(0), "open", "doc.txt", shell_result::opened},
      {launcher(0), "OPEN", "doc.txt", shell_result::opened},
      {launcher(0), "open", "missing.txt", shell_result::file_not_found},
      {launcher(0), "open", "no/such/folder/doc.txt", shell_result::path_not_found},
      {launcher(0), "print", "doc.txt", shell_result::no_association},
      {launcher(0), "open", "", shell_result::file_not_found},
      {launcher(0), "open", std::string("doc.txt\0.exe", 12), shell_result::file_not_found},
      {launcher(2), "open", "https://x.example/", shell_result::file_not_found},
      {launcher(3), "open", "doc.txt", shell_result::no_association},
      {launcher(4), "open", "doc.txt", shell_result::no_association},
      {(root / "not-installed").string(), "open", "doc.txt", shell_result::no_association},
      {"quillfern-no-such-launcher", "open", "https://x.example/", shell_result::no_association},
  };
  for (const Case& c : cases) {
    SystemShell shell = shell_with(c.launcher);
    EXPECT_EQ(shell.open(c.operation, c.file, "", root.string(), 1), c.result)
        << c.launcher << " " << c.operation << " " << c.file;
  }
  // A launcher that is not executable.
  const fs::path plain = root / "plain";
  std::ofstream(plain) << "#!/bin/sh\n";
  fs::permissions(plain, fs::perms::owner_read | fs::perms::owner_write);
  SystemShell shell = shell_with(plain.string());
  EXPECT_EQ(shell.open("open", "doc.txt", "", root.string(), 1), shell_result::access_denied);
}

TEST_F(SystemShellTest, StartsInTheCurrentFolderWhenTheGivenOneDoesNotExist) {
  SystemShell shell = shell_with(launcher());
  EXPECT_EQ(shell.open("open", "https://x.example/", "", "1", 1), shell_result::opened);
  EXPECT_EQ(recorded_folder(), fs::current_path().string());
}

TEST_F(SystemShellTest, ALauncherStillRunningHasOpenedTheTarget) {
  SystemShell::Options options;
  options.launcher = launcher(0, "sleep 3");
  options.settle = std::chrono::milliseconds(100);
  options.quiet = true;  // the launcher keeps no hold on our output
  SystemShell shell(options);
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(shell.open("open", "https://x.example/", "", "", 1), shell_result::opened);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}

TEST_F(SystemShellTest, UsesTheBrowserVariableForWebAddressesOnly) {
  const std::string browser = launcher(0);
  const std::string other = launcher(3);
  ::setenv("BROWSER", ("/nonexistent/browser:" + browser + " --new-tab=%s --x=%%").c_str(), 1);
  SystemShell shell = shell_with(other);
  EXPECT_EQ(shell.open("open", "https://x.example/a b", "", "", 1), shell_result::opened);
  EXPECT_EQ(recorded(), (std::vector<std::string>{"--new-tab=https://x.example/a b", "--x=%"}));

  ::setenv("BROWSER", browser.c_str(), 1);
  EXPECT_EQ(shell.open("open", "https://x.example/", "", "", 1), shell_result::opened);
  EXPECT_EQ(recorded(), std::vector<std::string>{"https://x.example/"});
  EXPECT_EQ(shell.open("open", "mailto:a@x.example", "", "", 1), shell_result::no_association)
      << "not a web address: the desktop's launcher (which exits 3 here)";
  ::unsetenv("BROWSER");
}

TEST(ShellAddresses, TellAddressesFromPaths) {
  EXPECT_TRUE(is_address("https://x.example/"));
  EXPECT_TRUE(is_address("mailto:a@b"));
  EXPECT_TRUE(is_address("svn+ssh://h/r"));
  EXPECT_FALSE(is_address("C:\\docs\\a.txt"));
  EXPECT_FALSE(is_address("notes.txt"));
  EXPECT_FALSE(is_address("-x:y"));
  EXPECT_FALSE(is_address("./a:b"));
  EXPECT_TRUE(is_web_address("HTTP://X.EXAMPLE"));
  EXPECT_FALSE(is_web_address("ftp://x.example"));
}

}  // namespace
}  // namespace quillfern::platform
