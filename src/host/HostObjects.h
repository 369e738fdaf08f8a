// Host objects the plug-in creates, each released by whoever created it, and the two ways the
// calculation functions meet host texts: reading a parameter, writing the result.
#ifndef PAYGROVE_HOST_HOSTOBJECTS_H
#define PAYGROVE_HOST_HOSTOBJECTS_H

#include <FMWrapper/FMWrapper.h>

#include <string>

class CHostText {
public:
    CHostText();
    ~CHostText();
    CHostText(const CHostText&) = delete;
    CHostText& operator=(const CHostText&) = delete;

    void Assign(const char* bytes);
    const FMX_Text* Get() const { return m_Text; }

private:
    FMX_Text* m_Text;
};

class CHostLocale {
public:
    CHostLocale();
    ~CHostLocale();
    CHostLocale(const CHostLocale&) = delete;
    CHostLocale& operator=(const CHostLocale&) = delete;

    const FMX_Locale* Get() const { return m_Locale; }

private:
    FMX_Locale* m_Locale;
};

class CHostQuadChar {
public:
    CHostQuadChar(char c0, char c1, char c2, char c3);
    ~CHostQuadChar();
    CHostQuadChar(const CHostQuadChar&) = delete;
    CHostQuadChar& operator=(const CHostQuadChar&) = delete;

    const FMX_QuadChar* Get() const { return m_Quad; }

private:
    FMX_QuadChar* m_Quad;
};

// The parameter at `index` as native bytes, kept in a buffer of `bufferSize` bytes: a longer
// text is cut, as the host cuts it.
std::string ReadTextParameter(const FMX_DataVect* parms, uint32_t index, size_t bufferSize);

// Length of the parameter at `index` in the host's 16-bit characters.
uint32_t TextParameterSize(const FMX_DataVect* parms, uint32_t index);

void SetResultText(FMX_Data* result, const char* bytes, const FMX_Locale* locale);

#endif
