#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "Support.h"

namespace pgv::sandbox {
namespace {

// Tagged with each value's length, as the plug-in writes them.
const std::string kSale =
    "TRXTYPE[1]=S&TENDER[1]=C&USER[2]=me&VENDOR[2]=me&PARTNER[6]=PayPal&PWD[4]=pass"
    "&ACCT[16]=4111111111111111&EXPDATE[4]=1299&AMT[5]=10.00";
const std::string kApproved =
    "RESULT=0&PNREF=#&RESPMSG=Approved&AUTHCODE=#&AVSADDR=Y&AVSZIP=Y&IAVS=N";

std::string Answer(IGateway& gateway, const std::string& body, const HeaderList& changes = {},
                   const char* host = "payflowpro.paypal.com") {
    static int requests = 0;
    // The changes come first, and the first occurrence of a header is the one read.
    HeaderList headers = changes;
    headers.insert(headers.end(), {{"X-VPS-REQUEST-ID", "r" + std::to_string(++requests)},
                                   {"X-VPS-CLIENTTIMEOUT", "45"},
                                   {"X-VPS-VITINTEGRATION-PRODUCT", "Paygrove"},
                                   {"X-VPS-VITINTEGRATION-VERSION", "5.0"},
                                   {"X-VPS-VIT-OS-NAME", "Linux"}});
    const SHttpResponse response = gateway.Handle(test::Parsed("POST", "/", host, body, headers));
    EXPECT_EQ(response.headers,
              (HeaderList{{"Server", "paygrove-sandbox"}, {"Content-Type", "text/namevalue"}}));
    return response.body;
}

// Replaces the value of `name` by "#" when `wellFormed` accepts it.
std::string MaskValue(std::string answer, const std::string& name,
                      bool (*wellFormed)(const std::string&)) {
    const size_t at = answer.find(name + "=");
    if (at == std::string::npos) {
        return answer;
    }
    const size_t start = at + name.size() + 1;
    const size_t end = std::min(answer.find('&', start), answer.size());
    if (wellFormed(answer.substr(start, end - start))) {
        answer.replace(start, end - start, "#");
    }
    return answer;
}

bool IsAlnumUpper(char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z');
}

// The answer with its random PNREF and authorization code masked once their format is right.
std::string Masked(const std::string& answer) {
    const std::string pnrefMasked = MaskValue(answer, "PNREF", [](const std::string& v) {
        return v.size() == 12 && (v[0] == 'V' || v[0] == 'A') &&
               std::all_of(v.begin() + 1, v.end(), IsAlnumUpper);
    });
    return MaskValue(pnrefMasked, "AUTHCODE", [](const std::string& v) {
        return v.size() == 6 && std::all_of(v.begin(), v.begin() + 3, ::isdigit) &&
               v.compare(3, 3, "PNI") == 0;
    });
}

TEST(Payflow, DecidesByHeadersAndLengthTaggedFields) {
    const std::string echoed = kApproved + "&AMT=10.00&ACCT=1111&EXPDATE=1299";
    const std::string formatError = "RESULT=7&RESPMSG=Field format error: ";
    const struct {
        std::string fields;  // put before the sale's own
        std::string expected;
        bool afterSale = false;  // a sale is made first and its PNREF sent as ORIGID
        HeaderList headers = {};
    } cases[] = {
        {"CVV2[3]=123",
         "RESULT=0&PNREF=#&RESPMSG=Approved&AUTHCODE=#&AVSADDR=Y&AVSZIP=Y&CVV2MATCH=Y&IAVS=N"},
        {"AMT[7]=1001.00", "RESULT=12&PNREF=#&RESPMSG=Declined&AVSADDR=Y&AVSZIP=Y"},
        {"PWD[0]=", "RESULT=1&RESPMSG=User authentication failed"},
        {"TRXTYPE[1]=s", formatError + "TRXTYPE"},
        {"TENDER[1]=A", "RESULT=2&RESPMSG=Invalid tender"},
        {"ACCT[16]=4111111111111112", "RESULT=23&RESPMSG=Invalid account number"},
        {"EXPDATE[6]=122099", "RESULT=24&RESPMSG=Invalid expiration date"},
        {"AMT[4]=1,00", "RESULT=4&RESPMSG=Invalid amount"},
        {"TRXTYPE=V&ACCT=&EXPDATE=&AMT=", "RESULT=19&RESPMSG=Original transaction ID not found"},
        {"TRXTYPE=V&ACCT=&EXPDATE=&AMT=", kApproved, true},
        {"ACCT=&EXPDATE=&AMT=3.00", kApproved, true},
        {"VERBOSITY=HIGH&BILLTOLASTNAME[5]=& Foo", echoed + "&BILLTOLASTNAME[5]=& Foo"},
        {"VERBOSITY=HIGH&BILLTOFIRSTNAME=A%20B+C", echoed + "&BILLTOFIRSTNAME=A%20B+C"},
        {"COMMENT1[10]=&TRXTYPE=V", kApproved},
        {"BILLTOLASTNAME[4]=Lee", formatError + "BILLTOLASTNAME"},
        {"", formatError + "X-VPS-REQUEST-ID", false, {{"X-VPS-REQUEST-ID", std::string(33, 'r')}}},
        {"", formatError + "X-VPS-CLIENTTIMEOUT", false, {{"X-VPS-CLIENTTIMEOUT", "45s"}}},
    };
    for (const auto& c : cases) {
        const auto gateway = MakePayflow();
        std::string body = c.fields + "&" + kSale;
        if (c.afterSale) {
            const std::string sale = Answer(*gateway, kSale);
            body = "ORIGID=" + sale.substr(sale.find("PNREF=") + 6, 12) + "&" + body;
        }
        EXPECT_EQ(Masked(Answer(*gateway, body, c.headers)), c.expected) << body;
    }
}

TEST(Payflow, ARequestIdSeenOnAHostGetsItsEarlierAnswerButAHeaderFailureIsNotKept) {
    const auto gateway = MakePayflow();
    const HeaderList id = {{"X-VPS-REQUEST-ID", "order-42"}};
    EXPECT_EQ(Answer(*gateway, kSale, {id[0], {"X-VPS-CLIENTTIMEOUT", "x"}}),
              "RESULT=7&RESPMSG=Field format error: X-VPS-CLIENTTIMEOUT");
    const std::string refused = "RESULT=1&RESPMSG=User authentication failed";
    EXPECT_EQ(Answer(*gateway, "PWD=&" + kSale, id), refused);
    EXPECT_EQ(Answer(*gateway, kSale, id), refused + "&DUPLICATE=1");
    EXPECT_EQ(Masked(Answer(*gateway, kSale, id, "pilot-payflowpro.paypal.com")), kApproved);
}

TEST(Payflow, AnOrderIdSeenOnAHostGetsItsFirstAnswerUnderAnyRequestId) {
    const auto gateway = MakePayflow();
    const std::string order = "ORDERID[5]=o-100&" + kSale;
    const std::string first = Answer(*gateway, order);
    EXPECT_EQ(Masked(first), kApproved);
    EXPECT_EQ(Answer(*gateway, order), first + "&DUPLICATE=2");
    EXPECT_EQ(Masked(Answer(*gateway, "ORDERID[5]=o-101&" + kSale)), kApproved);
    EXPECT_EQ(Masked(Answer(*gateway, order, {}, "pilot-payflowpro.paypal.com")), kApproved);
}

}  // namespace
}  // namespace pgv::sandbox
