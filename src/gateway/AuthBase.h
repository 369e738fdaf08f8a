// The gateway base class: one transaction's parameters and results, the transaction log, and the
// virtual operations through which each gateway shapes its request and reads its answer.
#ifndef PAYGROVE_GATEWAY_AUTHBASE_H
#define PAYGROVE_GATEWAY_AUTHBASE_H

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "gateway/Machine.h"
#include "gateway/NormalisedResults.h"
#include "http/Exchange.h"
#include "log/Log.h"

typedef std::map<std::string, std::string> StringMap;

// Request flags, the value of GetRequestFlags.
enum : int {
    kRequestPost = 1,        // the request text is the body of a POST, else the query of a GET
    kRequestEscape = 2,      // every name and value is URL-escaped
    kRequestLengthTags = 4,  // every name carries its value's length in bytes: name[3]=abc
};

class CAuthBase {
public:
    CAuthBase();

    virtual void GetCustomHeaders(std::vector<std::string>& headers);
    // The names of the positional fields of the answer, ended by a null pointer; null when the
    // gateway parses its answer itself.
    virtual const char* const* GetResponseFieldOrder() = 0;
    virtual char GetDelimiter() = 0;
    // The full https endpoint; a GET endpoint ends where the request text begins. Null when the
    // parameters name no endpoint.
    virtual const char* GetURL() = 0;
    virtual int GetRequestFlags() = 0;
    // One HTTPS exchange of the request text with the gateway, through the exchange the gateway
    // was given: the body, or the failure's text, in `response`.
    virtual bool Authorize(const char* request, int timeout, std::string& response);
    // Stores the answer's fields; false when the gateway gives up on the answer, which fails the
    // transaction.
    virtual bool ParseResults(std::string& response);
    virtual ~CAuthBase();
    virtual int SetParameters(const char* text);
    virtual bool Send(int timeout, std::string& response);
    // Where the answer keeps its status and the other normalised values. A gateway without a
    // table of its own reads every answer as an error.
    virtual const SResultTable& GetResultTable();
    // This gateway's own names of secret parameters, ended by a null pointer. The transaction log
    // masks their values along with those of the names every gateway shares.
    virtual const char* const* GetSecretParameterNames();
    // Why the parameters cannot go to the gateway as they stand, or null. The transaction then
    // fails with that text, before any connection.
    virtual const char* GetRequestRefusal();
    // Called once `request` has gone out, with the reading of the gateway's answer, or null when
    // none came: a gateway that answers a repeated request with an earlier transaction's answer
    // tells the two apart here.
    virtual void ReviewAnswer(const std::string& request, SNormalised* answered);

    static int ParseParams(const char* text, StringMap& into, char separator, bool lowerCaseNames);
    void Clear();
    // The exchange every later transaction goes through; the platform's, in the plug-in.
    void SetExchange(std::shared_ptr<IExchange> exchange);
    // The machine a gateway tells its portal about; the platform's, in the plug-in.
    void SetMachine(std::shared_ptr<const IMachine> machine);
    void CreateResultsField();
    void GetResponseFieldValue(const char* name, std::string& value);
    // Whether the gateway may hold the last send's request: it answered, or the exchange failed
    // after some of the request went out. False before any send and after one that failed before
    // anything could leave.
    bool RequestMayHaveBeenSent() const { return m_RequestMayHaveBeenSent; }

    StringMap m_Params;
    StringMap m_Results;
    // The "pgv." names of the last transaction; empty before its send and after Clear.
    StringMap m_Normalised;
    Log m_Log;

protected:
    // Stores the fields of `text`, separated by `delimiter`, under the names of
    // GetResponseFieldOrder: an empty field uses up its name without storing it, fields beyond
    // the last name are dropped.
    void StoreDelimitedFields(const std::string& text, const std::string& delimiter);
    // The machine handed in; without one, a machine of which nothing is known.
    const IMachine& Machine() const;

private:
    std::string BuildRequest(int flags);

    std::shared_ptr<IExchange> m_Exchange;
    std::shared_ptr<const IMachine> m_Machine;
    bool m_RequestMayHaveBeenSent = false;
};

#endif
