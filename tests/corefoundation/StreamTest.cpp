// The HTTP stream against the sandbox's odd answers, inside tools/isolated-run.
#include <CFNetwork/CFNetwork.h>
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "Support.h"

namespace {

constexpr const char* kOdd = "https://secure.authorize.net:8443";

struct SAnswer {
    bool opened = false;
    long status = -1;
    std::string contentLength = "(none)";
    std::string body;
    CFIndex last = 0;  // the final read's result: 0 at the end, -1 on failure
    CFStreamError error{0, 0};
    int reads = 0;
};

Owned<CFReadStreamRef> MakeStream(const std::string& url, const char* method = "GET",
                                  const std::string& body = "") {
    const auto urlText = MakeString(url.c_str());
    const Owned<CFURLRef> cfUrl(CFURLCreateWithString(kCFAllocatorDefault, urlText.get(), nullptr));
    const auto methodText = MakeString(method);
    const Owned<CFHTTPMessageRef> request(CFHTTPMessageCreateRequest(
        kCFAllocatorDefault, methodText.get(), cfUrl.get(), kCFHTTPVersion1_1));
    if (!request) {
        return nullptr;
    }
    const Owned<CFDataRef> data(CFDataCreate(
        kCFAllocatorDefault, reinterpret_cast<const UInt8*>(body.data()), body.size()));
    CFHTTPMessageSetBody(request.get(), data.get());
    return Owned<CFReadStreamRef>(
        CFReadStreamCreateForHTTPRequest(kCFAllocatorDefault, request.get()));
}

std::string HeaderValue(CFHTTPMessageRef response, const char* name) {
    const auto field = MakeString(name);
    const Owned<CFStringRef> value(CFHTTPMessageCopyHeaderFieldValue(response, field.get()));
    if (!value) {
        return "(none)";
    }
    char buffer[256] = {};
    return CFStringGetCString(value.get(), buffer, sizeof buffer, kCFStringEncodingMacRoman)
               ? buffer
               : "(too long)";
}

SAnswer Exchange(CFReadStreamRef stream, CFIndex chunk = 4096) {
    SAnswer answer;
    answer.opened = CFReadStreamOpen(stream);
    if (!answer.opened) {
        return answer;
    }
    std::string buffer(chunk, '\0');
    for (;;) {
        answer.last = CFReadStreamRead(stream, reinterpret_cast<UInt8*>(&buffer[0]), chunk);
        if (answer.reads++ == 0) {
            const Owned<CFHTTPMessageRef> response(static_cast<CFHTTPMessageRef>(const_cast<void*>(
                CFReadStreamCopyProperty(stream, kCFStreamPropertyHTTPResponseHeader))));
            if (response) {
                answer.status = CFHTTPMessageGetResponseStatusCode(response.get());
                answer.contentLength = HeaderValue(response.get(), "content-length");
            }
        }
        if (answer.last <= 0) {
            break;
        }
        answer.body.append(buffer.data(), answer.last);
    }
    answer.error = CFReadStreamGetError(stream);
    return answer;
}

TEST(CFReadStream, AnswersAsTheServerSentThem) {
    const struct {
        const char* path;
        long status;
        const char* contentLength;
        std::string body;
    } cases[] = {
        {"/ok", 200, "2", "ok"},
        {"/status/404", 404, "7", "odd 404"},
        {"/status/500", 500, "7", "odd 500"},
        {"/status/302", 302, "7", "odd 302"},  // a redirect is not followed
        {"/zero", 200, "0", ""},
        {"/nul", 200, "7", std::string("abc\0def", 7)},
        {"/chunked", 200, "(none)", "hello world"},
    };
    for (const auto& c : cases) {
        const auto stream = MakeStream(std::string(kOdd) + c.path);
        ASSERT_TRUE(stream) << c.path;
        const SAnswer answer = Exchange(stream.get());
        ASSERT_TRUE(answer.opened) << c.path;
        EXPECT_EQ(answer.last, 0) << c.path;
        EXPECT_EQ(answer.status, c.status) << c.path;
        EXPECT_EQ(answer.contentLength, c.contentLength) << c.path;
        EXPECT_EQ(answer.body, c.body) << c.path;
    }
}

TEST(CFReadStream, ReadsArePartialToTheCallersBuffer) {
    const struct {
        const char* path;
        CFIndex chunk;
        int reads;  // the last one returning 0
    } cases[] = {
        {"/ok", 1, 3},
        {"/nul", 3, 4},
        {"/nul", 7, 2},
        {"/zero", 1, 1},
    };
    for (const auto& c : cases) {
        const auto stream = MakeStream(std::string(kOdd) + c.path);
        const SAnswer answer = Exchange(stream.get(), c.chunk);
        EXPECT_EQ(answer.reads, c.reads) << c.path << " by " << c.chunk;
        EXPECT_EQ(answer.last, 0) << c.path;
    }
}

TEST(CFReadStream, FailuresEndInMinusOneWithAnError) {
    const struct {
        std::string url;
        std::string body;  // what arrived before the failure
        CFIndex domain;
    } cases[] = {
        // The announced 100 bytes never come: the connection closes after 60.
        {std::string(kOdd) + "/short", std::string(60, 'a'), kCFStreamErrorDomainPOSIX},
        // The certificate names the gateways, not localhost.
        {"https://localhost:8443/ok", "", kCFStreamErrorDomainSSL},
        {"https://no-such-host.invalid/ok", "", kCFStreamErrorDomainNetDB},
        {"https://secure.authorize.net:1/ok", "", kCFStreamErrorDomainPOSIX},
    };
    for (const auto& c : cases) {
        const auto stream = MakeStream(c.url);
        const SAnswer answer = Exchange(stream.get());
        ASSERT_TRUE(answer.opened) << c.url;
        EXPECT_EQ(answer.last, -1) << c.url;
        EXPECT_EQ(answer.body, c.body) << c.url;
        EXPECT_EQ(answer.error.domain, c.domain) << c.url;
        EXPECT_NE(answer.error.error, 0) << c.url;
    }
}

TEST(CFReadStream, ResponseHeaderOnlyAfterTheFirstRead) {
    const auto stream = MakeStream(std::string(kOdd) + "/ok");
    ASSERT_TRUE(CFReadStreamOpen(stream.get()));
    EXPECT_EQ(CFReadStreamCopyProperty(stream.get(), kCFStreamPropertyHTTPResponseHeader), nullptr);
    UInt8 byte = 0;
    ASSERT_EQ(CFReadStreamRead(stream.get(), &byte, 1), 1);
    const CFTypeRef response =
        CFReadStreamCopyProperty(stream.get(), kCFStreamPropertyHTTPResponseHeader);
    ASSERT_NE(response, nullptr);
    CFRelease(response);
}

TEST(CFReadStream, OpensOnceAndReadsOnlyWhenOpen) {
    const auto stream = MakeStream(std::string(kOdd) + "/ok");
    UInt8 byte = 0;
    EXPECT_EQ(CFReadStreamRead(stream.get(), &byte, 1), -1);
    EXPECT_EQ(CFReadStreamGetStatus(stream.get()), kCFStreamStatusNotOpen);
    EXPECT_TRUE(CFReadStreamOpen(stream.get()));
    EXPECT_FALSE(CFReadStreamOpen(stream.get()));
    CFReadStreamClose(stream.get());
    EXPECT_EQ(CFReadStreamGetStatus(stream.get()), kCFStreamStatusClosed);
    EXPECT_EQ(CFReadStreamRead(stream.get(), &byte, 1), -1);
}

// What a stream's client was told, and what it read: one byte for each news of bytes, so that
// the stream must tell anew of what a read left.
struct SClientLog {
    std::string body;
    CFStreamEventType last = kCFStreamEventNone;
    int failedReads = 0;
};

void ReadOneByteOnNews(CFReadStreamRef stream, CFStreamEventType type, void* info) {
    auto* log = static_cast<SClientLog*>(info);
    log->last = type;
    if (type != kCFStreamEventHasBytesAvailable) {
        return;
    }
    UInt8 byte = 0;
    if (CFReadStreamRead(stream, &byte, 1) == 1) {
        log->body += static_cast<char>(byte);
    } else {
        ++log->failedReads;
    }
}

// Scheduled on a run loop, a stream tells its client of bytes, its end and its failure while the
// loop runs in the stream's mode; each run ends when the stream had news or the time given has
// passed, and a read after news of bytes finds them.
TEST(CFReadStream, TellsItsClientWhileTheRunLoopRuns) {
    const auto mode = MakeString("stream-test");
    const struct {
        const char* path;
        CFStreamStatus status;  // once the stream has nothing more to say within three seconds
        std::string body;       // its beginning, for an answer still arriving
        CFStreamEventType last;
    } cases[] = {
        {"/ok", kCFStreamStatusAtEnd, "ok", kCFStreamEventEndEncountered},
        {"/zero", kCFStreamStatusAtEnd, "", kCFStreamEventEndEncountered},
        {"/stall", kCFStreamStatusOpen, "", kCFStreamEventNone},
        {"/slow", kCFStreamStatusOpen, "0", kCFStreamEventHasBytesAvailable},  // a byte every 2 s
        {"/short", kCFStreamStatusError, std::string(60, 'a'), kCFStreamEventErrorOccurred},
    };
    for (const auto& c : cases) {
        const auto stream = MakeStream(std::string(kOdd) + c.path);
        SClientLog log;
        CFStreamClientContext context = {0, &log, nullptr, nullptr, nullptr};
        ASSERT_TRUE(CFReadStreamSetClient(stream.get(),
                                          kCFStreamEventHasBytesAvailable |
                                              kCFStreamEventEndEncountered |
                                              kCFStreamEventErrorOccurred,
                                          &ReadOneByteOnNews, &context));
        EXPECT_EQ(CFRunLoopRunInMode(mode.get(), 0, true), kCFRunLoopRunFinished) << c.path;
        CFReadStreamScheduleWithRunLoop(stream.get(), CFRunLoopGetCurrent(), mode.get());
        ASSERT_TRUE(CFReadStreamOpen(stream.get()));
        const auto start = std::chrono::steady_clock::now();
        const auto deadline = start + std::chrono::seconds(3);
        while (log.last != kCFStreamEventEndEncountered &&
               log.last != kCFStreamEventErrorOccurred) {
            const auto left =
                std::chrono::duration<double>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 ||
                CFRunLoopRunInMode(mode.get(), left.count(), true) == kCFRunLoopRunTimedOut) {
                break;
            }
        }
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4)) << c.path;
        EXPECT_EQ(CFReadStreamGetStatus(stream.get()), c.status) << c.path;
        EXPECT_EQ(log.body.substr(0, c.body.size()), c.body) << c.path;
        EXPECT_EQ(log.last, c.last) << c.path;
        EXPECT_EQ(log.failedReads, 0) << c.path;
        CFReadStreamUnscheduleFromRunLoop(stream.get(), CFRunLoopGetCurrent(), mode.get());
        EXPECT_EQ(CFRunLoopRunInMode(mode.get(), 0, true), kCFRunLoopRunFinished) << c.path;
    }
}

