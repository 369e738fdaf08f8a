#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <unistd.h>

#include "gateway/AuthBase.h"

namespace {

const char* const kFields[] = {"code", "text", nullptr};

// A gateway whose exchange is scripted: it records the request and answers as told.
class CScriptedGateway : public CAuthBase {
public:
    int flags = kRequestEscape;
    bool exchangeOk = true;
    std::string answer = "1,ok";
    bool parseThrows = false;

    std::string sentRequest;
    int sentTimeout = -1;

    const char* const* GetResponseFieldOrder() override { return kFields; }
    char GetDelimiter() override { return ','; }
    const char* GetURL() override { return "https://gw.example/pay?"; }
    int GetRequestFlags() override { return flags; }
    bool Authorize(const char* request, int timeout, std::string& response) override {
        sentRequest = request;
        sentTimeout = timeout;
        m_Log.Write("(exchange)");
        response = answer;
        return exchangeOk;
    }
    bool ParseResults(std::string& response) override {
        if (parseThrows) {
            m_Results["code"] = "1";
            throw std::out_of_range("answer too short");
        }
        CAuthBase::ParseResults(response);
        CreateResultsField();
        return true;
    }
};

class SendFlow : public ::testing::Test {
protected:
    void SetUp() override {
        m_Dir = std::filesystem::temp_directory_path() /
                ("sendflow-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_Dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_Dir); }

    std::string LogPath() const { return (m_Dir / "transaction.log").string(); }
    std::string ReadLog() const {
        std::ifstream in(LogPath());
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }
    static std::string Send(CScriptedGateway& gateway) {
        std::string untouched = "caller's";
        gateway.Send(0, untouched);
        EXPECT_EQ(untouched, "caller's");
        return gateway.sentRequest;
    }

    std::filesystem::path m_Dir;
};

TEST_F(SendFlow, RequestTextFollowsTheFlags) {
    struct SCase {
        int flags;
        std::map<std::string, std::string> params;
        std::string request;
    };
    const std::string long300(300, 'v');
    const SCase cases[] = {
        {kRequestEscape, {{"a", "x y"}, {"b", "2"}}, "a=x%20y&b=2"},
        {kRequestPost | kRequestLengthTags, {{"a", "x y"}, {"b", "2"}}, "a[3]=x y&b[1]=2"},
        {0, {{"a", "x y"}, {"b", "2"}}, "a=x y&b=2"},
        {kRequestLengthTags, {{"v", "a&b"}}, "v[3]=a&b"},
        {kRequestLengthTags, {{"e", "\xC3\xA9"}}, "e[2]=\xC3\xA9"},
        {kRequestLengthTags, {{"e", ""}}, "e[0]="},
        {kRequestEscape, {{"v", long300}}, "v=" + long300.substr(0, 255)},
        {0, {{"v", long300}}, "v=" + long300},
        {kRequestEscape, {{"a", "1"}, {"B", "2"}, {"_c", "3"}}, "B=2&_c=3&a=1"},
        {kRequestEscape, {}, ""},
        {kRequestEscape, {{"wim_log", "sent"}}, "wim_log=sent"},
        {kRequestEscape, {{"WIM_Log", ""}, {"a", "1"}}, "a=1"},
    };
    for (const SCase& c : cases) {
        CScriptedGateway gateway;
        gateway.flags = c.flags;
        gateway.m_Params = c.params;
        EXPECT_EQ(Send(gateway), c.request) << c.request;
    }
}

TEST_F(SendFlow, TimeoutIsPassedOn) {
    CScriptedGateway gateway;
    std::string response;
    gateway.Send(30, response);
    EXPECT_EQ(gateway.sentTimeout, 30);
}

TEST_F(SendFlow, OutcomeInTheResults) {
    CScriptedGateway gateway;
    gateway.m_Results["stale"] = "x";
    gateway.answer = "1,approved";
    Send(gateway);
    EXPECT_EQ(gateway.m_Results, (StringMap{{"all", "1,approved"},
                                            {"code", "1"},
                                            {"pairs", "code=1,text=approved"},
                                            {"text", "approved"}}));

    gateway.exchangeOk = false;
    gateway.answer = "HTTP error500";
    Send(gateway);
    EXPECT_EQ(gateway.m_Results, (StringMap{{"error", "HTTP error500"}}));

    gateway.exchangeOk = true;
    gateway.answer = "";
    Send(gateway);
    EXPECT_EQ(gateway.m_Results, (StringMap{{"all", ""}, {"pairs", ""}}));
}

TEST_F(SendFlow, TransactionLogLinesWithCardDataMasked) {
    CScriptedGateway gateway;
    gateway.m_Params = {{"WIM_Log", LogPath()},
                        {"x_amount", "1.00"},
                        {"x_card_code", "123"},
                        {"x_card_num", "4111 1111 1111 1111"},
                        {"x_invoice_num", "123"}};
    gateway.answer = "1,card 4111 1111 1111 1111 ok";
    Send(gateway);
    EXPECT_EQ(gateway.m_Params.count("WIM_Log"), 0u);
    EXPECT_EQ(gateway.sentRequest,
              "x_amount=1.00&x_card_code=123&x_card_num=4111%201111%201111%201111&"
              "x_invoice_num=123");
    EXPECT_EQ(ReadLog(),
              "\n"
              "--Parameters\n"
              "  x_amount=1.00\n"
              "  x_card_code=********\n"
              "  x_card_num=XXXX XXXX XXXX 1111\n"
              "  x_invoice_num=123\n"
              "   URL - x_amount=1.00&x_card_code=********&"
              "x_card_num=XXXX%20XXXX%20XXXX%201111&x_invoice_num=123\n"
              "\n"
              "(exchange)\n"
              "\n"
              "--Results\n"
              "  all=1,card XXXX XXXX XXXX 1111 ok\n"
              "  code=1\n"
              "  pairs=code=1,text=card XXXX XXXX XXXX 1111 ok\n"
              "  text=card XXXX XXXX XXXX 1111 ok\n");
}

TEST_F(SendFlow, LogIsOnlyWrittenWhenNamed) {
    CScriptedGateway gateway;
    gateway.m_Params = {{"WIM_Log", LogPath()}, {"a", "1"}};
    Send(gateway);
    const std::string first = ReadLog();
    Send(gateway);
    EXPECT_EQ(ReadLog(), first) << "the second send has no WIM_Log any more";
}

TEST_F(SendFlow, ExceptionStillClosesTheLogAndRestoresIndentation) {
    CScriptedGateway gateway;
    gateway.parseThrows = true;
    gateway.m_Params = {{"WIM_Log", LogPath()}, {"a", "1"}};
    std::string response;
    EXPECT_THROW(gateway.Send(0, response), std::out_of_range);

    gateway.parseThrows = false;
    gateway.m_Params = {{"WIM_Log", LogPath()}, {"b", "2"}};
    gateway.Send(0, response);
    const std::string log = ReadLog();
    EXPECT_NE(log.find("(exchange)\n\n--Results\n  code=1\n\n--Parameters"), std::string::npos)
        << "the failed transaction's log ends with what the parser stored: " << log;
    const std::string second = log.substr(log.find("(exchange)") + 1);
    EXPECT_NE(second.find("\n--Parameters\n  b=2\n   URL - b=2\n"), std::string::npos) << log;
    EXPECT_NE(second.find("--Results\n  all=1,ok\n"), std::string::npos) << log;
}

}  // namespace
