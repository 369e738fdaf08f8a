#include <gtest/gtest.h>

#include <stdexcept>

#include "HostCalls.h"
#include "gateways/AuthorizeNet.h"
#include "host/CalcFunctions.h"

namespace {

// Stands in for a gateway where a test needs to see what the functions hand it.
class CRecordingGateway : public CAuthBase {
public:
    int* sentTimeout = nullptr;
    bool sendResult = true;
    bool sendThrows = false;

    const char* const* GetResponseFieldOrder() override { return nullptr; }
    char GetDelimiter() override { return '&'; }
    const char* GetURL() override { return "https://gw.example/?"; }
    int GetRequestFlags() override { return kRequestEscape; }
    bool Send(int timeout, std::string&) override {
        if (sentTimeout != nullptr) {
            *sentTimeout = timeout;
        }
        if (sendThrows) {
            throw std::runtime_error("lost");
        }
        m_Results["all"] = "answer";
        return sendResult;
    }
};

class CalcFunctions : public ::testing::Test {
protected:
    void SetUp() override {
        g_Auth.reset();
        m_LiveObjects = FMHost_LiveObjectCount();
    }
    void TearDown() override {
        g_Auth.reset();
        EXPECT_EQ(FMHost_LiveObjectCount(), m_LiveObjects) << "host objects left unreleased";
    }
    CRecordingGateway* UseRecordingGateway() {
        auto gateway = std::make_unique<CRecordingGateway>();
        CRecordingGateway* raw = gateway.get();
        g_Auth = std::move(gateway);
        return raw;
    }

    long m_LiveObjects = 0;
};

TEST_F(CalcFunctions, WithoutAPortal) {
    EXPECT_EQ(CallFunction(&BeginTransaction).error, 1);
    EXPECT_EQ(CallFunction(&GetResult, {"x"}).error, 1);
    const SCallOutcome send = CallFunction(&SendTransaction);
    EXPECT_EQ(send.error, 10000);
    EXPECT_FALSE(send.result);
    EXPECT_EQ(CallFunction(&SetParameters, {"a=1"}).error, 0);
    EXPECT_FALSE(g_Auth);
    const SCallOutcome version = CallFunction(&PluginVersion);
    EXPECT_EQ(version.error, 0);
    EXPECT_EQ(version.result, "Paygrove 5.1");
}

TEST_F(CalcFunctions, PortalNamesOutsideTheTableSelectAuthorizeNet) {
    const std::string names[] = {"AUTHNET",
                                 "authnet",
                                 "AUTHNET ",
                                 "sage",
                                 "",
                                 std::string(40, 'Z'),
                                 "SAGE" + std::string(30, 'x')};
    for (const std::string& name : names) {
        const SCallOutcome outcome = CallFunction(&SelectPortal, {name});
        EXPECT_EQ(outcome.error, 0);
        EXPECT_FALSE(outcome.result);
        EXPECT_NE(dynamic_cast<CAuthAuthorizeNet*>(g_Auth.get()), nullptr) << name;
    }
}

TEST_F(CalcFunctions, SelectingAgainStartsEmpty) {
    CallFunction(&SelectPortal, {"AUTHNET"});
    CallFunction(&SetParameters, {"a=1"});
    CallFunction(&SelectPortal, {"AUTHNET"});
    EXPECT_EQ(CallFunction(&GetResult, {"a"}).result, "Error - no result obtained");
}

TEST_F(CalcFunctions, ParametersAccumulateUntilBegin) {
    CallFunction(&SelectPortal, {"AUTHNET"});
    EXPECT_EQ(CallFunction(&SetParameters, {"a=1"}).result, std::nullopt);
    CallFunction(&SetParameters, {"b=2"});
    EXPECT_EQ(CallFunction(&GetResult, {"A"}).result, "1");
    EXPECT_EQ(CallFunction(&GetResult, {"b"}).result, "2");
    const SCallOutcome begin = CallFunction(&BeginTransaction);
    EXPECT_EQ(begin.error, 0);
    EXPECT_FALSE(begin.result);
    EXPECT_EQ(CallFunction(&GetResult, {"a"}).result, "Error - no result obtained");
}

TEST_F(CalcFunctions, ParameterTextIsNeverCut) {
    CallFunction(&SelectPortal, {"AUTHNET"});
    const std::string name = "x_first_name";
    const std::string value = "J\xC3\xA9r\xC3\xB4me \xE2\x82\xAC \xF0\x9F\x98\x80";
    CallFunction(&SetParameters, {name + "=" + value});
    EXPECT_EQ(CallFunction(&GetResult, {name}).result, value);
}

TEST_F(CalcFunctions, FieldNameIsCutAt32Bytes) {
    CRecordingGateway* gateway = UseRecordingGateway();
    gateway->m_Results[std::string(32, 'f')] = "found";
    EXPECT_EQ(CallFunction(&GetResult, {std::string(40, 'f')}).result, "found");
}

TEST_F(CalcFunctions, TimeoutIsReadLikeAtoiFromFiveBytes) {
    struct SCase {
        std::vector<std::string> args;
        int timeout;
    };
    const SCase cases[] = {
        {{}, 0},         {{"30"}, 30},   {{"123456"}, 12345}, {{"abc"}, 0},
        {{"45abc"}, 45}, {{"  45"}, 45}, {{"-5"}, -5},        {{"      9"}, 0},
    };
    for (const SCase& c : cases) {
        int timeout = -999;
        UseRecordingGateway()->sentTimeout = &timeout;
        const SCallOutcome outcome = CallFunction(&SendTransaction, c.args);
        EXPECT_EQ(outcome.error, 0);
        EXPECT_EQ(outcome.result, "1");
        EXPECT_EQ(timeout, c.timeout) << (c.args.empty() ? "(none)" : c.args[0]);
    }
}

TEST_F(CalcFunctions, FailedOrThrowingSendIsReportedAsNotConnected) {
    CRecordingGateway* gateway = UseRecordingGateway();
    gateway->sendResult = false;
    EXPECT_EQ(CallFunction(&SendTransaction).result, "Unable to connect to the portal");
    gateway->sendThrows = true;
    const SCallOutcome outcome = CallFunction(&SendTransaction);
    EXPECT_EQ(outcome.error, 0);
    EXPECT_EQ(outcome.result, "Unable to connect to the portal");
}

}  // namespace
