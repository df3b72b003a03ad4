// The one generic test that runs every vector file under tests/data
// through the runner of its section.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>

#include "vectors.hpp"

namespace quillfern::test {
namespace {

std::vector<std::string> vector_files() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(QUILLFERN_TEST_DATA)) {
    if (entry.path().extension() == ".vec") files.push_back(entry.path().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class VectorFile : public ::testing::TestWithParam<std::string> {};

TEST_P(VectorFile, EveryCaseHolds) {
  const auto cases = load_vectors(GetParam());
  ASSERT_FALSE(cases.empty()) << GetParam() << " holds no cases";
  for (const VectorCase& c : cases) {
    SCOPED_TRACE(c.file + ":" + std::to_string(c.line) + " [" + c.section + "]");
    const VectorRunner* runner = find_vector_runner(c.section);
    ASSERT_NE(runner, nullptr) << "no runner for section " << c.section;
    (*runner)(c);
  }
}

INSTANTIATE_TEST_SUITE_P(Data, VectorFile, ::testing::ValuesIn(vector_files()),
                         [](const ::testing::TestParamInfo<std::string>& param_info) {
                           std::string name = std::filesystem::path(param_info.param).stem().string();
                           for (char& ch : name) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return name;
                         });

TEST(VectorValues, DecodesTextsHexAndNumbers) {
  EXPECT_EQ(decode_value("\"a\\x00b\\\"\""), std::string("a\0b\"", 4));
  EXPECT_EQ(decode_value("616263"), "abc");
  EXPECT_EQ(decode_value("61 62 63"), "abc");
  EXPECT_EQ(decode_value("123"), "123");  // odd digit count: a number
  EXPECT_EQ(decode_value(""), "");
}

}  // namespace
}  // namespace quillfern::test
