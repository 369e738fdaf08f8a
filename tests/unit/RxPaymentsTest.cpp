#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "RecordingGateway.h"
#include "gateways/Machine.h"
#include "gateways/RxPayments.h"

namespace {

constexpr char kHost[] = "https://secure.rxpayments.com";

TEST(RxPayments, TransTypeNamesTheEndpoint) {
    const struct {
        const char* text;
        const char* path;  // null: no endpoint
    } cases[] = {
        {"TRANS_TYPE=AUTH_CAPTURE", "/secure/rxprocess?"},
        {"TRANS_TYPE=AUTH_PREAUTH", "/secure/rxauthorize?"},
        {"TRANS_TYPE=AUTH_SETTLE", "/secure/rxsettle?"},
        {"TRANS_TYPE=AUTH_REFUND", "/secure/rxrefund?"},
        {"TRANS_TYPE=auth_capture", nullptr},
        {"TRANS_TYPE=AUTH_CAPTURE ", nullptr},
        {"TRANS_TYPE=", nullptr},
        {"trans_type=AUTH_CAPTURE", nullptr},
        {"TRANS_TYPE=AUTH_VOID|amount=1.00", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        CRxPay gateway;
        gateway.SetParameters(c.text);
        EXPECT_EQ(gateway.GetRequestFlags(), kRequestEscape);
        if (c.path) {
            ASSERT_NE(gateway.GetURL(), nullptr);
            EXPECT_EQ(gateway.GetURL(), kHost + std::string(c.path));
            continue;
        }
        EXPECT_EQ(gateway.GetURL(), nullptr);
        // The real exchange turns the missing endpoint into the failure, before any network.
        std::string unused;
        EXPECT_FALSE(gateway.Send(0, unused));
        EXPECT_EQ(gateway.m_Results, (StringMap{{"error", "Invalid URL"}}));
    }
    CRxPay none;
    EXPECT_EQ(none.GetURL(), nullptr);
}

// The looked-up address is written before the caller's text is read, so the caller's wins.
TEST(RxPayments, SetParametersSendsTheMachineAddressUnlessGiven) {
    const std::string local = LocalIPv4Address();
    const std::optional<std::string> lookedUp =
        local.empty() ? std::nullopt : std::optional<std::string>(local);
    const struct {
        std::vector<const char*> calls;
        std::optional<std::string> address;
        std::string others;  // the rest of the request
    } cases[] = {
        {{"TRANS_TYPE=AUTH_CAPTURE|amount=1 00"},
         lookedUp,
         "TRANS_TYPE=AUTH_CAPTURE&amount=1%2000"},
        {{"rx_ipaddress=10.1.2.3|TRANS_TYPE=AUTH_CAPTURE"}, "10.1.2.3", "TRANS_TYPE=AUTH_CAPTURE"},
        {{"rx_ipaddress=10.1.2.3", "TRANS_TYPE=AUTH_CAPTURE"},
         lookedUp.value_or("10.1.2.3"),
         "TRANS_TYPE=AUTH_CAPTURE"},
        {{"RX_IPADDRESS=10.1.2.3|TRANS_TYPE=AUTH_CAPTURE"},
         lookedUp,
         "RX_IPADDRESS=10.1.2.3&TRANS_TYPE=AUTH_CAPTURE"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.calls.back());
        pgvtest::CRecordingGateway<CRxPay> gateway;
        for (const char* text : c.calls) {
            gateway.SetParameters(text);
        }
        const std::string request = gateway.SendNow();
        EXPECT_EQ(request, c.others + (c.address ? "&rx_ipaddress=" + *c.address : ""));
        EXPECT_EQ(gateway.url, kHost + std::string("/secure/rxprocess?"));
        EXPECT_TRUE(gateway.headers.empty());
    }
}

TEST(RxPayments, ParseResultsReadsSuccessOrErrorElements) {
    const struct {
        const char* answer;
        const char* pairs;
    } cases[] = {
        {"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<response>\n  <success>true</success>\n"
         "  <transaction>RX10000001</transaction>\n  <confirmation>ABC123</confirmation>\n"
         "</response>\n",
         "confirmation=ABC123,success=1,transaction=RX10000001"},
        {"<response><success>false</success><transaction>123</transaction>"
         "<confirmation>ABC</confirmation></response>",
         "confirmation=ABC,success=1,transaction=123"},
        {"<response><success>1</success></response>", "confirmation=,success=1,transaction="},
        {"<?xml version=\"1.0\"?>\n<response>\n  <code>E12</code>\n"
         "  <errormessage>Card declined</errormessage>\n</response>\n",
         "code=E12,errormessage=Card declined,success=0"},
        {"<response><success/><code>E1</code></response>", "code=E1,errormessage=,success=0"},
        {"Internal Server Error", "code=,errormessage=,success=0"},
        {"", "code=,errormessage=,success=0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        CRxPay gateway;
        std::string answer = c.answer;
        EXPECT_TRUE(gateway.ParseResults(answer));
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(gateway.m_Results["pairs"], c.pairs);
    }
}

TEST(RxPayments, ExtractValueFromXMLIsAPlainTextSearch) {
    const struct {
        const char* xml;
        const char* tag;
        const char* value;
    } cases[] = {
        {"<r><code>E12</code></r>", "<code>", "E12"},
        {"<code>1</code><code>2</code>", "<code>", "1"},
        {"<code>E12", "<code>", ""},
        {"<code type='x'>E12</code>", "<code>", ""},
        {"<m>A &amp; B</m>", "<m>", "A &amp; B"},
        {"<r>lead<c>x</c>tail</r>", "<r>", "lead"},
        {"<e></e>", "<e>", ""},
        {"<t>\n  x\n</t>", "<t>", "\n  x\n"},
        {"<codex>9</codex>", "<code>", ""},
        {"", "<code>", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ExtractValueFromXML(c.xml, c.tag), c.value) << c.xml;
    }
}

}  // namespace
