// The one charge every client of the exchange benchmark makes: an Authorize.Net sale of a card the
// sandbox approves, sent by the plug-in from a script, and the same request written out for a
// bare client to send byte for byte.
#ifndef PAYGROVE_BENCH_EXCHANGE_TRANSACTION_H
#define PAYGROVE_BENCH_EXCHANGE_TRANSACTION_H

#include <string>
#include <vector>

namespace pgvbench {

// A script for fmhost: the portal selected once, then `transactions` times a new transaction, its
// parameters, the send and the response code read back. Without transactions it measures only
// what every run costs: loading, starting and shutting down the plug-in.
std::string TransactionScript(int transactions);

// How many transactions of fmhost's --json output the gateway approved.
int ApprovedTransactions(const std::string& hostOutput);

// The request the plug-in makes, as a bare client gives it to libcurl.
struct SBareRequest {
    std::string url;
    std::vector<std::string> headers;
};
SBareRequest PluginRequest();

// Whether an answer body is the gateway's approval.
bool IsApproval(const std::string& body);

}  // namespace pgvbench

#endif
