#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

#include "sandbox/RequestLog.h"

namespace pgv::sandbox {
namespace {

TEST(FormatLogEntry, IsCountLineRawBytesAndALineEnd) {
    EXPECT_EQ(FormatLogEntry(""), "@@ request 0\n\n");
    const std::string raw("GET / HTTP/1.0\r\n\r\n\0\n", 20);
    EXPECT_EQ(FormatLogEntry(raw), "@@ request 20\n" + raw + "\n");
}

TEST(RequestLog, AppendsEntriesToWhatIsThere) {
    char pattern[] = "/tmp/pgv-request-log-XXXXXX";
    const int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    close(fd);
    const std::string path = pattern;
    std::ofstream(path) << "earlier\n";
    {
        CRequestLog log(path);
        log.Append("first");
        log.Append(std::string("se\0cond", 7));
        std::ifstream flushed(path, std::ios::binary);
        std::stringstream content;
        content << flushed.rdbuf();
        EXPECT_EQ(content.str(), "earlier\n@@ request 5\nfirst\n@@ request 7\n" +
                                     std::string("se\0cond", 7) + "\n");
    }
    std::remove(path.c_str());
}

TEST(RequestLog, ThrowsWhenTheFileCannotBeOpened) {
    EXPECT_THROW(CRequestLog("/nonexistent-folder/requests.log"), std::runtime_error);
}

}  // namespace
}  // namespace pgv::sandbox
