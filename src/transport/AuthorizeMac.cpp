#include "gateway/AuthBase.h"
#include "transport/Exchange.h"

bool CAuthBase::Authorize(const char* request, int timeout, std::string& response) {
    try {
        SExchange exchange{GetURL(), GetRequestFlags(), {}, request, timeout};
        GetCustomHeaders(exchange.customHeaders);
        const std::unique_ptr<CUrlHttpSession> session = CreateUrlHttpSession();
        return RunMacExchange(*session, exchange, m_Log, response);
    } catch (...) {
        response = kUnknownSystemFailure;
        return false;
    }
}
