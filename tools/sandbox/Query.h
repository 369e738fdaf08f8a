// Strict decoding of name=value&name=value text. The gateways reject a query the way the real
// ones do, so that a plug-in that forgets to escape a byte fails here and not only in production.
#ifndef PAYGROVE_SANDBOX_QUERY_H
#define PAYGROVE_SANDBOX_QUERY_H

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pgv::sandbox {

using ParamList = std::vector<std::pair<std::string, std::string>>;

// A query string carries '+' only escaped; a form body may use it for a blank.
enum class EPlus { Forbidden, Blank };

// The first problem with the raw text: a byte that must have been escaped, or a broken %XX.
std::optional<std::string> FindEncodingProblem(std::string_view raw, EPlus plus);

struct SDecodedQuery {
    bool ok = false;
    std::string error;
    ParamList params;
};

SDecodedQuery DecodeQuery(std::string_view raw, EPlus plus);

struct SHttpRequest;

// The query's parameters, then those of a POST body sent as a form; the error names the part.
SDecodedQuery DecodeRequestParams(const SHttpRequest& request);

// Gateway field names are case-insensitive; the first occurrence of a name wins.
class CParams {
public:
    CParams() = default;
    explicit CParams(ParamList params) : params_(std::move(params)) {}

    std::optional<std::string_view> Find(std::string_view name) const;
    bool Has(std::string_view name) const { return Find(name).has_value(); }
    std::string Value(std::string_view name) const;
    const ParamList& All() const { return params_; }

private:
    ParamList params_;
};

}  // namespace pgv::sandbox

#endif
