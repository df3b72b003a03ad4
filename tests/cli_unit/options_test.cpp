#include "cli/options.hpp"

#include <gtest/gtest.h>

#include "cli/command.hpp"
#include "cli/secrets.hpp"

namespace quillfern::cli {
namespace {

const std::vector<Option> options{
    {"number", 'n', "N", ""}, {"output", 'o', "FILE", ""}, {"quiet", 'q', "", ""},
    {"tag", '\0', "T", "", true}};

ParsedArgs parse(std::vector<std::string> args) { return parse_options(args, options); }

TEST(Options, ReadLongShortAttachedAndSeparateValues) {
  auto p = parse({"--number", "5", "-oout.txt", "-q", "in.txt"});
  EXPECT_EQ(p.value("number"), "5");
  EXPECT_EQ(p.value("output"), "out.txt");
  EXPECT_TRUE(p.has("quiet"));
  EXPECT_EQ(p.positionals(), std::vector<std::string>{"in.txt"});

  p = parse({"--number=7", "-qo", "x", "--tag", "a", "--tag=b"});
  EXPECT_EQ(p.value("number"), "7");
  EXPECT_EQ(p.value("output"), "x");
  EXPECT_EQ(p.values("tag"), (std::vector<std::string>{"a", "b"}));
}

TEST(Options, TreatDashAsAFileAndDoubleDashAsTheEndOfOptions) {
  auto p = parse({"-", "--", "--number", "-q"});
  EXPECT_EQ(p.positionals(), (std::vector<std::string>{"-", "--number", "-q"}));
  EXPECT_FALSE(p.has("number"));
}

TEST(Options, RefuseWhatTheCommandDoesNotTake) {
  for (std::vector<std::string> args :
       {std::vector<std::string>{"--bogus"}, {"-x"}, {"--number"}, {"-o"}, {"--quiet=1"},
        {"--number", "1", "--number", "2"}}) {
    EXPECT_THROW((void)parse(args), UsageError) << args.front();
  }
}

TEST(Options, ParseHexOptionsAndNumbers) {
  EXPECT_EQ(parse_hex_option("password-hex", "00ff 41"), std::string("\x00\xff\x41", 3));
  EXPECT_THROW((void)parse_hex_option("password-hex", "0"), UsageError);
  EXPECT_THROW((void)parse_hex_option("password-hex", "zz"), UsageError);
  EXPECT_EQ(parse_number("number", "255"), 255);
  for (const char* bad : {"256", "-1", "", "5x", "0x5"}) {
    EXPECT_THROW((void)parse_number("number", bad), UsageError) << bad;
  }
}

TEST(Commands, AreFoundByNameOrByPublishedNameInAnyCase) {
  ASSERT_NE(find_command("encrypt-password"), nullptr);
  EXPECT_EQ(find_command("EncryptPassword"), find_command("encrypt-password"));
  EXPECT_EQ(find_command("encryptpassword"), find_command("encrypt-password"));
  EXPECT_EQ(find_command("Encrypt-Password"), nullptr) << "kebab names are exact";
  EXPECT_NE(find_command("interface"), nullptr);
}

}  // namespace
}  // namespace quillfern::cli
