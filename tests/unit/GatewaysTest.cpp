// Each gateway's request building, control parameters, endpoint and answer parser.
#include <gtest/gtest.h>

#include <ctime>
#include <map>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "TestSupport.h"
#include "gateways/AuthorizeNet.h"
#include "gateways/NetworkMerchants.h"
#include "gateways/PayPal.h"
#include "gateways/RxPayments.h"
#include "gateways/SagePayments.h"
#include "gateways/SecPay.h"
#include "platform/Platform.h"

namespace {

using pgvtest::CFixedMachine;
using pgvtest::CRecordingGateway;
using pgvtest::kFixedAddress;
using pgvtest::kFixedSystem;

// Parses `answer` with a fresh gateway set up by `params`, checks what is left of it for the flow
// to store as "all", and returns "pairs", which lists every result in name order. A parser that
// gives up stores no "pairs": then the results so far, joined the same way, after a "!".
template <class TGateway>
std::string Pairs(const char* params, const std::string& answer, const std::string& kept) {
    TGateway gateway;
    gateway.SetParameters(params);
    std::string text = answer;
    if (!gateway.ParseResults(text)) {
        EXPECT_EQ(gateway.m_Results.count("pairs"), 0u);
        gateway.CreateResultsField();
        return "!" + gateway.m_Results["pairs"];
    }
    EXPECT_EQ(text, kept);
    return gateway.m_Results["pairs"];
}

struct SRequest {
    std::string calls;    // one a line: a text for SetParameters, or "Clear()"
    std::string request;  // "(clock)": a clock reading in seconds, up to "&" or the end
    std::string url;
};

// Makes the calls on a fresh gateway, sends, and checks what went to the exchange.
template <class TGateway, size_t N>
void ExpectRequests(const SRequest (&cases)[N], int flags, const std::string& answer = "") {
    for (const SRequest& c : cases) {
        CRecordingGateway<TGateway> gateway;
        gateway.answer = answer;
        const long long before = std::time(nullptr);
        std::istringstream calls(c.calls);
        for (std::string call; std::getline(calls, call);) {
            call == "Clear()" ? gateway.Clear()
                              : static_cast<void>(gateway.SetParameters(call.c_str()));
        }
        std::string request = gateway.SendNow();
        if (const size_t clock = c.request.find("(clock)"); clock != std::string::npos) {
            const std::string value = request.substr(clock, request.find('&', clock) - clock);
            ASSERT_TRUE(!value.empty() &&
                        value.find_first_not_of("0123456789") == std::string::npos)
                << request;
            EXPECT_GE(std::stoll(value), before);
            EXPECT_LE(std::stoll(value), static_cast<long long>(std::time(nullptr)));
            request.replace(clock, value.size(), "(clock)");
        }
        EXPECT_EQ(request, c.request);
        EXPECT_EQ(gateway.url, c.url) << c.request;
        EXPECT_EQ(gateway.GetRequestFlags(), flags);
        if (!std::is_same_v<TGateway, CPayPal>) {
            EXPECT_TRUE(gateway.headers.empty());
        }
    }
}

std::string AuthNetUrl(const char* host) {
    return std::string("https://") + host + ".authorize.net/gateway/transact.dll?";
}

// Control parameters are consumed, the answer format forced; the endpoint follows the last call.
TEST(AuthorizeNet, RequestAndEndpoint) {
    const std::string forced =
        "x_delim_char=%2C&x_delim_data=True&x_encap_char=%7C&x_relay_response=False";
    const SRequest cases[] = {
        {"_hostname=https://h.example/|test_account=1|x_delim_data=False|x_relay_response=True|"
         "x_delim_char=;|x_encap_char=",
         forced, "https://h.example/"},
        {"x_cpversion=1.0|x_response_format=0|x_delim_char=;|test_account=1|x_delim_data=False",
         "x_cpversion=1.0&x_delim_char=%2C&x_delim_data=False&x_encap_char=%7C&x_response_format="
         "1",
         AuthNetUrl("test")},
        {"Test_Account=1|_HostName=h|X_CPVERSION=1.0",
         "Test_Account=1&X_CPVERSION=1.0&_HostName=h&" + forced, AuthNetUrl("secure")},
        {"test_account=1", forced, AuthNetUrl("secure")},
        {"x_cpversion=1.0", "x_cpversion=1.0&x_delim_char=%2C&x_encap_char=%7C&x_response_format=1",
         AuthNetUrl("cardpresent")},
        {"_hostname=https://h.example/\nx_amount=1.00", "x_amount=1.00&" + forced,
         AuthNetUrl("secure")},
        {"_hostname=https://h.example/\rX-Injected: 1|x a=1", "x%20a=1&" + forced, "(no URL)"},
        {"_hostname=https://h.example/\x7F", forced, "(no URL)"},
        {"x_login=me\nClear()\nx_cpversion=1.0",
         "x_cpversion=1.0&x_delim_char=%2C&x_encap_char=%7C&x_response_format=1",
         AuthNetUrl("cardpresent")}};
    ExpectRequests<CAuthAuthorizeNet>(cases, kRequestEscape);
}

TEST(AuthorizeNet, ParseResultsReadsPlainAndEncapsulatedAnswers) {
    const struct {
        const char* params;
        const char* answer;
        const char* kept;  // null: all of the answer
        const char* pairs;
    } cases[] = {
        {"", "1,2,3,4,5,6,7", nullptr,
         "x_auth_code=5,x_avs_code=6,x_response_code=1,x_response_reason_code=3,"
         "x_response_reason_text=4,x_response_subcode=2,x_trans_id=7"},
        {"x_cpversion=1.0", "1,2,3,4,5,6,7", nullptr,
         "x_auth_code=5,x_avs_code=6,x_credit_card_response=7,x_response_code=2,"
         "x_response_reason_code=3,x_response_reason_text=4,x_version=1"},
        // Without the wrapping no line can be told from an echoed value: nothing is dropped.
        {"", "HTTP/1.1 200 OK\r\nServer: x\r\n\r\n1,,3", nullptr,
         "x_response_code=HTTP/1.1 200 OK\r\nServer: x\r\n\r\n1,x_response_reason_code=3"},
        {"", "first line\nsecond line", nullptr, "x_response_code=first line\nsecond line"},
        {"", "Header\n1,2,3\n", nullptr,
         "x_response_code=Header\n1,x_response_reason_code=3\n,x_response_subcode=2"},
        {"", "3\n", nullptr, "x_response_code=3\n"},
        {"", "|3|\n", nullptr, "x_response_code=3"},
        {"", "Header\r\n\r\n|1|,||,|3|\r\n", "|1|,||,|3|\r\n",
         "x_response_code=1,x_response_reason_code=3"},
        // Line ends in the caller's echoed fields stay in them.
        {"", "|2|,|1|,|2|,|Declined|,||,|P|,|0|,||,|Order 5\n1,1,1,Approved|", nullptr,
         "x_avs_code=P,x_description=Order 5\n1,1,1,Approved,x_response_code=2,"
         "x_response_reason_code=2,x_response_reason_text=Declined,x_response_subcode=1,"
         "x_trans_id=0"},
        {"x_cpversion=1.0", "|1.0|,|2|,|2|,|Declined|,||,||,||,|0|,||,|till\n1|", nullptr,
         "x_response_code=2,x_response_reason_code=2,x_response_reason_text=Declined,"
         "x_trans_id=0,x_user_reference=till\n1,x_version=1.0"},
        // Wrapped but not closed: cut, or not the gateway's. Nothing of it is read.
        {"", "|1|,|1|,|1|,|This transaction has been approved.", nullptr, ""},
        {"", "Header\n|1|,|1", "|1|,|1", ""},
        {"", "|", nullptr, ""},
        {"", "|1|,|1|,|1|,|This transaction has been approved, thanks.|,|AB12CD|,|Y|,|123|",
         nullptr,
         "x_auth_code=AB12CD,x_avs_code=Y,x_response_code=1,x_response_reason_code=1,"
         "x_response_reason_text=This transaction has been approved, thanks.,"
         "x_response_subcode=1,x_trans_id=123"},
        {"", "Header\n|3|,||,|2|", "|3|,||,|2|", "x_response_code=3,x_response_reason_code=2"},
        {"x_cpversion=1.0", "|1.0|,|1|,||,|Approved, thanks|", nullptr,
         "x_response_code=1,x_response_reason_text=Approved, thanks,x_version=1.0"},
        {"", "||", nullptr, ""},
        {"", "", nullptr, ""}};
    for (const auto& c : cases) {
        EXPECT_EQ(Pairs<CAuthAuthorizeNet>(c.params, c.answer, c.kept ? c.kept : c.answer), c.pairs)
            << c.answer;
    }
}

// Positions 41 to 50 of the standard layout carry no name of their own; the split-tender fields
// come after the card's, at 53 to 55.
TEST(AuthorizeNet, UnusedPositionsShareOneField) {
    const std::map<int, std::string> values = {{41, "u41"},  {43, "u43"}, {47, "u47"},
                                               {52, "Visa"}, {53, "ST1"}, {54, "10.00"},
                                               {55, "4.00"}};
    std::string plain = "1";
    std::string encapsulated = "|1";
    for (int position = 2; position <= 55; ++position) {
        const std::string value = values.count(position) ? values.at(position) : "";
        plain += "," + value;
        encapsulated += "|,|" + value;
    }
    for (const std::string& answer : {plain, encapsulated + "|"}) {
        EXPECT_EQ(Pairs<CAuthAuthorizeNet>("", answer, answer),
                  "Unused=u47,x_card_type=Visa,x_prepaid_balance_on_card=4.00,"
                  "x_prepaid_requested_amount=10.00,x_response_code=1,x_split_tender_id=ST1");
    }
}

// The caller's parameters go out as given: no defaults, no names changed or consumed.
TEST(NetworkMerchants, SendsTheCallersParametersAndReadsPairs) {
    const SRequest requests[] = {{"test_account=1|x|Amount=1 00|orderid=a&b=c",
                                  "Amount=1%2000&orderid=a%26b%3Dc&test_account=1",
                                  "https://secure.networkmerchants.com/api/transact.php?"}};
    ExpectRequests<CAuthNMI>(requests, kRequestEscape);

    const std::pair<const char*, const char*> cases[] = {
        {"A=1&b=2&xyz", "a=1,b=2"},
        {"a=x=y&&b=Mixed Case\n", "a=x=y,b=Mixed Case\n"},
        {"a=1&A=2", "a=2"},
        {"&=v&c=&", "=v,c="},
        {"", ""}};
    for (const auto& [answer, pairs] : cases) {
        EXPECT_EQ(Pairs<CAuthNMI>("", answer, answer), pairs) << answer;
    }
}

TEST(PayPal, RequestIsLengthTaggedAndUnescaped) {
    const char* const live = "https://payflowpro.paypal.com";
    const char* const test = "https://pilot-payflowpro.paypal.com";
    const SRequest cases[] = {
        {"X=a&b=c|Y=|NAME=Jos\xC3\xA9", "NAME[5]=Jos\xC3\xA9&X[5]=a&b=c&Y[0]=", live},
        {"test_account=1|X-VPS-REQUEST-ID=r1|AMT=1", "AMT[1]=1", test},
        {"test_account=0|AMT=1", "AMT[1]=1", test},
        {"test_account=1\nAMT=1", "AMT[1]=1", live},
        {"TEST_ACCOUNT=1|x-vps-request-id=r1", "TEST_ACCOUNT[1]=1&x-vps-request-id[2]=r1", live}};
    ExpectRequests<CPayPal>(cases, kRequestPost | kRequestLengthTags);
}

// The id is what lets a resent transaction be recognised, so it outlives Clear and later calls.
TEST(PayPal, RequestIdHeaderStaysUntilANewOneIsGiven) {
    const struct {
        bool clearFirst;
        const char* text;
        const char* id;
    } steps[] = {{false, "AMT=1", ""},
                 {false, "X-VPS-REQUEST-ID=id-1|AMT=1", "id-1"},
                 {true, "AMT=2", "id-1"},
                 {false, "x-vps-request-id=other", "id-1"},
                 {true, "X-VPS-REQUEST-ID=id-2", "id-2"},
                 {false, "X-VPS-REQUEST-ID=", ""}};
    CRecordingGateway<CPayPal> gateway;
    for (const auto& step : steps) {
        if (step.clearFirst) {
            gateway.Clear();
        }
        gateway.SetParameters(step.text);
        EXPECT_EQ(gateway.SendNow().find("X-VPS-REQUEST-ID"), std::string::npos) << step.text;
        ASSERT_EQ(gateway.headers.size(), 5u);
        EXPECT_EQ(gateway.headers[3], std::string("X-VPS-REQUEST-ID: ") + step.id);
    }
    EXPECT_EQ(gateway.headers,
              (std::vector<std::string>{
                  "X-VPS-CLIENTTIMEOUT: 45", "X-VPS-VITINTEGRATION-PRODUCT: Paygrove",
                  "X-VPS-VITINTEGRATION-VERSION: 5.0",
                  "X-VPS-REQUEST-ID: ", std::string("X-VPS-VIT-OS-NAME: ") + kFixedSystem}));
}

// The Mac line tells Payflow the Mac's name wherever it is built.
TEST(Platform, TheMachineIsNamedAsTheBuildsLine) {
    EXPECT_EQ(CreatePlatformMachine()->OperatingSystemName(), PGV_EXPECTED_OS_NAME);
}

// The body carries names as they are: one that would split a pair or read as a length tag, or a
// control byte in a name or in the request id's header, fails the transaction unsent.
TEST(PayPal, NamesAndRequestIdsThatWouldBreakTheRequestAreRefused) {
    const std::string long300(300, 'N');
    const struct {
        std::string text;
        const char* refusal;  // null: sent
    } cases[] = {{"A&B=1", "Invalid parameter name"},
                 {"A[1]=1", "Invalid parameter name"},
                 {"A\r\nX-Injected: 1=1", "Invalid parameter name"},
                 {"A\tB=1", "Invalid parameter name"},
                 {"A\x7F=1", "Invalid parameter name"},
                 {"A B=1", nullptr},
                 {"A]=1", nullptr},
                 {long300 + "=1", nullptr},
                 {"X-VPS-REQUEST-ID=id\r\nX-Injected: 1", "Invalid request id"},
                 {"X-VPS-REQUEST-ID=id 1", nullptr}};
    for (const auto& c : cases) {
        CRecordingGateway<CPayPal> gateway;
        gateway.SetParameters(("AMT=1|" + c.text).c_str());
        std::string response;
        EXPECT_EQ(gateway.Send(0, response), c.refusal == nullptr) << c.text;
        EXPECT_EQ(gateway.timeout, c.refusal ? -1 : 0) << c.text;
        if (c.refusal) {
            EXPECT_EQ(gateway.m_Results, (StringMap{{"error", c.refusal}})) << c.text;
        }
    }
}

TEST(PayPal, ParseResultsHonoursLengthTags) {
    const std::pair<const char*, const char*> cases[] = {
        {"RESULT=0&RESPMSG=Approved", "respmsg=Approved,result=0"},
        {"BILLTOFIRSTNAME=Adrian&BILLTOLASTNAME[6]=&= Foo&TEST=Hi",
         "billtofirstname=Adrian,billtolastname=&= Foo,test=Hi"},
        {"N[0]=&M=1", "m=1,n="},
        {"N[3]=a&b&M=1", "m=1,n=a&b"},
        // A tag that does not end its value where a pair ends: none of the answer is read.
        {"N[10]=abc", ""},
        {"N[2]=abcd&M=1", ""},
        {"RESULT=12&RESPMSG[2]=abRESULT=0", ""},
        {"N[x]=1&N[]=2", "n[]=2,n[x]=1"},
        {"A=1&a=2", "a=2"},
        {"junk&A=x=y&&B&=e", "=e,a=x=y"},
        {"", ""}};
    for (const auto& [answer, pairs] : cases) {
        EXPECT_EQ(Pairs<CPayPal>("", answer, answer), pairs) << answer;
    }
}

// The machine's address is written before the caller's text is read, so the caller's wins.
TEST(RxPayments, TransTypeNamesTheEndpointAndTheMachineAddressIsSent) {
    const std::string ip = std::string("&rx_ipaddress=") + kFixedAddress;
    const std::string url = "https://secure.rxpayments.com/secure/rx";
    const SRequest cases[] = {
        {"TRANS_TYPE=AUTH_CAPTURE|amount=1 00", "TRANS_TYPE=AUTH_CAPTURE&amount=1%2000" + ip,
         url + "process?"},
        {"TRANS_TYPE=AUTH_PREAUTH", "TRANS_TYPE=AUTH_PREAUTH" + ip, url + "authorize?"},
        {"TRANS_TYPE=AUTH_SETTLE", "TRANS_TYPE=AUTH_SETTLE" + ip, url + "settle?"},
        {"TRANS_TYPE=AUTH_REFUND|rx_ipaddress=10.1.2.3",
         "TRANS_TYPE=AUTH_REFUND&rx_ipaddress=10.1.2.3", url + "refund?"},
        {"TRANS_TYPE=auth_capture", "TRANS_TYPE=auth_capture" + ip, "(no URL)"},
        {"Trans_Type=AUTH_CAPTURE", "Trans_Type=AUTH_CAPTURE" + ip, "(no URL)"},
        {"RX_IPADDRESS=10.1.2.3|TRANS_TYPE=AUTH_VOID",
         "RX_IPADDRESS=10.1.2.3&TRANS_TYPE=AUTH_VOID" + ip, "(no URL)"}};
    ExpectRequests<CRxPay>(cases, kRequestEscape);

    // A machine without an address sends none.
    CRecordingGateway<CRxPay> unaddressed;
    unaddressed.SetMachine(std::make_shared<CFixedMachine>(kFixedSystem, ""));
    unaddressed.SetParameters("TRANS_TYPE=AUTH_VOID");
    EXPECT_EQ(unaddressed.SendNow(), "TRANS_TYPE=AUTH_VOID");

    // The platform's exchange turns the missing endpoint into the failure, before any network.
    CRxPay gateway;
    gateway.SetExchange(CreatePlatformExchange());
    std::string unused;
    EXPECT_FALSE(gateway.Send(0, unused));
    EXPECT_EQ(gateway.m_Results, (StringMap{{"error", "Invalid URL"}}));
}

TEST(RxPayments, ParseResultsReadsSuccessOrErrorElements) {
    const std::pair<const char*, const char*> cases[] = {
        {"<?xml version=\"1.0\"?>\n<response>\n  <success>true</success>\n"
         "  <transaction>RX10000001</transaction>\n  <confirmation>ABC123</confirmation>\n"
         "</response>\n",
         "confirmation=ABC123,success=1,transaction=RX10000001"},
        {"<response><success>false</success><transaction>1</transaction></response>",
         "confirmation=,success=1,transaction=1"},
        {"<response>\n  <code>E12</code>\n  <errormessage>Card declined</errormessage>\n",
         "code=E12,errormessage=Card declined,success=0"},
        {"<response><success/><code>E1</code></response>", "code=E1,errormessage=,success=0"},
        {"Internal Server Error", "code=,errormessage=,success=0"}};
    for (const auto& [answer, pairs] : cases) {
        EXPECT_EQ(Pairs<CRxPay>("", answer, answer), pairs) << answer;
    }

    const struct {
        const char* xml;
        const char* tag;
        const char* value;
    } extracts[] = {{"<r><code>E12</code></r>", "<code>", "E12"},
                    {"<code>1</code><code>2</code>", "<code>", "1"},
                    {"<code>E12", "<code>", ""},
                    {"<code type='x'>E12</code>", "<code>", ""},
                    {"<codex>9</codex>", "<code>", ""},
                    {"<r>A &amp; B<c>x</c>tail</r>", "<r>", "A &amp; B"}};
    for (const auto& c : extracts) {
        EXPECT_EQ(ExtractValueFromXML(c.xml, c.tag), c.value) << c.xml;
    }
}

std::string Blanks(const std::string& text, size_t width) {
    return text + std::string(width - text.size(), ' ');
}

// Settlement fields, 68 bytes, followed by what a transaction would read as an order number.
const std::string kSettlement =
    "\002A000123" + Blanks("BATCH OK", 32) + "000004000000012.34SREF012345\034X\034";

TEST(SagePayments, TransTypeChoosesTheEndpointAndIsSentInTheBody) {
    const std::string url = "https://www.sagepayments.net/cgi-bin/eftBankcard.dll?";
    const SRequest cases[] = {
        {"amount=1 00|name=A&B", "amount=1%2000&name=A%26B&trans_type=transaction",
         url + "transaction"},
        {"trans_type=settlement", "trans_type=settlement", url + "settlement"},
        {"trans_type=Settlement", "trans_type=Settlement", url + "transaction"},
        {"TRANS_TYPE=settlement", "TRANS_TYPE=settlement&trans_type=transaction",
         url + "transaction"},
        {"trans_type=settlement\namount=1", "amount=1&trans_type=settlement", url + "settlement"},
        {"trans_type=settlement\nClear()", "", url + "settlement"},
        {"trans_type=settlement\nClear()\namount=1", "amount=1&trans_type=transaction",
         url + "transaction"}};
    ExpectRequests<CSage>(cases, kRequestPost | kRequestEscape, kSettlement);
}

TEST(SagePayments, ParseResultsCutsFieldsAtFixedOffsets) {
    // STX, then every transaction field up to the reference: 56 bytes.
    const std::string fixed = "\002A123456" + Blanks("  APPROVED 01", 32) + "10M 00REF0123456";
    const std::string head =
        "approval indicator=A,avs indicator= ,code=123456,cvv indicator=M,"
        "front-end=10,message=";
    const std::string fields = head + "APPROVED 01,";
    const std::string tail = "reference=REF0123456,risk indicator=00";
    const std::string batch =
        "approval indicator=A,batch item count=000004,batch net=000000012.34,"
        "batch number=000123,message=BATCH OK,reference=";
    const struct {
        const char* params;
        std::string answer;
        std::string pairs;
    } cases[] = {
        // Byte 56 is not read; the order number runs from 57 to the field separator.
        {"", fixed + "ZORD-1\034" + "1\034\003",
         fields + "order number=ORD-1,recurring indicator=1," + tail},
        {"", fixed + "\034\034" + "0\034\003",
         fields + "order number=,recurring indicator=0," + tail},
        {"", fixed + "\034\034" + "0\034\003\r\n",
         fields + "order number=,recurring indicator=0," + tail},
        // A record that does not end as the gateway ends it was cut on its way: what was read
        // stays, and the parser gives up.
        {"", fixed + "\034ORD\034", "!" + fields + "order number=ORD,recurring indicator=," + tail},
        {"", fixed + "\034ORD\034\003",
         "!" + fields + "order number=ORD,recurring indicator=\003," + tail},
        {"", fixed + "\034ORD", "!" + fields + tail},
        {"", fixed.substr(0, 46), "!" + fields + "reference=,risk indicator=00"},
        {"", fixed.substr(0, 8) + Blanks("", 32) + fixed.substr(40), "!" + head + "," + tail},
        {"", fixed.substr(0, 40),
         "!approval indicator=A,code=123456,front-end=,message=APPROVED 01"},
        {"", "", "!"},
        {"trans_type=settlement", kSettlement, batch + "SREF012345"},
        {"trans_type=settlement", kSettlement.substr(0, 58), "!" + batch},
        {"trans_type=settlement", kSettlement.substr(0, 64), "!" + batch + "SREF01"},
        {"trans_type=settlement", kSettlement.substr(0, 50),
         "!approval indicator=A,batch item count=000004,batch net=0000,batch number=000123,"
         "message=BATCH OK"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Pairs<CSage>(c.params, c.answer, c.answer), c.pairs) << c.answer;
    }
}

TEST(SecPay, TransactionIdDefaultsToTheClockUnlessTheCallerNamesIt) {
    const std::string url = "https://www.secpay.com/java-bin/ValCard?";
    const SRequest cases[] = {
        {"Trans_ID=my id|amount=1.00", "Trans_ID=my%20id&amount=1.00&trans_id=(clock)", url},
        {"amount=1.00|trans_id=T-1", "amount=1.00&trans_id=T-1", url},
        {"trans_id=T-1\namount=2.00", "amount=2.00&trans_id=(clock)", url}};
    ExpectRequests<CAuthSecPay>(cases, kRequestEscape);
}

TEST(SecPay, ParseResultsDropsTheQuestionMarkAndTheTrailingControls) {
    const struct {
        const char* answer;
        const char* kept;
        const char* pairs;
    } cases[] = {{"?a=1&B=x\r\n", "a=1&B=x", "a=1,b=x,message=Approved"},
                 {"?code=N&Message=Declined", "code=N&Message=Declined", "code=N,message=Declined"},
                 {"?code=N&message=", "code=N&message=", "code=N,message="},
                 {"valid=True", "valid=True", "message=Approved,valid=True"},
                 {"?valid=false&code=N", "valid=false&code=N", "code=N,valid=false"},
                 {"?b=2 \t\x7F", "b=2 ", "b=2 ,message=Approved"},
                 {"?b=x\x01y\n", "b=x\x01y", "b=x\x01y,message=Approved"},
                 {"?name=Jos\xC3\xA9", "name=Jos\xC3\xA9", "message=Approved,name=Jos\xC3\xA9"},
                 {"?a=1&&junk&a=2", "a=1&&junk&a=2", "a=2,message=Approved"},
                 {"", "", "message=Approved"}};
    for (const auto& c : cases) {
        EXPECT_EQ(Pairs<CAuthSecPay>("", c.answer, c.kept), c.pairs) << c.answer;
    }
}

}  // namespace
