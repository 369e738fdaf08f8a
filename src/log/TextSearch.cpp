#include "log/TextSearch.h"

#include <utility>

CTextSearch::CTextSearch(std::string pattern)
    : m_Pattern(std::move(pattern)), m_Fallback(m_Pattern.size(), 0) {
    size_t matched = 0;
    for (size_t at = 1; at < m_Pattern.size(); ++at) {
        while (matched > 0 && m_Pattern[at] != m_Pattern[matched]) {
            matched = m_Fallback[matched - 1];
        }
        if (m_Pattern[at] == m_Pattern[matched]) {
            ++matched;
        }
        m_Fallback[at] = matched;
    }
}
