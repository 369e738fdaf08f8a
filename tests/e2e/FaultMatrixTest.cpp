// The fault matrix: every way a gateway's server can misbehave, one row each, against the build
// under test. Each row sends one transaction with a time-out of 3 s to a sandbox listener that
// misbehaves that way, then a normal transaction in the same host process. Every transaction
// carries an invoice number of its own, so that each request the server received is counted:
// one answered "Unable to connect to the portal" never reaches it, one answered "1" reaches it
// once, and none reaches it twice.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
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
// What the send answers to a failure.
enum class EAnswer {
    MayHaveBeenSent,
    // Nothing of the request can have left: "Unable to connect to the portal".
    NothingSent,
    // Either, as the line can tell or not that nothing left.
    Either,
};
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
    // failure answered "Unable to connect to the portal" is a finding.
    int lateBySeconds = 0;
    EAnswer answer = EAnswer::MayHaveBeenSent;
    // The row's transaction goes to the same server once more after the next transaction, in the
    // same process, and fares the same.
    bool again = false;
    // More parameters of the row's transaction, after a "|".
    std::string parameters = "";
};

// The requests the listeners received over the run that carry the invoice number `tag`.
size_t Received(const std::string& tag) {
    size_t count = 0;
    for (const SReceivedRequest& request : ReceivedRequests()) {
        count += request.requestLine.find("x_invoice_num=" + tag + "&") != std::string::npos;
    }
    return count;
}

// Whether `sent`, what the send answered, is one a row's failure allows.
bool Answers(EAnswer answer, const std::optional<std::string>& sent) {
    const bool mayHaveBeenSent = sent == kMayHaveBeenSent;
    const bool nothingSent = sent == kFailed;
    switch (answer) {
        case EAnswer::MayHaveBeenSent:
            return mayHaveBeenSent;
        case EAnswer::NothingSent:
            return nothingSent;
        case EAnswer::Either:
            break;
    }
    return mayHaveBeenSent || nothingSent;
}

