#include "exchange/Transaction.h"

namespace pgvbench {

namespace {

constexpr char kParameters[] =
    "x_login=demo1234|x_tran_key=7xKey9000|x_version=3.1|x_type=AUTH_CAPTURE|x_amount=1.00|"
    "x_card_num=4111111111111111|x_exp_date=1230";
// The plug-in sends its parameters in name order, escaped, with its own delimiting fields added.
constexpr char kRequestUrl[] =
    "https://secure.authorize.net/gateway/transact.dll?x_amount=1.00&x_card_num=4111111111111111&"
    "x_delim_char=%2C&x_delim_data=True&x_encap_char=%7C&x_exp_date=1230&x_login=demo1234&"
    "x_relay_response=False&x_tran_key=7xKey9000&x_type=AUTH_CAPTURE&x_version=3.1";
constexpr char kApprovedLine[] =
    R"({"call":"PGV_GetResult","args":["x_response_code"],"error":0,"result":"1"})";
constexpr char kApprovalStart[] = "|1|,";

}  // namespace

std::string TransactionScript(int transactions) {
    std::string script = "PGV_SelectPortal ( \"AUTHNET\" )\n";
    for (int i = 0; i < transactions; ++i) {
        script += "PGV_BeginTransaction\n";
        script += std::string("PGV_SetParameters ( \"") + kParameters + "\" )\n";
        script += "PGV_SendTransaction ( 30 )\n";
        script += "PGV_GetResult ( \"x_response_code\" )\n";
    }
    return script;
}

int ApprovedTransactions(const std::string& hostOutput) {
    int approved = 0;
    size_t start = 0;
    while (start < hostOutput.size()) {
        size_t end = hostOutput.find('\n', start);
        if (end == std::string::npos) {
            end = hostOutput.size();
        }
        if (hostOutput.compare(start, end - start, kApprovedLine) == 0) {
            ++approved;
        }
        start = end + 1;
    }
    return approved;
}

SBareRequest PluginRequest() {
    return {kRequestUrl, {"Accept: text/*", "User-Agent: Tenvale Paygrove", "Connection: close"}};
}

bool IsApproval(const std::string& body) {
    return body.compare(0, sizeof kApprovalStart - 1, kApprovalStart) == 0;
}

}  // namespace pgvbench
