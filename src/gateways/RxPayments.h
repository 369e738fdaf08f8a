// RxPayments: one GET endpoint per kind of transaction; the answer is XML, read by tag.
#ifndef PAYGROVE_GATEWAYS_RXPAYMENTS_H
#define PAYGROVE_GATEWAYS_RXPAYMENTS_H

#include <string>

#include "gateway/AuthBase.h"

class CRxPay : public CAuthBase {
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

// The text after the first `tag` (a whole opening tag, "<code>") up to the next "<"; empty when
// either is missing. Plain text search: no entities decoded, no attributes matched.
std::string ExtractValueFromXML(const std::string& xml, const std::string& tag);

#endif
