#include "foundation/net/soap_client.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "foundation/testing/data_source_test_util.h"
#include "foundation/calls/emr_exception.h"

namespace {

using korvalis::datasource::testing::ExpectedSoapBody;
using korvalis::datasource::testing::ExpectedWatchdogReport;
using korvalis::datasource::testing::LoopbackListener;
using korvalis::datasource::testing::UnusedLoopbackPort;

constexpr char kStandbyVariable[] = "KORVALIS_TEST_STANDBY_SERVER";

TEST(SoapClient, TheWatchdogReportIsPostedWithTheExactBytes) {
  LoopbackListener watchdog;
  SoapClient client;
  client.SetEndpoint(u"127.0.0.1", u"/tennal/tennal.dll?Handler=Default", watchdog.port());
  client.Call(u"ServerError", {});
  EXPECT_EQ(watchdog.Received(), ExpectedWatchdogReport(watchdog.port()));
}

TEST(SoapProtocol, ParametersAreWrittenInNameOrderAndEscaped) {
  SoapProtocol11 protocol;
  protocol.SetEndpoint(u"watchdog", u"/svc", 80);
  protocol.SetNamespace("http://example.org/svc/");
  SoapRequest request;
  protocol.BuildRequest(u"Restart", {{u"b", u"2 < 3 & 中"}, {u"a", u"1"}}, request);
  EXPECT_EQ(request.host_header, "Host: watchdog:80\r\n");
  // A namespace ending in "/" gets no second one.
  EXPECT_EQ(request.action_header, "SOAPAction: \"http://example.org/svc/Restart\"\r\n");
  EXPECT_EQ(request.body, ExpectedSoapBody("<Restart xmlns=\"http://example.org/svc/\"><a>1</a>"
                                           "<b>2 &lt; 3 &amp; 中</b></Restart>"));
  EXPECT_EQ(request.content_length_header,
            "Content-Length: " + std::to_string(request.body.size()) + "\r\n");
  EXPECT_THROW(protocol.BuildRequest(u"Bad Name", {}, request), CEMRException);
  EXPECT_THROW(protocol.BuildRequest(u"M", {{u"a", u"\x01"}}, request), CEMRException);
}

TEST(SoapClient, StandbyHostsAreTriedInTheirOrder) {
  LoopbackListener watchdog;
  ::setenv(kStandbyVariable, ";;http://127.0.0.2;127.0.0.1;", 1);
  StandbyServers standby(kStandbyVariable);
  EXPECT_EQ(standby.Get(), (std::vector<std::u16string>{u"127.0.0.2", u"127.0.0.1"}));
  // The list is kept once filled.
  ::setenv(kStandbyVariable, "other", 1);
  EXPECT_EQ(standby.Get().size(), 2u);

  // Nothing listens on 127.0.0.3 nor on 127.0.0.2 at the listener's port.
  SoapClient client(standby);
  client.SetEndpoint(u"127.0.0.3", u"/p", watchdog.port());
  client.Call(u"ServerError", {});
  const std::string request = watchdog.Received();
  EXPECT_NE(request.find("\r\nHost: 127.0.0.1:" + std::to_string(watchdog.port()) + "\r\n"),
            std::string::npos);
  EXPECT_EQ(client.protocol().GetHost(), "127.0.0.1");
  ::unsetenv(kStandbyVariable);
}

TEST(SoapClient, WithoutAnyReachableHostTheCallFails) {
  ::unsetenv(kStandbyVariable);
  StandbyServers none(kStandbyVariable);
  // A standby value that carries a port names no host: the port stays the endpoint's.
  LoopbackListener listener;
  ::setenv(kStandbyVariable, ("127.0.0.1:" + std::to_string(listener.port())).c_str(), 1);
  StandbyServers with_port(kStandbyVariable);
  for (StandbyServers* standby : {&none, &with_port}) {
    SoapClient client(*standby);
    client.SetEndpoint(u"127.0.0.1", u"/p", UnusedLoopbackPort());
    try {
      client.Call(u"ServerError", {});
      ADD_FAILURE();
    } catch (const CEMRException& e) {
      EXPECT_EQ(e.GetText(), u"链接WebService服务器错误.");
    }
  }
  ::unsetenv(kStandbyVariable);
  EXPECT_FALSE(listener.done());
}

TEST(StandbyServers, OverlongOrEmptyValuesGiveNoHost) {
  ::setenv(kStandbyVariable, std::string(1024, 'h').c_str(), 1);
  StandbyServers overlong(kStandbyVariable);
  EXPECT_TRUE(overlong.Get().empty());
  ::setenv(kStandbyVariable, std::string(1023, 'h').c_str(), 1);
  EXPECT_EQ(overlong.Get().size(), 1u);
  ::setenv(kStandbyVariable, ";;;", 1);
  StandbyServers empty(kStandbyVariable);
  EXPECT_TRUE(empty.Get().empty());
  // Read again while empty.
  ::setenv(kStandbyVariable, "tcp://a:81/x", 1);
  EXPECT_EQ(empty.Get(), (std::vector<std::u16string>{u"a:81/x"}));
  ::unsetenv(kStandbyVariable);
}

}  // namespace
