// A real gateway class with its exchange replaced, so that the request text, endpoint and
// headers the transaction flow hands to the network can be checked without one.
#ifndef PAYGROVE_TESTS_UNIT_RECORDINGGATEWAY_H
#define PAYGROVE_TESTS_UNIT_RECORDINGGATEWAY_H

#include <string>
#include <vector>

namespace pgvtest {

constexpr char kNoUrl[] = "(no URL)";

template <class TGateway>
class CRecordingGateway : public TGateway {
public:
    std::string answer;
    bool answerOk = true;

    std::string request;
    std::string url;
    std::vector<std::string> headers;

    // The endpoint and headers are read here, as the real exchange reads them: after the
    // request text is built.
    bool Authorize(const char* sent, int /*timeout*/, std::string& response) override {
        request = sent;
        const char* endpoint = this->GetURL();
        url = endpoint ? endpoint : kNoUrl;
        this->GetCustomHeaders(headers);
        response = answer;
        return answerOk;
    }

    std::string SendNow() {
        std::string unused;
        this->Send(0, unused);
        return request;
    }
};

}  // namespace pgvtest

#endif
