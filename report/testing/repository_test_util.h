// What the tests of the knowledge-base repository share: a fresh database of the test's engine,
// the bodies called as one call each on it (committed when they return, rolled back when they
// throw), and their answers read back as parsed XML.
//
// Thread-safety: a fixture belongs to one thread.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/testing/list_elements.h"
#include "foundation/testing/test_call.h"
#include "foundation/testing/test_data_source.h"
#include "foundation/xml/xml_text.h"
#include "platform/com/scoped_bstr.h"
#include "platform/db/testing/engine_database.h"
#include "platform/text/unicode.h"
#include "report/repository.h"

namespace korvalis::report::testing {

using korvalis::testing::Element;
using korvalis::testing::ReadElements;
using Elements = std::vector<Element>;
using Rows = std::vector<std::vector<std::string>>;

// A body that takes one argument, with or without a result.
using Command = long (*)(CEMRDataSource*, BSTR);
using Query = long (*)(CEMRDataSource*, BSTR, BSTR*);

class RepositoryTest : public ::testing::TestWithParam<db::Engine> {
 protected:
  // Calls `body` with `argument` as one call; answers the text of its failure ("" for none).
  std::u16string Failure(Command body, const std::u16string& argument) {
    com::ScopedBstr text(argument);
    return korvalis::testing::RunAsCall(
        database_, [&](CEMRDataSource* data_source) { body(data_source, text.get()); });
  }
  // The same for a body with a result, which lands in `*result` when the call succeeds.
  std::u16string Failure(Query body, const std::u16string& argument,
                         std::u16string* result = nullptr) {
    com::ScopedBstr text(argument), answer;
    const std::u16string failure = korvalis::testing::RunAsCall(
        database_,
        [&](CEMRDataSource* data_source) { body(data_source, text.get(), answer.out()); });
    if (result != nullptr) *result = answer.text();
    return failure;
  }
  // The answer of a call that must succeed.
  std::u16string Answer(Query body, const std::u16string& argument) {
    std::u16string result;
    EXPECT_EQ(Failure(body, argument, &result), u"") << ToUtf8(argument);
    return result;
  }
  Elements List(Query body, const std::u16string& argument) {
    return ReadElements(Answer(body, argument));
  }
  // Runs a writing body that must succeed.
  void Run(Command body, const std::u16string& argument) {
    EXPECT_EQ(Failure(body, argument), u"") << ToUtf8(argument);
  }

  // Every row of a statement on the fixture's own connection, sorted as texts.
  Rows SortedRows(const std::string& sql) {
    Rows rows = db_.Query(sql);
    std::sort(rows.begin(), rows.end());
    return rows;
  }

  schema::TestDatabase db_{schema::DatabaseContents::kInstallation, GetParam()};
  // The database the calls open.
  std::string database_ = db_.init_string();
};

// The attribute of an element, "" when it has none.
inline std::string Attribute(const Element& element, const std::string& name) {
  const auto found = element.attributes.find(name);
  return found == element.attributes.end() ? "" : found->second;
}

// A property document: `root` holding one element per name and value.
inline std::u16string Document(
    const std::vector<std::pair<std::u16string, std::u16string>>& values) {
  std::u16string document = u"<root>";
  for (const auto& [name, value] : values) {
    document += u"<" + name + u">" + XmlEscaped(value) + u"</" + name + u">";
  }
  return document + u"</root>";
}

}  // namespace korvalis::report::testing
