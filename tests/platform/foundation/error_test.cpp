#include "velmoradine/platform/foundation/error.hpp"

#include <gtest/gtest.h>

#include "tests/support/main_bundle_fixture.hpp"

namespace velmoradine {
namespace {

enum class SampleError { first = 1, withPayload };

class SampleCategory final : public ErrorCategory {
 public:
  const char* name() const noexcept override { return "Sample.Domain"; }
  std::string message(int value) const override {
    return value == 1 ? "First failure." : "Payload failure.";
  }
  std::string descriptionKey(int value, const std::string& detail) const override {
    return value == 2 ? "Payload failure: " + detail : message(value);
  }
};

std::error_code make_error_code(SampleError e) {
  static const SampleCategory category;
  return {static_cast<int>(e), category};
}

}  // namespace
}  // namespace velmoradine

template <>
struct std::is_error_code_enum<velmoradine::SampleError> : std::true_type {};

namespace velmoradine {
namespace {

TEST(Error, EnumerationCasesCompareByCaseAndDetail) {
  Error error(SampleError::first);
  EXPECT_TRUE(error == SampleError::first);
  EXPECT_FALSE(error == SampleError::withPayload);
  EXPECT_EQ(error.domainName(), "Sample.Domain");
  EXPECT_EQ(error.value(), 1);
  EXPECT_EQ(Error(SampleError::withPayload, "a"), Error(SampleError::withPayload, "a"));
  EXPECT_NE(Error(SampleError::withPayload, "a"), Error(SampleError::withPayload, "b"));
}

TEST(Error, DescriptionsGoThroughTheHostStringTable) {
  testing::TemporaryMainBundle bundle;
  bundle.writeFile("Localizable.strings", "\"First failure.\" = \"Premier echec.\";\n");
  EXPECT_EQ(Error(SampleError::first).localizedDescription(), "Premier echec.");
  EXPECT_EQ(Error(SampleError::withPayload, "disk full").localizedDescription(),
            "Payload failure: disk full");
}

TEST(Error, DomainErrorsAreIdentifiedByDomainAndCode) {
  Error a = Error::domain("velmoradine", 1);
  EXPECT_EQ(a, Error::domain("velmoradine", 1));
  EXPECT_NE(a, Error::domain("velmoradine", 2));
  EXPECT_NE(a, Error::domain("other", 1));
  EXPECT_EQ(a.domainName(), "velmoradine");
  EXPECT_EQ(a.localizedDescription(),
            "The operation couldn\u2019t be completed. (velmoradine error 1.)");
}

TEST(Error, SystemErrorsKeepTheirTextAndDetail) {
  Error error = Error::posix(ENOENT, "/missing/file");
  EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
  EXPECT_EQ(error.localizedDescription(), "No such file or directory: /missing/file");
}

}  // namespace
}  // namespace velmoradine
