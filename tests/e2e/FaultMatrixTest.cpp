// The fault matrix: every way a gateway's server can misbehave, one row each, against the build
// under test. Each row sends one transaction with a time-out of 3 s to a sandbox listener that
// misbehaves that way, then a normal transaction in the same host process.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "Support.h"

namespace {

constexpr char kNoResult[] = "Error - no result obtained";
constexpr char kFailed[] = "Unable to connect to the portal";
constexpr char kConnectFailed[] = "System failed connect";
constexpr char kReadFailed[] = "Error reading response";
constexpr char kSizeUnknown[] = "Error retrieving response size";
constexpr char kMayHaveBeenSent[] = "No answer in time; the request may have been sent";
constexpr int kTimeoutSeconds = 3;
// A transaction ends within its time-out and this.
constexpr double kGraceSeconds = 2;
const std::string kApproval =
    "x_login=demo1234|x_tran_key=7xKey9000|x_version=3.1|x_amount=1.00|"
    "x_card_num=4111111111111111|x_exp_date=1230";

struct SRow {
    std::string behaviour;
    std::string url;
    // The failure's "error" text; empty for a success, whose "all" is `all`.
    std::string error;
    std::string all = "";
    // Seconds after the send to wait for a request that comes late: one that arrives after a
    // failure that did not say it might have been sent is a finding.
    int lateBySeconds = 0;
};

// The requests the odd listeners received over the run, by the path the rows send to.
size_t ReceivedAtOk() {
    size_t count = 0;
    for (const SReceivedRequest& request : ReceivedRequests()) {
        count += request.requestLine.rfind("GET /ok?", 0) == 0 ? 1 : 0;
    }
    return count;
}

std::string Url(int port, const std::string& path) {
    return "https://secure.authorize.net:" + std::to_string(port) + path + "?";
}

std::string Odd(const std::string& path) {
    return Url(OddPort(), path);
}

std::string Listener(const char* variable) {
    return Url(ListenerPort(variable), "/ok");
}

// The odd listener's answer at /cards: a test card number and a comma, again and again, to 2 MB.
std::string Cards() {
    std::string cards;
    while (cards.size() < 2 * 1024 * 1024) {
        cards += "4007000000027,";
    }
    return cards;
}

std::string HttpError(const std::string& code) {
    return "HTTP error" + code;
}

// The calls of the script, by index.
enum ECall : size_t {
    kSend = 3,
    kAll,
    kError,
    kStatus,
    kNextSend = 9,
    kNextStatus,
};

std::string Script(const std::string& url, const std::string& logPath) {
    const std::string send = "PGV_SendTransaction ( " + std::to_string(kTimeoutSeconds) + " )\n";
    return "PGV_SelectPortal ( \"AUTHNET\" )\nPGV_BeginTransaction\nPGV_SetParameters ( " +
           Quoted("WIM_Log=" + logPath + "|_hostname=" + url + "|x_amount=1.00") + " )\n" + send +
           "PGV_GetResult ( \"all\" )\nPGV_GetResult ( \"error\" )\n"
           "PGV_GetResult ( \"pgv.status\" )\nPGV_BeginTransaction\nPGV_SetParameters ( " +
           Quoted("WIM_Log=" + logPath + "|" + kApproval) + " )\n" + send +
           "PGV_GetResult ( \"pgv.status\" )\n";
}

// A transaction's log is whole when the exchange was closed and both results blocks were
// written, the normalised one last.
void ExpectWhole(const std::string& log, const std::string& behaviour) {
    EXPECT_NE(log.find(LogLineEnds("Closed connection\n\n--Results\n")), std::string::npos)
        << behaviour << ":\n"
        << log;
    const size_t normalised = log.find(LogLineEnds("\n--Normalised results\n"));
    const std::string lastLine = LogLineEnds("\n  pgv.transaction_id=");
    const std::string lineEnd = LogLineEnds("\n");
    const size_t last = log.rfind(lastLine);
    EXPECT_TRUE(normalised != std::string::npos && last != std::string::npos && normalised < last &&
                log.find(lineEnd, last + lastLine.size()) == log.size() - lineEnd.size())
        << behaviour << ":\n"
        << log;
}

TEST(FaultMatrix, EveryRowFailsOrSucceedsAsDueAndInTime) {
    const bool windows = OnWindows();
    const SRow rows[] = {
        {"connection refused", Listener("PGV_REFUSED_PORT"), kConnectFailed},
        {"reset right after accept", Listener("PGV_RESET_PORT"), kConnectFailed},
        // WinINet takes a header cut short for a whole one, which lacks the length here.
        {"reset in the middle of the header", Odd("/reset/header"),
         windows ? kSizeUnknown : kConnectFailed},
        {"reset in the middle of the body", Odd("/reset/body"), kReadFailed},
        {"stall before the TLS handshake completes", Listener("PGV_STALL_HANDSHAKE_PORT"),
         windows ? kMayHaveBeenSent : kConnectFailed},
        // WinINet cannot take back a send it has begun: the handshake ends after the time-out,
        // and the request may then go.
        {"TLS handshake completes just after the time-out", Listener("PGV_LATE_HANDSHAKE_PORT"),
         windows ? kMayHaveBeenSent : kConnectFailed, "", 6},
        {"stall before the header", Odd("/stall"), windows ? kMayHaveBeenSent : kConnectFailed},
        {"stall in the middle of the body", Odd("/stall/body"), kReadFailed},
        {"body trickled a byte a second", Odd("/trickle"), kReadFailed},
        {"plain HTTP on the TLS port", Listener("PGV_PLAIN_HTTP_PORT"), kConnectFailed},
        {"TLS alert", Listener("PGV_TLS_ALERT_PORT"), kConnectFailed},
        // WinINet leaves the protocol versions to the system's settings: a Windows that still
        // allows TLS 1.0, as Wine does, lets it through. The Linux build asks libcurl for TLS 1.2
        // at least. The Mac line can ask CFNetwork for no minimum: what refuses TLS 1.0 on that
        // line here is the stand-in's libcurl over this machine's OpenSSL, which says nothing of
        // what a Mac does.
        windows       ? SRow{"TLS 1.0 only", Listener("PGV_TLS10_PORT"), "", "ok"}
        : OnMacLine() ? SRow{"TLS 1.0 only, refused by the stand-in's OpenSSL",
                             Listener("PGV_TLS10_PORT"), kConnectFailed}
                      : SRow{"TLS 1.0 only", Listener("PGV_TLS10_PORT"), kConnectFailed},
        {"expired certificate", Listener("PGV_EXPIRED_PORT"), kConnectFailed},
        {"certificate not yet valid", Listener("PGV_NOT_YET_VALID_PORT"), kConnectFailed},
        {"self-signed certificate", Listener("PGV_SELF_SIGNED_PORT"), kConnectFailed},
        {"wrong host name", Listener("PGV_WRONG_HOST_PORT"), kConnectFailed},
        {"untrusted CA", Listener("PGV_UNTRUSTED_PORT"), kConnectFailed},
        {"100 Continue, then 200", Odd("/continue"), "", "ok"},
        {"301 with a Location", Odd("/status/301"), HttpError("301")},
        {"302 with a Location", Odd("/status/302"), HttpError("302")},
        {"307 with a Location", Odd("/status/307"), HttpError("307")},
        {"500", Odd("/status/500"), HttpError("500")},
        {"503", Odd("/status/503"), HttpError("503")},
        // WinINet reads an answer that is not HTTP/1.x as HTTP/0.9's: a body with no header, and
        // so no length. Of a status code that is not a number it keeps the digits it could read.
        {"garbage status line", Odd("/garbage"), windows ? kSizeUnknown : kConnectFailed},
        {"status code not a number", Odd("/garbage/code"),
         windows ? HttpError("2") : kConnectFailed},
        {"64 KB header line", Odd("/long-header"), "", "ok"},
        {"two different Content-Length headers", Odd("/length-twice"), kSizeUnknown},
        {"Content-Length with a leading +", Odd("/length/+10"), kSizeUnknown},
        {"Content-Length padded with blanks", Odd("/length-padded"), "", "0123456789"},
        // Nothing is decoded: the answer is the compressed bytes up to the first zero byte, as
        // the host's native text (0x8B is a lone byte in UTF-8 and a quotation mark in 1252).
        {"Content-Encoding: gzip", Odd("/gzip"), "", windows ? "\x1f\u2039\x08" : "\x1f\ufffd\x08"},
        {"body longer than announced", Odd("/long"), "", "hello"},
        {"1 MB of NUL bytes", Odd("/nul/megabyte"), "", ""},
        // The log's mask hides each of the answer's 150,000 card numbers within the time-out.
        {"2 MB of card numbers", Odd("/cards"), "", Cards()},
    };
    for (const SRow& row : rows) {
        CTempDir dir;
        const std::string logPath = (dir.Path() / "transaction.log").string();
        const size_t receivedBefore = ReceivedAtOk();
        const auto start = std::chrono::steady_clock::now();
        const SHostRun run = RunHostTimed(Script(row.url, logPath));
        if (row.lateBySeconds > 0) {
            std::this_thread::sleep_until(start + std::chrono::seconds(row.lateBySeconds));
            EXPECT_TRUE(ReceivedAtOk() == receivedBefore ||
                        run.Result(kError).value_or("") == kMayHaveBeenSent)
                << row.behaviour << ": the request reached the gateway after the failure";
        }
        EXPECT_EQ(run.exitCode, 0) << row.behaviour << ": " << run.errors;
        const bool fails = !row.error.empty();
        const std::string sendAnswer = row.error == kMayHaveBeenSent ? kMayHaveBeenSent : kFailed;
        EXPECT_EQ(run.Result(kSend), fails ? sendAnswer : "1") << row.behaviour;
        EXPECT_EQ(run.Result(kAll).value_or("(unset)"), fails ? kNoResult : row.all)
            << row.behaviour;
        EXPECT_EQ(run.Result(kError).value_or("(unset)"), fails ? row.error : kNoResult)
            << row.behaviour;
        EXPECT_EQ(run.Result(kStatus), "error") << row.behaviour;
        EXPECT_LE(run.Seconds(kSend), kTimeoutSeconds + kGraceSeconds) << row.behaviour;
        EXPECT_EQ(run.Result(kNextSend), "1") << row.behaviour << ": the next transaction";
        EXPECT_EQ(run.Result(kNextStatus), "approved") << row.behaviour << ": the next transaction";

        const std::vector<std::string> logs = TransactionLogs(logPath);
        if (logs.size() != 2) {
            ADD_FAILURE() << row.behaviour << ": not two transactions in\n" << ReadFile(logPath);
            continue;
        }
        ExpectWhole(logs[0], row.behaviour);
        ExpectWhole(logs[1], row.behaviour + ": the next transaction");
        EXPECT_NE(logs[0].find(fails ? LogLineEnds("  **Error - " + row.error + "\n")
                                     : LogLineEnds("  Read response\n")),
                  std::string::npos)
            << row.behaviour << ":\n"
            << logs[0];
    }
}

}  // namespace
