#include "velmoradine/platform/foundation/string_table.hpp"

#include <gtest/gtest.h>

#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine {
namespace {

TEST(StringTable, ParsesTheTextFormWithCommentsAndEscapes) {
  auto table = StringTable::parse(
      "/* Errors */\n"
      "\"Decoding error.\" = \"Erreur de d\\u00E9codage.\";\n"
      "// a line comment\n"
      "\"Say \\\"hi\\\"\" = \"Line\\nbreak\";\n"
      "bare_key = bare_value;\n");
  ASSERT_TRUE(table.has_value()) << table.error().localizedDescription();
  EXPECT_EQ(table->lookup("Decoding error."),
            "Erreur de d\xC3\xA9"
            "codage.");
  EXPECT_EQ(table->lookup("Say \"hi\""), "Line\nbreak");
  EXPECT_EQ(table->lookup("bare_key"), "bare_value");
  EXPECT_EQ(table->lookup("absent"), std::nullopt);
}

TEST(StringTable, ReadsUtf16WithAByteOrderMark) {
  std::string utf8 = "\"Unauthorized.\" = \"Nicht autorisiert.\";";
  std::string utf16 = "\xFF\xFE";
  for (char c : utf8) {
    utf16 += c;
    utf16 += '\0';
  }
  auto table = StringTable::parse(utf16);
  ASSERT_TRUE(table.has_value());
  EXPECT_EQ(table->lookup("Unauthorized."), "Nicht autorisiert.");
}

TEST(StringTable, MalformedTablesAreErrors) {
  EXPECT_FALSE(StringTable::parse("\"unterminated = \"x\";").has_value());
  EXPECT_FALSE(StringTable::parse("\"a\" = \"b\"").has_value());
  EXPECT_FALSE(StringTable::parse("/* never closed").has_value());
}

TEST(LocalizedString, UsesTheMainBundleTableAndFallsBackToTheKey) {
  testing::TemporaryMainBundle bundle;
  bundle.writeFile("Localizable.strings", "\"Unauthorized.\" = \"Non autorise.\";\n");
  EXPECT_EQ(localizedString("Unauthorized."), "Non autorise.");
  EXPECT_EQ(localizedString("Decoding error."), "Decoding error.");
}

TEST(LocalizedString, CorruptTableMeansNoTranslation) {
  testing::TemporaryMainBundle bundle;
  bundle.writeFile("Localizable.strings", "\"Unauthorized.\" = ");
  EXPECT_EQ(localizedString("Unauthorized."), "Unauthorized.");
}

}  // namespace
}  // namespace velmoradine
