// SecPay: one GET endpoint; the answer is a query-like list of name=value pairs.
#ifndef PAYGROVE_GATEWAYS_SECPAY_H
#define PAYGROVE_GATEWAYS_SECPAY_H

#include "gateway/AuthBase.h"

class CAuthSecPay : public CAuthBase {
public:
    const char* const* GetResponseFieldOrder() override;
    char GetDelimiter() override;
    const char* GetURL() override;
    int GetRequestFlags() override;
    bool ParseResults(std::string& response) override;
    int SetParameters(const char* text) override;
    const SResultTable& GetResultTable() override;
    const char* const* GetSecretParameterNames() override;
};

#endif
