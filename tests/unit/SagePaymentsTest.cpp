#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "RecordingGateway.h"
#include "TestSupport.h"
#include "gateways/SagePayments.h"

namespace {

constexpr char kTransactionUrl[] =
    "https://www.sagepayments.net/cgi-bin/eftBankcard.dll?transaction";
constexpr char kSettlementUrl[] = "https://www.sagepayments.net/cgi-bin/eftBankcard.dll?settlement";
// Stands for Clear() in a list of calls.
constexpr const char* kClear = nullptr;

std::string Blanks(const std::string& text, size_t width) {
    return text + std::string(width - text.size(), ' ');
}

// STX, then every transaction field up to the reference: 56 bytes.
const std::string kFixed = std::string("\x02") + "A" + "123456" + Blanks("  APPROVED 01", 32) +
                           "10" + "M" + " " + "00" + "REF0123456";
const StringMap kFixedFields = {{"approval indicator", "A"}, {"code", "123456"},
                                {"message", "APPROVED 01"},  {"front-end", "10"},
                                {"cvv indicator", "M"},      {"avs indicator", " "},
                                {"risk indicator", "00"},    {"reference", "REF0123456"}};

// Settlement fields, 68 bytes, followed by what a transaction would read as an order number.
const std::string kSettlement = std::string("\x02") + "A" + "000123" + Blanks("BATCH OK", 32) +
                                "000004" + "000000012.34" + "SREF012345" + "\x1C" + "X\x1C";
const StringMap kSettlementFields = {{"approval indicator", "A"},   {"batch number", "000123"},
                                     {"message", "BATCH OK"},       {"batch item count", "000004"},
                                     {"batch net", "000000012.34"}, {"reference", "SREF012345"}};

StringMap With(StringMap fields, const StringMap& changes) {
    for (const auto& [name, value] : changes) {
        fields[name] = value;
    }
    return fields;
}

StringMap Only(const StringMap& fields, const std::vector<std::string>& names) {
    StringMap kept;
    for (const std::string& name : names) {
        kept[name] = fields.at(name);
    }
    return kept;
}

TEST(SagePayments, TransTypeChoosesTheEndpointAndIsSentInTheBody) {
    const struct {
        std::vector<const char*> calls;
        bool settlement;
        const char* request;
    } cases[] = {
        {{"amount=1 00|name=A&B"}, false, "amount=1%2000&name=A%26B&trans_type=transaction"},
        {{"trans_type=settlement"}, true, "trans_type=settlement"},
        {{"trans_type=Settlement"}, false, "trans_type=Settlement"},
        {{"trans_type= settlement"}, false, "trans_type=%20settlement"},
        {{"TRANS_TYPE=settlement"}, false, "TRANS_TYPE=settlement&trans_type=transaction"},
        {{"trans_type=settlement", "amount=1"}, true, "amount=1&trans_type=settlement"},
        {{"trans_type=settlement", kClear}, true, ""},
        {{"trans_type=settlement", kClear, "amount=1"}, false, "amount=1&trans_type=transaction"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.request);
        pgvtest::CRecordingGateway<CSage> gateway;
        gateway.answer = kSettlement;
        for (const char* text : c.calls) {
            if (text == kClear) {
                gateway.Clear();
            } else {
                gateway.SetParameters(text);
            }
        }
        EXPECT_EQ(gateway.m_IsSettlement, c.settlement);
        EXPECT_EQ(gateway.SendNow(), c.request);
        EXPECT_EQ(gateway.url, c.settlement ? kSettlementUrl : kTransactionUrl);
        EXPECT_EQ(gateway.m_Results.count("batch number"), c.settlement ? 1u : 0u);
        EXPECT_EQ(gateway.GetRequestFlags(), kRequestPost | kRequestEscape);
        EXPECT_TRUE(gateway.headers.empty());
    }
}

TEST(SagePayments, ParseResultsCutsFieldsAtFixedOffsets) {
    const std::vector<std::string> kFirstThree = {"approval indicator", "code", "message"};
    const struct {
        const char* label;
        bool settlement;
        std::string answer;
        bool throws;
        StringMap fields;  // every result but "pairs", which only a whole reading builds
    } cases[] = {
        {"order number and recurring", false, kFixed + "\x1C" + "ORD-1\x1C" + "1\x1C\x03", false,
         With(kFixedFields, {{"order number", "ORD-1"}, {"recurring indicator", "1"}})},
        {"byte 56 is not read", false, kFixed + "Z" + "ABCDEFG\x1C" + "2" + "\x1C\x03", false,
         With(kFixedFields, {{"order number", "ABCDEFG"}, {"recurring indicator", "2"}})},
        {"empty order number", false, kFixed + "\x1C\x1C" + "0\x1C\x03", false,
         With(kFixedFields, {{"order number", ""}, {"recurring indicator", "0"}})},
        {"separator last", false, kFixed + "\x1C" + "ORD\x1C", false,
         With(kFixedFields, {{"order number", "ORD"}, {"recurring indicator", ""}})},
        {"no separator after 57", false, kFixed + "\x1C" + "ORD", false, kFixedFields},
        {"46 bytes", false, kFixed.substr(0, 46), false, With(kFixedFields, {{"reference", ""}})},
        {"blank message", false, kFixed.substr(0, 8) + Blanks("", 32) + kFixed.substr(40), false,
         With(kFixedFields, {{"message", ""}})},
        {"30 bytes", false, kFixed.substr(0, 30), true, Only(kFixedFields, kFirstThree)},
        {"40 bytes", false, kFixed.substr(0, 40), true,
         With(Only(kFixedFields, kFirstThree), {{"front-end", ""}})},
        {"STX only", false, "\x02", true, {{"approval indicator", ""}}},
        {"empty", false, "", true, {}},
        {"settlement", true, kSettlement, false, kSettlementFields},
        {"settlement 58 bytes", true, kSettlement.substr(0, 58), false,
         With(kSettlementFields, {{"reference", ""}})},
        {"settlement 50 bytes", true, kSettlement.substr(0, 50), true,
         With(Only(kSettlementFields,
                   {"approval indicator", "batch number", "message", "batch item count"}),
              {{"batch net", "0000"}})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        CSage gateway;
        gateway.SetParameters(c.settlement ? "trans_type=settlement" : "amount=1.00");
        std::string answer = c.answer;
        if (c.throws) {
            EXPECT_THROW(gateway.ParseResults(answer), std::out_of_range);
        } else {
            EXPECT_TRUE(gateway.ParseResults(answer));
        }
        EXPECT_EQ(answer, c.answer);
        EXPECT_EQ(gateway.m_Results.erase("pairs"), c.throws ? 0u : 1u);
        EXPECT_EQ(gateway.m_Results, c.fields);
    }
}

// A failed reading must still leave a whole, closed log: the next transaction appends to it.
TEST(SagePayments, ShortAnswerFailsSendWithTheFieldsCutSoFarLogged) {
    pgvtest::CTempDir dir;
    const std::string logPath = dir.File("sage.log");
    const std::string block =
        "\n--Parameters\n  amount=1.00\n  trans_type=transaction\n"
        "   URL - amount=1.00&trans_type=transaction\n\n\n--Results\n";

    pgvtest::CRecordingGateway<CSage> gateway;
    gateway.answer = kFixed.substr(0, 30);
    gateway.SetParameters(("WIM_Log=" + logPath + "|amount=1.00").c_str());
    std::string unused;
    EXPECT_THROW(gateway.Send(0, unused), std::out_of_range);
    EXPECT_EQ(gateway.m_Results, Only(kFixedFields, {"approval indicator", "code", "message"}));
    const std::string first =
        block + "  approval indicator=A\n  code=123456\n  message=APPROVED 01\n";
    EXPECT_EQ(pgvtest::ReadFile(logPath), first);

    gateway.answer = kFixed.substr(0, 46);
    gateway.SetParameters(("WIM_Log=" + logPath).c_str());
    EXPECT_TRUE(gateway.Send(0, unused));
    EXPECT_EQ(pgvtest::ReadFile(logPath),
              first + block + "  all=" + gateway.answer +
                  "\n  approval indicator=A\n  avs indicator= \n  code=123456\n"
                  "  cvv indicator=M\n  front-end=10\n  message=APPROVED 01\n"
                  "  pairs=approval indicator=A,avs indicator= ,code=123456,cvv indicator=M,"
                  "front-end=10,message=APPROVED 01,reference=,risk indicator=00\n"
                  "  reference=\n  risk indicator=00\n");
}

}  // namespace
