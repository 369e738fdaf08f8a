// The calculation functions and the entry point, called as the host calls them.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <typeindex>
#include <vector>

#include "TestSupport.h"
#include "gateways/AuthorizeNet.h"
#include "gateways/NetworkMerchants.h"
#include "gateways/PayPal.h"
#include "gateways/RxPayments.h"
#include "gateways/SagePayments.h"
#include "gateways/SecPay.h"
#include "host/CalcFunctions.h"
#include "log/Log.h"

extern "C" void FMExternCallProc(FMX_ExternCallPtr pb);

namespace {

using pgvtest::CallFunction;
using pgvtest::SCallOutcome;
using CHostGateway = pgvtest::CRecordingGateway<pgvtest::CFieldsGateway>;

const char kNoResult[] = "Error - no result obtained";
const char kNotSent[] = "Unable to connect to the portal";
const char kMayHaveBeenSent[] = "No answer in time; the request may have been sent";

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
    static CHostGateway* UseHostGateway() {
        g_Auth = std::make_unique<CHostGateway>();
        return static_cast<CHostGateway*>(g_Auth.get());
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

TEST_F(CalcFunctions, PortalTableWithAuthorizeNetForAnyOtherName) {
    const std::pair<std::string, std::type_index> cases[] = {
        {"AUTHNET", typeid(CAuthAuthorizeNet)},
        {"SECPAY", typeid(CAuthSecPay)},
        {"RXPAY", typeid(CRxPay)},
        {"PAYPAL", typeid(CPayPal)},
        {"NMI", typeid(CAuthNMI)},
        {"SAGE", typeid(CSage)},
        {"sage", typeid(CAuthAuthorizeNet)},
        {"SAGE ", typeid(CAuthAuthorizeNet)},
        {"", typeid(CAuthAuthorizeNet)},
        {"SAGE" + std::string(30, 'x'), typeid(CAuthAuthorizeNet)}};
    for (const auto& [name, type] : cases) {
        const SCallOutcome outcome = CallFunction(&SelectPortal, {name});
        EXPECT_EQ(outcome.error, 0);
        EXPECT_FALSE(outcome.result);
        ASSERT_TRUE(g_Auth);
        const CAuthBase& gateway = *g_Auth;
        EXPECT_EQ(std::type_index(typeid(gateway)), type) << '"' << name << '"';
    }
}

TEST_F(CalcFunctions, ParametersAccumulateUntilBeginOrSelect) {
    CallFunction(&SelectPortal, {"AUTHNET"});
    EXPECT_EQ(CallFunction(&SetParameters, {"a=1"}).result, std::nullopt);
    CallFunction(&SetParameters, {"b=2"});
    EXPECT_EQ(CallFunction(&GetResult, {"A"}).result, "1");
    EXPECT_EQ(CallFunction(&GetResult, {"b"}).result, "2");
    const SCallOutcome begin = CallFunction(&BeginTransaction);
    EXPECT_EQ(begin.error, 0);
    EXPECT_FALSE(begin.result);
    EXPECT_EQ(CallFunction(&GetResult, {"a"}).result, kNoResult);

    CallFunction(&SetParameters, {"a=1"});
    CallFunction(&SelectPortal, {"AUTHNET"});
    EXPECT_EQ(CallFunction(&GetResult, {"a"}).result, kNoResult);
}

TEST_F(CalcFunctions, ParameterTextIsNeverCutButFieldNamesAre) {
    CallFunction(&SelectPortal, {"AUTHNET"});
    const std::string value = "J\xC3\xA9r\xC3\xB4me \xE2\x82\xAC \xF0\x9F\x98\x80";
    CallFunction(&SetParameters, {"x_first_name=" + value});
    EXPECT_EQ(CallFunction(&GetResult, {"x_first_name"}).result, value);

    UseHostGateway()->m_Results[std::string(32, 'f')] = "found";
    EXPECT_EQ(CallFunction(&GetResult, {std::string(40, 'f')}).result, "found");
}

TEST_F(CalcFunctions, TimeoutIsReadLikeAtoiFromFiveBytes) {
    const std::pair<std::vector<std::string>, int> cases[] = {
        {{}, 0},         {{"30"}, 30},   {{"123456"}, 12345}, {{"abc"}, 0},
        {{"45abc"}, 45}, {{"  45"}, 45}, {{"-5"}, -5},        {{"      9"}, 0}};
    for (const auto& [args, timeout] : cases) {
        CHostGateway* gateway = UseHostGateway();
        const SCallOutcome outcome = CallFunction(&SendTransaction, args);
        EXPECT_EQ(outcome.error, 0);
        EXPECT_EQ(outcome.result, "1");
        EXPECT_EQ(gateway->timeout, timeout) << (args.empty() ? "(none)" : args[0]);
    }
}

// A request the gateway may hold is no failure to connect, whatever failed after it went out: a
// script told "Unable to connect" sends it again. The answer keeps the text the time-out has
// always given, so that scripts written for it keep working.
TEST_F(CalcFunctions, FailedSendAnswersWhetherTheGatewayMayHoldTheRequest) {
    const struct {
        const char* error;
        bool mayHaveBeenSent;  // as the exchange reports it
        const char* answer;
    } failures[] = {
        {"System failed connect", false, kNotSent},
        {"Invalid URL", false, kNotSent},
        {"System failed connect", true, kMayHaveBeenSent},
        {"HTTP error500", true, kMayHaveBeenSent},
        {"Error reading response", true, kMayHaveBeenSent},
        {kMayHaveBeenSent, true, kMayHaveBeenSent},
    };
    for (const auto& failure : failures) {
        CHostGateway* failing = UseHostGateway();
        failing->answerOk = false;
        failing->answer = failure.error;
        failing->mayHaveBeenSent = failure.mayHaveBeenSent;
        EXPECT_EQ(CallFunction(&SendTransaction).result, failure.answer) << failure.error;
        EXPECT_EQ(CallFunction(&GetResult, {"PGV.status"}).result, "error");
        EXPECT_EQ(CallFunction(&GetResult, {"pgv.message"}).result, failure.error);
        EXPECT_EQ(CallFunction(&GetResult, {"error"}).result, failure.error);
    }

    // Refused before any connection: the exchange is never asked.
    auto paypal = std::make_unique<pgvtest::CRecordingGateway<CPayPal>>();
    paypal->mayHaveBeenSent = true;
    g_Auth = std::move(paypal);
    CallFunction(&SetParameters, {"A&B=1"});
    EXPECT_EQ(CallFunction(&SendTransaction).result, kNotSent);
    EXPECT_EQ(CallFunction(&GetResult, {"error"}).result, "Invalid parameter name");

    // The gateway answered, so it holds the request, though its parser gave up on the answer.
    auto sage = std::make_unique<pgvtest::CRecordingGateway<CSage>>();
    sage->answer = "too short";
    g_Auth = std::move(sage);
    const SCallOutcome outcome = CallFunction(&SendTransaction);
    EXPECT_EQ(outcome.error, 0);
    EXPECT_EQ(outcome.result, kMayHaveBeenSent);
    EXPECT_EQ(CallFunction(&GetResult, {"pgv.status"}).result, "error");
    EXPECT_EQ(CallFunction(&GetResult, {"pgv.transaction_id"}).result, "");

    CallFunction(&SelectPortal, {"SAGE"});
    EXPECT_EQ(CallFunction(&GetResult, {"pgv.status"}).result, kNoResult);
}

// A gateway that fails in every way a calculation function has to catch.
class CThrowingGateway : public pgvtest::CFieldsGateway {
public:
    int SetParameters(const char*) override { throw std::runtime_error("parameters refused"); }
    bool Send(int, std::string&) override { throw 42; }
};

// The process log, pointed at a scratch file for as long as the object lives.
class CProcessLogFile {
public:
    CProcessLogFile() {
        g_Log.m_TimeStamps = false;
        g_Log.SetLogFile(m_Path.c_str());
        g_Log.Open(false);
    }
    ~CProcessLogFile() { g_Log.Close(); }
    CProcessLogFile(const CProcessLogFile&) = delete;
    CProcessLogFile& operator=(const CProcessLogFile&) = delete;

    std::string Text() const { return pgvtest::ReadFile(m_Path); }

private:
    pgvtest::CTempDir m_Dir;
    std::string m_Path = m_Dir.File("Quilla.log");
};

// The answer stays what the function's rules give; the process log gets one line naming it.
TEST_F(CalcFunctions, EveryCaughtFailureLeavesOneLineInTheProcessLog) {
    const struct {
        FMX_ExternalFunction function;
        std::vector<std::string> args;
        std::optional<std::string> result;
        const char* line;  // a regular expression
    } cases[] = {
        {&SetParameters, {"a=1"}, std::nullopt, "PGV_SetParameters failed: parameters refused"},
        {&SendTransaction, {}, kNotSent, "PGV_SendTransaction failed"}};
    for (const auto& c : cases) {
        g_Auth = std::make_unique<CThrowingGateway>();
        CProcessLogFile log;
        const SCallOutcome outcome = CallFunction(c.function, c.args);
        EXPECT_EQ(outcome.error, 0);
        EXPECT_EQ(outcome.result, c.result);
        EXPECT_THAT(log.Text(), ::testing::MatchesRegex(std::string(c.line) + "\n"));
    }
}

// A string request passes the buffer's size in parm3; parm2 is the host's language.
FMX_ExternCallStruct Call(uint8_t whichCall, int16_t version = 0, uint8_t parm1 = 0,
                          FMX_PtrType parm3 = 0, FMX_PtrType result = 12345) {
    FMX_ExternCallStruct block{};
    block.extnVersion = version;
    block.unusedID = -1;
    block.whichCall = whichCall;
    block.parm1 = parm1;
    block.parm2 = 1033;
    block.parm3 = parm3;
    block.result = result;
    FMExternCallProc(&block);
    return block;
}

// The answer to a string request, or "(untouched)" when the buffer was left alone.
std::string StringRequest(uint8_t id, uint32_t size) {
    std::vector<uint16_t> buffer(128, 0xAAAA);
    Call(kFMXT_GetString, 0, id, size, reinterpret_cast<FMX_PtrType>(buffer.data()));
    if (buffer[0] == 0xAAAA) {
        return "(untouched)";
    }
    std::string text;
    for (size_t i = 0; buffer[i] != 0; ++i) {
        text += static_cast<char>(buffer[i]);
    }
    return text;
}

class PluginMain : public ::testing::Test {
protected:
    void SetUp() override {
        FMHost_ClearRegistrations();
        m_LiveObjects = FMHost_LiveObjectCount();
    }
    void TearDown() override {
        EXPECT_EQ(FMX_PtrType{Call(kFMXT_Shutdown).result}, 12345u);
        EXPECT_EQ(FMHost_RegisteredCount(), 0u);
        EXPECT_EQ(FMHost_LiveObjectCount(), m_LiveObjects);
    }

    long m_LiveObjects = 0;
};

TEST_F(PluginMain, StartUpAnswers) {
    const struct {
        int16_t version;
        uint8_t kind;
        intptr_t answer;
    } cases[] = {{57, kFMXT_Developer, 51}, {50, kFMXT_Pro, 51},     {49, kFMXT_Pro, -1},
                 {-3, kFMXT_Pro, -1},       {57, kFMXT_Runtime, 51}, {57, kFMXT_Server, -2},
                 {57, kFMXT_Web, -2},       {57, kFMXT_Mobile, -2},  {57, kFMXT_XDBC, -2},
                 {57, kFMXT_SASE, -2},      {57, kFMXT_Tool, -2},    {57, 200, -2},
                 {49, kFMXT_SASE, -1}};
    for (const auto& c : cases) {
        FMHost_ClearRegistrations();
        EXPECT_EQ(static_cast<intptr_t>(Call(kFMXT_Init, c.version, c.kind).result), c.answer)
            << c.version << "/" << int{c.kind};
        EXPECT_EQ(FMHost_RegisteredCount(), c.answer == 51 ? 6u : 0u);
    }
}

TEST_F(PluginMain, RegistersTheSixFunctions) {
    ASSERT_EQ(FMX_PtrType{Call(kFMXT_Init, 57, kFMXT_Developer).result}, 51u);
    const char* const expected[] = {
        "Zkqx 0 PGV_Version PGV_Version 0-0 ff01",
        "Zkqx 1 PGV_BeginTransaction PGV_BeginTransaction 0-0 ff01",
        "Zkqx 2 PGV_SetParameters PGV_SetParameters(parameters) 1-1 ff01",
        "Zkqx 3 PGV_SendTransaction PGV_SendTransaction([timeout]) 0-1 ff01",
        "Zkqx 4 PGV_GetResult PGV_GetResult(field) 1-1 ff01",
        "Zkqx 5 PGV_SelectPortal PGV_SelectPortal(name) 1-1 ff01"};
    ASSERT_EQ(FMHost_RegisteredCount(), std::size(expected));
    for (uint32_t i = 0; i < std::size(expected); ++i) {
        FMHost_Registration row = {};
        ASSERT_TRUE(FMHost_RegisteredAt(i, &row));
        std::ostringstream text;
        text << row.pluginId << ' ' << row.functionId << ' ' << row.name << ' ' << row.prototype
             << ' ' << row.minArgs << '-' << row.maxArgs << ' ' << std::hex << row.flags;
        EXPECT_EQ(text.str(), expected[i]);
    }
}

// The plug-in starts without the functions the host refused, and the log names each of them.
TEST_F(PluginMain, RefusedRegistrationsAreLogged) {
    CProcessLogFile log;
    FMHost_RefuseRegistrations(kFMX_ErrOutOfMemory);
    EXPECT_EQ(FMX_PtrType{Call(kFMXT_Init, 57, kFMXT_Developer).result}, 51u);
    FMHost_RefuseRegistrations(kFMX_ErrNone);
    EXPECT_EQ(FMHost_RegisteredCount(), 0u);
    Call(kFMXT_Shutdown);
    EXPECT_EQ(log.Text(),
              "Product: Paygrove 5.2\nIs FM server = No\n"
              "Registering PGV_Version failed: error 1\n"
              "Registering PGV_BeginTransaction failed: error 1\n"
              "Registering PGV_SetParameters failed: error 1\n"
              "Registering PGV_SendTransaction failed: error 1\n"
              "Registering PGV_GetResult failed: error 1\n"
              "Registering PGV_SelectPortal failed: error 1\n"
              "Shutting down plugin\n");
}

TEST_F(PluginMain, StringRequestsAndOtherMessages) {
    EXPECT_EQ(StringRequest(128, 128), "Tenvale - Paygrove");
    EXPECT_EQ(StringRequest(129, 128),
              "Allows you to authorize credit cards securely, quickly and easily.");
    EXPECT_EQ(StringRequest(131, 12), "Zkqx1YnYnnn");
    EXPECT_EQ(StringRequest(131, 11), "(untouched)");
    EXPECT_EQ(StringRequest(130, 128), "");
    EXPECT_EQ(StringRequest(132, 128), "");
    EXPECT_EQ(StringRequest(132, 1), "");
    EXPECT_EQ(StringRequest(132, 0), "(untouched)");
    EXPECT_EQ(StringRequest(128, 0), "(untouched)");
    EXPECT_EQ(StringRequest(128, 1), "(untouched)");
    for (const uint8_t message : {1, 2, 3, 5, 6, 8, 9, 200}) {
        EXPECT_EQ(FMX_PtrType{Call(message, 57, kFMXT_Developer, 0, 777).result}, 777u)
            << int{message};
    }
}

}  // namespace
