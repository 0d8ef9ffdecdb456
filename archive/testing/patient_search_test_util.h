// What the tests of the patient search and the patient lists share: a data source on a test
// database of their own, a fixed database clock (foundation/testing/test_data_source.h), and the
// result document read back into patients.
//
// Thread-safety: a fixture and its database belong to its test's thread.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "db/testing/test_database.h"
#include "foundation/calls/emr_exception.h"
#include "foundation/testing/emr_exception_test_util.h"
#include "foundation/testing/test_data_source.h"
#include "platform/com/bstr.h"
#include "platform/text/unicode.h"
#include "platform/xml/dom.h"

namespace korvalis::archive::testing {

using korvalis::testing::ScopedDatabaseClock;
using korvalis::testing::TestDataSource;

// One `patient` element of a result: its text and its attributes in document order.
struct Patient {
  std::string name;
  std::vector<std::pair<std::string, std::string>> attributes;

  std::string operator[](const std::string& attribute) const {
    for (const auto& [key, value] : attributes) {
      if (key == attribute) return value;
    }
    ADD_FAILURE() << "no attribute " << attribute;
    return {};
  }
};

// Frees the BSTR and reads its document: root `root`, only `patient` children.
inline std::vector<Patient> ReadPatients(BSTR result) {
  const std::string text = ToUtf8(BstrView(result));
  SysFreeString(result);
  xml::Document document;
  EXPECT_TRUE(document.LoadXml(text)) << text;
  std::vector<Patient> patients;
  if (!document.HasDocumentElement()) return patients;
  xml::Node root = document.DocumentElement();
  EXPECT_EQ(root.Name(), "root");
  for (const xml::Node& child : root.Children()) {
    EXPECT_EQ(child.Name(), "patient");
    patients.push_back({child.Text(), child.Attributes()});
  }
  return patients;
}

// The visit numbers (`eventno`) of the patients, in result order.
inline std::vector<std::string> EventNumbers(const std::vector<Patient>& patients) {
  std::vector<std::string> numbers;
  for (const Patient& p : patients) numbers.push_back(p["eventno"]);
  return numbers;
}

using korvalis::testing::FailureOf;

}  // namespace korvalis::archive::testing
