// What the tests of the QC collector's bodies share: a test database with the system's schema,
// each body called on a data source of its own (committed when the body returns, rolled back
// when it throws, as a call would be), and element lists read back as parsed XML.
//
// Thread-safety: a fixture and its database belong to its test's thread.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/data/emr_data_source.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/scoped_bstr.h"
#include "platform/text/unicode.h"

namespace korvalis::review::testing {

using korvalis::com::ScopedBstr;
using korvalis::testing::Element;
using korvalis::testing::ReadElements;
using korvalis::testing::TestDataSource;
using Rows = std::vector<std::vector<std::string>>;

// The value of one attribute of each element, in document order.
inline std::vector<std::string> AttributeOfEach(const std::vector<Element>& elements,
                                                const std::string& attribute) {
  std::vector<std::string> values;
  for (const Element& element : elements) values.push_back(element.attributes.at(attribute));
  return values;
}

inline std::vector<std::string> TextOfEach(const std::vector<Element>& elements) {
  std::vector<std::string> texts;
  for (const Element& element : elements) texts.push_back(element.text);
  return texts;
}

class CollectorTest : public ::testing::Test {
 protected:
  explicit CollectorTest(db::Engine engine = db::Engine::kSqlite)
      : db_(korvalis::schema::DatabaseContents::kInstallation, engine) {}

  using Writer = long (*)(CEMRDataSource*, BSTR);
  using Writer2 = long (*)(CEMRDataSource*, BSTR, BSTR);
  using Reader = long (*)(CEMRDataSource*, BSTR*);
  using Reader1 = long (*)(CEMRDataSource*, BSTR, BSTR*);

  void Call(Writer body, const std::u16string& argument) {
    TestDataSource data_source(db_.init_string());
    ScopedBstr text(argument);
    EXPECT_EQ(body(&data_source, text.get()), 0);
  }
  void Call(Writer2 body, const std::u16string& first, const std::u16string& second) {
    TestDataSource data_source(db_.init_string());
    ScopedBstr one(first), two(second);
    EXPECT_EQ(body(&data_source, one.get(), two.get()), 0);
  }
  std::u16string Answer(Reader body) {
    TestDataSource data_source(db_.init_string());
    ScopedBstr result;
    EXPECT_EQ(body(&data_source, result.out()), 0);
    EXPECT_NE(result.get(), nullptr);
    return result.text();
  }
  std::u16string Answer(Reader1 body, const std::u16string& argument) {
    TestDataSource data_source(db_.init_string());
    ScopedBstr text(argument), result;
    EXPECT_EQ(body(&data_source, text.get(), result.out()), 0);
    EXPECT_NE(result.get(), nullptr);
    return result.text();
  }
  std::vector<Element> List(Reader1 body, const std::u16string& argument) {
    return ReadElements(Answer(body, argument));
  }

  // The message of a write that fails; its data source is rolled back as a failed call's is.
  std::u16string Failure(Writer body, const std::u16string& argument, const std::string& database) {
    return korvalis::testing::FailureOf([&] {
      TestDataSource data_source(database);
      ScopedBstr text(argument);
      body(&data_source, text.get());
    });
  }
  std::u16string Failure(Writer body, const std::u16string& argument) {
    return Failure(body, argument, db_.init_string());
  }
  std::u16string Failure(Reader1 body, const std::u16string& argument,
                         const std::string& database) {
    return korvalis::testing::FailureOf([&] {
      TestDataSource data_source(database);
      ScopedBstr text(argument), result;
      body(&data_source, text.get(), result.out());
    });
  }
  std::u16string Failure(Reader1 body, const std::u16string& argument) {
    return Failure(body, argument, db_.init_string());
  }

  korvalis::schema::TestDatabase db_;
};

}  // namespace korvalis::review::testing
