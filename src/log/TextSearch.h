// Every place a pattern stands in a text, overlapping places too, in one pass over the text.
// The log mask looks for each secret in lines of up to an answer's size, where a search that
// began again after each near miss would read a secret that almost stands at every byte once for
// every byte of it.
#ifndef PAYGROVE_LOG_TEXTSEARCH_H
#define PAYGROVE_LOG_TEXTSEARCH_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class CTextSearch {
public:
    // `pattern` must not be empty.
    explicit CTextSearch(std::string pattern);

    const std::string& Pattern() const { return m_Pattern; }

    // Calls found(at) for every place the pattern begins, in order. A byte that breaks a partial
    // match carries on from the longest part of it the pattern also begins with (Knuth, Morris
    // and Pratt), so no byte of the text is read more than twice.
    template <class TFound>
    void ForEach(std::string_view text, TFound found) const {
        size_t matched = 0;
        for (size_t at = 0; at < text.size(); ++at) {
            if (matched == 0) {
                at = text.find(m_Pattern[0], at);
                if (at == std::string_view::npos) {
                    return;
                }
            }
            while (matched > 0 && text[at] != m_Pattern[matched]) {
                matched = m_Fallback[matched - 1];
            }
            if (text[at] == m_Pattern[matched]) {
                ++matched;
            }
            if (matched == m_Pattern.size()) {
                found(at + 1 - matched);
                matched = m_Fallback[matched - 1];
            }
        }
    }

private:
    std::string m_Pattern;
    // For each length of a partial match, the longest shorter one that ends it too.
    std::vector<size_t> m_Fallback;
};

#endif
