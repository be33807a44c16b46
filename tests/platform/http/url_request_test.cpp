#include "velmoradine/platform/http/url_request.hpp"

#include <gtest/gtest.h>

#include "velmoradine/platform/http/url_error.hpp"

namespace velmoradine {
namespace {

URLRequest requestFor(const std::string& url) {
  return URLRequest(*URL::parse(url));
}

TEST(URLRequest, DefaultsToGetWithTheProtocolPolicyAndSixtySeconds) {
  URLRequest request = requestFor("https://h.test/");
  EXPECT_EQ(request.httpMethod(), "GET");
  EXPECT_EQ(request.cachePolicy(), URLRequestCachePolicy::useProtocolCachePolicy);
  EXPECT_EQ(request.timeoutInterval(), std::chrono::seconds(60));
  EXPECT_EQ(request.httpBody(), nullptr);
  EXPECT_TRUE(request.allHTTPHeaderFields().empty());
}

TEST(URLRequest, SetReplacesAFieldWhateverTheCaseOfItsName) {
  URLRequest request = requestFor("https://h.test/");
  request.setValue("text/plain", "Content-Type");
  request.setValue("application/json", "content-type");
  EXPECT_EQ(request.allHTTPHeaderFields(),
            (HTTPHeaderFields{{"Content-Type", "application/json"}}));
  request.setValue(std::nullopt, "CONTENT-TYPE");
  EXPECT_TRUE(request.allHTTPHeaderFields().empty());
}

TEST(URLRequest, AddAppendsToAnExistingFieldWithAComma) {
  URLRequest request = requestFor("https://h.test/");
  request.addValue("a", "Accept");
  request.addValue("b", "accept");
  request.addValue("1", "X-Other");
  EXPECT_EQ(request.valueForHTTPHeaderField("ACCEPT"), "a, b");
  EXPECT_EQ(request.allHTTPHeaderFields(),
            (HTTPHeaderFields{{"Accept", "a, b"}, {"X-Other", "1"}}));
}

TEST(URLRequest, CopiesShareTheBodyBytes) {
  URLRequest request = requestFor("https://h.test/");
  request.setHTTPBody(Data{1, 2, 3});
  URLRequest copy = request;
  EXPECT_EQ(copy.httpBody(), request.httpBody());
  EXPECT_EQ(*copy.httpBody(), (Data{1, 2, 3}));
}

TEST(HTTPURLResponse, ReadsLengthAndMediaTypeFromItsHeaders) {
  HTTPURLResponse response{
      *URL::parse("https://h.test/"),
      200,
      {{"content-length", "42"}, {"Content-Type", "Application/JSON; charset=utf-8"}}};
  EXPECT_EQ(response.expectedContentLength(), 42);
  EXPECT_EQ(response.mimeType(), "application/json");
  HTTPURLResponse bare{*URL::parse("https://h.test/"), 204, {{"Content-Length", "x"}}};
  EXPECT_EQ(bare.expectedContentLength(), -1);
  EXPECT_EQ(bare.mimeType(), std::nullopt);
}

TEST(URLError, ErrorsKeepTheirDomainCodeAndDescription) {
  Error error(URLError::timedOut, "after 200 ms");
  EXPECT_EQ(error.domainName(), "NSURLErrorDomain");
  EXPECT_EQ(error, URLError::timedOut);
  EXPECT_FALSE(error == URLError::cancelled);
  EXPECT_EQ(error.localizedDescription(), "The request timed out.");
  EXPECT_EQ(error.detail(), "after 200 ms");
}

}  // namespace
}  // namespace velmoradine
