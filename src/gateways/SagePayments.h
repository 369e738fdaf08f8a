// Sage Payments: card transactions and batch settlement by POST; the answer is a fixed-position
// record.
#ifndef PAYGROVE_GATEWAYS_SAGEPAYMENTS_H
#define PAYGROVE_GATEWAYS_SAGEPAYMENTS_H

#include "gateway/AuthBase.h"

class CSage : public CAuthBase {
public:
    CSage();

    const char* const* GetResponseFieldOrder() override;
    char GetDelimiter() override;
    const char* GetURL() override;
    int GetRequestFlags() override;
    bool ParseResults(std::string& response) override;
    int SetParameters(const char* text) override;
    const SResultTable& GetResultTable() override;
    const char* const* GetSecretParameterNames() override;

    bool m_IsSettlement;

private:
    bool StoreField(const std::string& response, size_t offset, size_t width, const char* name);
};

#endif