// A request answered "Unable to connect to the portal" never reaches the server, one answered "1"
// reaches it once, and none reaches it twice.
void ExpectReceivedAsAnswered(const std::optional<std::string>& sent, const std::string& tag,
                              const std::string& what) {
    const size_t received = Received(tag);
    if (sent == "1") {
        EXPECT_EQ(received, 1u) << what;
    } else {
        EXPECT_LE(received, sent == kFailed ? 0u : 1u)
            << what << ", answered " << sent.value_or("(unset)");
    }
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

// `head`, then `piece` again and again to at least `size` bytes.
std::string Repeated(const std::string& head, const std::string& piece, size_t size) {
    std::string text = head;
    while (text.size() < size) {
        text += piece;
    }
    return text;
}

// The odd listener's answer at /cards: a test card number and a comma, again and again, to 2 MB.
std::string Cards() {
    return Repeated("", "4007000000027,", 2 * 1024 * 1024);
}

// The odd listener's answers at /mask/...: 200 KB made to cost the log's mask the most.
std::string MaskAnswer(const std::string& head, const std::string& piece) {
    return Repeated(head, piece, 200 * 1024);
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
    kAgainSend = 13,
    kAgainAll,
};

// The row's transaction, the invoice number `tag` among its parameters.
std::string RowTransaction(const SRow& row, const std::string& logPath, const std::string& tag) {
    return "PGV_BeginTransaction\nPGV_SetParameters ( " +
           Quoted("WIM_Log=" + logPath + "|_hostname=" + row.url +
                  "|x_amount=1.00|x_invoice_num=" + tag + row.parameters) +
           " )\nPGV_SendTransaction ( " + std::to_string(kTimeoutSeconds) +
           " )\nPGV_GetResult ( \"all\" )\n";
}

std::string Script(const SRow& row, const std::string& logPath, const std::string& tag) {
    const std::string send = "PGV_SendTransaction ( " + std::to_string(kTimeoutSeconds) + " )\n";
    std::string script = "PGV_SelectPortal ( \"AUTHNET\" )\n" +
                         RowTransaction(row, logPath, tag + "-1") +
                         "PGV_GetResult ( \"error\" )\nPGV_GetResult ( \"pgv.status\" )\n"
                         "PGV_BeginTransaction\nPGV_SetParameters ( " +
                         Quoted("WIM_Log=" + logPath + "|" + kApproval) + " )\n" + send +
                         "PGV_GetResult ( \"pgv.status\" )\n";
    if (row.again) {
        script += RowTransaction(row, logPath, tag + "-2");
    }
    return script;
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
    const bool mac = OnMacLine();
    constexpr EAnswer kNothingSent = EAnswer::NothingSent;
    // The stand-in's stream reports a handshake its server ended as one closed after the
    // request, as CFNetwork's closed-connection errors do.
    const EAnswer refusedHandshake = mac ? EAnswer::MayHaveBeenSent : kNothingSent;
    // WinINet cannot take back a send it has begun, and the Mac line's stream cannot tell how
    // far its handshake got: the request may go once the handshake ends.
    const EAnswer stalledHandshake = windows || mac ? EAnswer::MayHaveBeenSent : kNothingSent;
    const SRow rows[] = {
        {"connection refused", Listener("PGV_REFUSED_PORT"), kConnectFailed, "", 0, kNothingSent},
        // The Mac line's stream reports a connection closed during the handshake as it would one
        // closed after the request; only a reset that comes while it connects shows as such.
        {"reset right after accept", Listener("PGV_RESET_PORT"), kConnectFailed, "", 0,
         mac ? EAnswer::Either : kNothingSent},
        // WinINet takes a header cut short for a whole one, which lacks the length here.
        {"reset in the middle of the header", Odd("/reset/header"),
         windows ? kSizeUnknown : kConnectFailed},
        {"reset in the middle of the body", Odd("/reset/body"), kReadFailed},
        // The request was read, then nothing came back.
        {"reset after the request", Odd("/reset"), kConnectFailed},
        {"closed after the request without an answer", Odd("/close"), kConnectFailed},
        {"stall before the TLS handshake completes", Listener("PGV_STALL_HANDSHAKE_PORT"),
         windows || mac ? kMayHaveBeenSent : kConnectFailed, "", 0, stalledHandshake},
        {"TLS handshake completes just after the time-out", Listener("PGV_LATE_HANDSHAKE_PORT"),
         windows || mac ? kMayHaveBeenSent : kConnectFailed, "", 6, stalledHandshake},
        {"stall before the header", Odd("/stall"), kMayHaveBeenSent},
        {"stall in the middle of the body", Odd("/stall/body"), kReadFailed},
        {"body trickled a byte a second", Odd("/trickle"), kReadFailed},
        {"plain HTTP on the TLS port", Listener("PGV_PLAIN_HTTP_PORT"), kConnectFailed, "", 0,
         refusedHandshake},
        {"TLS alert", Listener("PGV_TLS_ALERT_PORT"), kConnectFailed, "", 0, refusedHandshake},
        // WinINet leaves the protocol versions to the system's settings: a Windows that still
        // allows TLS 1.0, as Wine does, lets it through. The Linux build asks libcurl for TLS 1.2
        // at least. The Mac line can ask CFNetwork for no minimum: what refuses TLS 1.0 on that
        // line here is the stand-in's libcurl over this machine's OpenSSL, which says nothing of
        // what a Mac does.
        windows ? SRow{"TLS 1.0 only", Listener("PGV_TLS10_PORT"), "", "ok"}
        : mac ? SRow{"TLS 1.0 only, refused by the stand-in's OpenSSL", Listener("PGV_TLS10_PORT"),
                     kConnectFailed, "", 0, refusedHandshake}
              : SRow{"TLS 1.0 only", Listener("PGV_TLS10_PORT"), kConnectFailed, "", 0,
                     refusedHandshake},
        {"expired certificate", Listener("PGV_EXPIRED_PORT"), kConnectFailed, "", 0, kNothingSent},
        {"certificate not yet valid", Listener("PGV_NOT_YET_VALID_PORT"), kConnectFailed, "", 0,
         kNothingSent},
        {"self-signed certificate", Listener("PGV_SELF_SIGNED_PORT"), kConnectFailed, "", 0,
         kNothingSent},
        {"wrong host name", Listener("PGV_WRONG_HOST_PORT"), kConnectFailed, "", 0, kNothingSent},
        {"untrusted CA", Listener("PGV_UNTRUSTED_PORT"), kConnectFailed, "", 0, kNothingSent},
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
        // A compressed body is not the gateway's text, whatever the line would make of it.
        {"Content-Encoding: gzip", Odd("/gzip"), kReadFailed},
        {"body longer than announced", Odd("/long"), "", "hello"},
        {"1 MB of NUL bytes", Odd("/nul/megabyte"), "", ""},
        // The log's mask hides each of the answer's 150,000 card numbers within the time-out.
        {"2 MB of card numbers", Odd("/cards"), "", Cards()},
        // Answers made to cost the log's mask the most, each hidden within the time-out too.
        {"card numbers a masked one's last four digits make with the next group",
         Odd("/mask/chain"), "", MaskAnswer("4111111111111111", " 100071111")},
        {"track 2 begun again and again in one value", Odd("/mask/tracks"), "",
         MaskAnswer("", "4111111111111111=3012;")},
        {"a short secret after a length tag's ]= again and again", Odd("/mask/tags"), "",
         MaskAnswer("", "]=123&"), 0, EAnswer::MayHaveBeenSent, false, "|x_card_code=123"},
        // A connection kept for the next transaction, which the server drops once it has read
        // that one's request: the request must not reach it again on a new connection.
        {"kept connection dropped after the next request", Listener("PGV_KEEP_ALIVE_PORT"), "",
         "ok", 0, EAnswer::MayHaveBeenSent, true},
    };
    for (size_t index = 0; index < std::size(rows); ++index) {
        const SRow& row = rows[index];
        const std::string tag = "fault-" + std::to_string(index);
        CTempDir dir;
        const std::string logPath = (dir.Path() / "transaction.log").string();
        const auto start = std::chrono::steady_clock::now();
        const SHostRun run = RunHostTimed(Script(row, logPath, tag));
        EXPECT_EQ(run.exitCode, 0) << row.behaviour << ": " << run.errors;
        const bool fails = !row.error.empty();
        if (fails) {
            EXPECT_TRUE(Answers(row.answer, run.Result(kSend)))
                << row.behaviour << ": answered " << run.Result(kSend).value_or("(unset)");
        } else {
            EXPECT_EQ(run.Result(kSend), "1") << row.behaviour;
        }
        EXPECT_EQ(run.Result(kAll).value_or("(unset)"), fails ? kNoResult : row.all)
            << row.behaviour;
        EXPECT_EQ(run.Result(kError).value_or("(unset)"), fails ? row.error : kNoResult)
            << row.behaviour;
        EXPECT_EQ(run.Result(kStatus), "error") << row.behaviour;
        EXPECT_LE(run.Seconds(kSend), kTimeoutSeconds + kGraceSeconds) << row.behaviour;
        EXPECT_EQ(run.Result(kNextSend), "1") << row.behaviour << ": the next transaction";
        EXPECT_EQ(run.Result(kNextStatus), "approved") << row.behaviour << ": the next transaction";
        if (row.again) {
            EXPECT_EQ(run.Result(kAgainSend), run.Result(kSend)) << row.behaviour << ": once more";
            EXPECT_EQ(run.Result(kAgainAll), run.Result(kAll)) << row.behaviour << ": once more";
        }

        std::this_thread::sleep_until(start + std::chrono::seconds(row.lateBySeconds));
        ExpectReceivedAsAnswered(run.Result(kSend), tag + "-1", row.behaviour);
        if (row.again) {
            ExpectReceivedAsAnswered(run.Result(kAgainSend), tag + "-2",
                                     row.behaviour + ": once more");
        }

        const std::vector<std::string> logs = TransactionLogs(logPath);
        const size_t transactions = row.again ? 3 : 2;
        if (logs.size() != transactions) {
            ADD_FAILURE() << row.behaviour << ": not " << transactions << " transactions in\n"
                          << ReadFile(logPath);
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