// CFStream answers TRUE for an open stream that cannot tell without reading; the stand-in does
// only under its switch.
TEST(CFReadStream, GuessesBytesOnlyUnderItsSwitch) {
    const struct {
        const char* slack;
        Boolean hasBytes;  // of a stream whose server says nothing
    } cases[] = {
        {"", false},
        {"has-bytes-guess", true},
        {"error-drops-bytes", false},
    };
    for (const auto& c : cases) {
        const CScopedVariable slack("PGV_CF_SLACK", c.slack);
        const auto stream = MakeStream(std::string(kOdd) + "/stall");
        ASSERT_TRUE(CFReadStreamOpen(stream.get()));
        EXPECT_EQ(CFReadStreamHasBytesAvailable(stream.get()), c.hasBytes) << c.slack;
    }
}

// CFStream reads nothing from a stream in the error state; under its switch the stand-in's stream
// is in that state as soon as its transfer fails, with bytes still unread.
TEST(CFReadStream, DropsWhatItHeldOnFailingUnderItsSwitch) {
    const CScopedVariable slack("PGV_CF_SLACK", "error-drops-bytes");
    const auto stream = MakeStream(std::string(kOdd) + "/short");
    ASSERT_TRUE(CFReadStreamOpen(stream.get()));
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while (CFReadStreamGetStatus(stream.get()) == kCFStreamStatusOpen &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_EQ(CFReadStreamGetStatus(stream.get()), kCFStreamStatusError);
    UInt8 byte = 0;
    EXPECT_EQ(CFReadStreamRead(stream.get(), &byte, 1), -1);
    EXPECT_EQ(CFReadStreamGetError(stream.get()).domain, kCFStreamErrorDomainPOSIX);
}

TEST(CFReadStream, ReleasingAnOpenStreamStopsItsTransfer) {
    const auto start = std::chrono::steady_clock::now();
    {
        const auto stream = MakeStream(std::string(kOdd) + "/slow");
        UInt8 byte = 0;
        ASSERT_TRUE(CFReadStreamOpen(stream.get()));
        ASSERT_EQ(CFReadStreamRead(stream.get(), &byte, 1), 1);
        EXPECT_EQ(byte, '0');
    }
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(6));
}

}  // namespace
