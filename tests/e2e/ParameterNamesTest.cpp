// A parameter's name is caller text like its value. On every gateway's wire, as the sandbox
// received it, a name can neither split the request nor bring a control byte into the request
// line or a header.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "Support.h"

namespace {

constexpr char kFailed[] = "Unable to connect to the portal";
constexpr char kNoResult[] = "Error - no result obtained";

bool HoldsControlByte(const std::string& text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7F;
    });
}

TEST(ParameterNamesEndToEnd, NoNameBreaksTheRequest) {
    struct SPortal {
        const char* portal;
        std::string parameters;
        const char* host;
        bool post;
        bool lengthTagged;
    };
    const SPortal portals[] = {
        {"AUTHNET", "x_login=demo1234|x_tran_key=7xKey9000|x_amount=1.00", "secure.authorize.net",
         false, false},
        {"SECPAY", "merchant=secpay|remotepassword=Sp4Secret|amount=1.00", "www.secpay.com", false,
         false},
        {"NMI", "username=demo|password=Nm1Passw0rd|amount=1.00", "secure.networkmerchants.com",
         false, false},
        {"RXPAY", "TRANS_TYPE=AUTH_CAPTURE|rx_merchant=m1|rx_password=Rx5Password|rx_amount=1.00",
         "secure.rxpayments.com", false, false},
        {"SAGE", "M_id=999999999992|M_key=Sg7MerchantKey|T_amt=1.00", "www.sagepayments.net", true,
         false},
        {"PAYPAL",
         "USER=me|VENDOR=me|PARTNER=PayPal|PWD=Pf9Secret|AMT=1.00|X-VPS-REQUEST-ID=e2e-names",
         "payflowpro.paypal.com", true, true},
    };
    const std::vector<std::string> payflowHeaders = {
        "X-VPS-CLIENTTIMEOUT: 45", "X-VPS-VITINTEGRATION-PRODUCT: Paygrove",
        "X-VPS-VITINTEGRATION-VERSION: 5.0", "X-VPS-REQUEST-ID: e2e-names",
        "X-VPS-VIT-OS-NAME: " + OsName()};
    const std::string long300(300, 'n');
    struct SName {
        std::string text;     // the last pair of the parameter text
        bool payflowRefuses;  // the transaction fails unsent
        std::string escaped;  // as the gateways that escape send it; empty: not sent at all
        std::string tagged;   // as Payflow sends it; empty: not sent at all
    };
    const SName names[] = {
        {"a\r\nX-Injected: 1\r\nb=1", true, "a%0D%0AX-Injected:%201%0D%0Ab=1", ""},
        {"a&b=1", true, "a%26b=1", ""},
        {"a[1]=1", true, "a%5B1%5D=1", ""},
        // The first "=" ends the name, so it can hold none.
        {"a=b=1", false, "a=b%3D1", "a[3]=b=1"},
        {" a b =1", false, "%20a%20b%20=1", " a b [1]=1"},
        {long300 + "=1", false, long300 + "=1", long300 + "[1]=1"},
        // The host's text ends for the plug-in at a zero byte: what follows is never sent.
        {std::string("n\0ul=1", 6), false, "", ""},
    };

    for (const SPortal& p : portals) {
        SCOPED_TRACE(p.portal);
        std::string script = "PGV_SelectPortal ( " + Quoted(p.portal) + " )\n";
        for (const SName& name : names) {
            script += "PGV_BeginTransaction\nPGV_SetParameters ( " +
                      Quoted(p.parameters + "|" + name.text) +
                      " )\nPGV_SendTransaction\nPGV_GetResult ( \"error\" )\n";
        }
        const size_t before = ReceivedRequests().size();
        const SHostRun run = RunHost(script);
        ASSERT_EQ(run.exitCode, 0) << run.errors;
        const std::vector<SReceivedRequest> requests = RequestsSince(before);

        size_t next = 0;
        for (size_t i = 0; i < std::size(names); ++i) {
            const SName& name = names[i];
            SCOPED_TRACE(name.escaped.substr(0, 40));
            const size_t send = 3 + 4 * i;
            if (p.lengthTagged && name.payflowRefuses) {
                EXPECT_EQ(run.Result(send), kFailed);
                EXPECT_EQ(run.Result(send + 1), "Invalid parameter name");
                continue;
            }
            EXPECT_EQ(run.Result(send), "1");
            EXPECT_EQ(run.Result(send + 1), kNoResult);
            ASSERT_LT(next, requests.size());
            const SReceivedRequest& request = requests[next++];
            const std::string wire = p.post ? request.body : request.requestLine;
            const std::string item = p.lengthTagged ? name.tagged : name.escaped;
            if (item.empty()) {
                EXPECT_EQ(wire.find("ul"), std::string::npos) << wire;
            } else {
                EXPECT_NE(wire.find(item), std::string::npos) << wire;
            }
            EXPECT_FALSE(HoldsControlByte(request.requestLine)) << request.requestLine;
            EXPECT_EQ(request.headers,
                      ExpectedHeaders(
                          p.host, p.lengthTagged ? payflowHeaders : std::vector<std::string>{},
                          p.post ? std::optional<size_t>(request.body.size()) : std::nullopt));
        }
        EXPECT_EQ(next, requests.size());
    }
}

// Neither the caller's endpoint nor Payflow's request id can bring a line end into the request
// line or a header: the transaction fails before any connection.
TEST(ParameterNamesEndToEnd, NoControlByteReachesTheRequestLineOrAHeader) {
    const struct {
        const char* portal;
        std::string parameters;
        const char* error;
    } cases[] = {
        {"AUTHNET",
         "_hostname=https://secure.authorize.net/gateway/transact.dll?a=1 HTTP/1.0\r\n"
         "X-Injected: 1\r\n\r\nGET /?|x_amount=1.00",
         "Invalid URL"},
        {"AUTHNET", "_hostname=https://secure.authorize.net/gateway/transact.dll?\n|x_amount=1.00",
         "Invalid URL"},
        {"PAYPAL",
         "USER=me|VENDOR=me|PARTNER=PayPal|PWD=Pf9Secret|AMT=1.00|"
         "X-VPS-REQUEST-ID=e2e-id\r\nX-Injected: 1",
         "Invalid request id"},
    };
    for (const auto& c : cases) {
        const size_t before = ReceivedRequests().size();
        const SHostRun run = RunHost(TransactionScript(c.portal, c.parameters, {"error"}));
        EXPECT_EQ(run.Result(3), kFailed) << c.parameters;
        EXPECT_EQ(run.Result(kFirstResult), c.error) << c.parameters;
        EXPECT_EQ(RequestsSince(before).size(), 0u) << c.parameters;
    }
}

}  // namespace
