// Authorize.Net: the live, test and card-present endpoints (or the caller's own URL), one line
// of delimited values back.
#ifndef PAYGROVE_GATEWAYS_AUTHORIZENET_H
#define PAYGROVE_GATEWAYS_AUTHORIZENET_H

#include <string>

#include "gateway/AuthBase.h"

class CAuthAuthorizeNet : public CAuthBase {
public:
    CAuthAuthorizeNet();

    const char* const* GetResponseFieldOrder() override;
    char GetDelimiter() override;
    const char* GetURL() override;
    int GetRequestFlags() override;
    bool ParseResults(std::string& response) override;
    ~CAuthAuthorizeNet() override;
    int SetParameters(const char* text) override;
    const SResultTable& GetResultTable() override;
    const char* const* GetSecretParameterNames() override;

    bool m_IsCardPresent;
    bool m_IsTestAccount;
    std::string m_Hostname;
};

#endif
