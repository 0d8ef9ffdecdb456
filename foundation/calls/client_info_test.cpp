#include "foundation/calls/client_info.h"

#include <gtest/gtest.h>

#include "foundation/calls/emr_exception.h"
#include "platform/text/unicode.h"
#include "platform/xml/testing/entity_bombs.h"

namespace {

TEST(CClientInfoTest, ReadsUserDepartmentAndComputer) {
  const CClientInfo info(
      u"<client><user id=\"7\" code=\"abc\" techtitle=\"主治医师\">张三</user>"
      u"<dept id=\"12\">内科</dept><computer ip=\"10.0.0.5\">PC-01</computer></client>");
  EXPECT_EQ(info.GetUserId(), u"7");
  EXPECT_EQ(info.GetUserName(), u"张三");
  EXPECT_EQ(info.GetTechTitle(), u"主治医师");
  EXPECT_EQ(info.GetDeptId(), u"12");
  EXPECT_EQ(info.GetDeptName(), u"内科");
  EXPECT_EQ(info.GetComputerIp(), u"10.0.0.5");
  EXPECT_EQ(info.GetComputerName(), u"PC-01");
}

TEST(CClientInfoTest, LastUserWinsMissingAttributeBecomesEmpty) {
  const CClientInfo info(
      u"<root><user id=\"1\" techtitle=\"医师\">甲</user><dept id=\"3\">外科</dept>"
      u"<user id=\"2\">乙<b>丙</b></user></root>");
  EXPECT_EQ(info.GetUserId(), u"2");
  EXPECT_EQ(info.GetUserName(), u"乙丙");
  EXPECT_EQ(info.GetTechTitle(), u"") << "the second user has no techtitle";
  EXPECT_EQ(info.GetDeptId(), u"3");
}

TEST(CClientInfoTest, IgnoresOtherCaseAndDeeperElements) {
  const CClientInfo info(
      u"<root><User id=\"1\">x</User><wrap><user id=\"2\">y</user></wrap></root>");
  EXPECT_EQ(info.GetUserId(), u"");
  EXPECT_EQ(info.GetUserName(), u"");
  const CClientInfo empty(u"<root/>");
  EXPECT_EQ(empty.GetDeptName(), u"");
  const CClientInfo blank(u"");
  EXPECT_EQ(blank.GetComputerName(), u"");
}

TEST(CClientInfoTest, MalformedTextFailsTheConstructor) {
  try {
    CClientInfo info(u"<root><user>");
    FAIL() << "no exception";
  } catch (const CEMRException& error) {
    EXPECT_EQ(error.GetText(), u"解析属性信息错误.");
  }
  // A client document refused for its entities says so.
  try {
    CClientInfo info(korvalis::FromUtf8(
        korvalis::xml::testing::EntityBombs("root", "<user/>")[1].text));  // in an attribute
    FAIL() << "no exception";
  } catch (const CEMRException& error) {
    EXPECT_EQ(error.GetText(), u"解析属性信息错误. its entities expand past the bound of 16 MB");
  }
}

}  // namespace
