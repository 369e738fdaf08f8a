// PayPal Payflow Pro: a POST of length-tagged name=value pairs to the live or the test host,
// with the Payflow request headers; the answer is a list of name=value pairs.
#ifndef PAYGROVE_GATEWAYS_PAYPAL_H
#define PAYGROVE_GATEWAYS_PAYPAL_H

#include <string>
#include <vector>

#include "gateway/AuthBase.h"

class CPayPal : public CAuthBase {
public:
    CPayPal();

    void GetCustomHeaders(std::vector<std::string>& headers) override;
    const char* const* GetResponseFieldOrder() override;
    char GetDelimiter() override;
    const char* GetURL() override;
    int GetRequestFlags() override;
    bool ParseResults(std::string& response) override;
    ~CPayPal() override;
    int SetParameters(const char* text) override;
    const SResultTable& GetResultTable() override;
    const char* const* GetSecretParameterNames() override;
    const char* GetRequestRefusal() override;
    void ReviewAnswer(const std::string& request, SNormalised* answered) override;

    bool m_IsTestAccount;
    std::string m_RequestId;
};

#endif
