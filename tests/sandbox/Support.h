// Requests for the sandbox's tests, parsed from the bytes a client sends. A gateway takes the first
// occurrence of a field, so a test varies a gateway's base request by putting its own fields first.
#ifndef PAYGROVE_TESTS_SANDBOX_SUPPORT_H
#define PAYGROVE_TESTS_SANDBOX_SUPPORT_H

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sandbox/Gateway.h"

namespace pgv::sandbox::test {

inline const HeaderList kForm = {{"Content-Type", "application/x-www-form-urlencoded"}};

// An HTTP/1.0 request with Host and the headers; a POST or PUT adds Content-Length and the body.
inline SHttpRequest Parsed(const std::string& method, const std::string& target,
                           const std::string& host, const std::string& body = "",
                           const HeaderList& headers = {}) {
    std::string raw = method + " " + target + " HTTP/1.0\r\nHost: " + host + "\r\n";
    for (const auto& [name, value] : headers) {
        raw += name + ": " + value + "\r\n";
    }
    if (method == "POST" || method == "PUT") {
        raw += "Content-Length: " + std::to_string(body.size()) + "\r\n";
    }
    CRequestParser parser;
    EXPECT_EQ(parser.Feed(raw + "\r\n" + body), EParse::Complete) << parser.Failure().message;
    return parser.Request();
}

struct SRow {
    std::string fields;  // put before the base request's own
    std::string expected;
    bool form = false;  // posted as a form rather than sent as the query
};

// Each row against a fresh gateway, which answers with its own headers; `view` may pick the parts
// of an answer that the rows expect.
inline void ExpectAnswers(const std::function<std::unique_ptr<IGateway>()>& make,
                          const std::string& host, const std::string& path, const std::string& base,
                          const HeaderList& headers, const std::vector<SRow>& rows,
                          const std::function<std::string(const std::string&)>& view = {}) {
    for (const SRow& row : rows) {
        const std::string fields = row.fields + "&" + base;
        const SHttpResponse response =
            make()->Handle(row.form ? Parsed("POST", path, host, fields, kForm)
                                    : Parsed("GET", path + "?" + fields, host));
        EXPECT_EQ(response.headers, headers) << fields;
        EXPECT_EQ(view ? view(response.body) : response.body, row.expected) << fields;
    }
}

}  // namespace pgv::sandbox::test

#endif
