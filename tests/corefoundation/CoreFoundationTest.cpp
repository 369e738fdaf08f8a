#include <CFNetwork/CFNetwork.h>
#include <gtest/gtest.h>

#include <string>

#include "Support.h"

namespace {

TEST(CFString, IntValueReadsLeadingNumberOnly) {
    const struct {
        const char* text;
        SInt32 value;
    } cases[] = {
        {"200", 200},
        {"  42", 42},
        {"-7", -7},
        {"+15", 15},
        {"12abc", 12},
        {"abc", 0},
        {"", 0},
        {"0", 0},
        {"99999999999", 2147483647},
        {"-99999999999", -2147483647 - 1},
    };
    for (const auto& c : cases) {
        const auto string = MakeString(c.text);
        ASSERT_TRUE(string) << c.text;
        EXPECT_EQ(CFStringGetIntValue(string.get()), c.value) << c.text;
    }
}

// Mac Roman maps all 256 bytes, and under its switch the stand-in keeps each as it is; by default
// it refuses the upper half.
TEST(CFString, MacRomanTakesEveryByteOnlyUnderItsSwitch) {
    const struct {
        const char* slack;
        const char* text;
        bool made;
    } cases[] = {
        {"", "Tenvale Paygrove", true},
        {"", "caf\xe9", false},
        {"mac-roman-every-byte", "caf\x8e \x80\xff", true},
    };
    for (const auto& c : cases) {
        const CScopedVariable slack("PGV_CF_SLACK", c.slack);
        const auto string = MakeString(c.text);
        ASSERT_EQ(string != nullptr, c.made) << c.slack << " " << c.text;
        char buffer[32] = {};
        EXPECT_TRUE(!c.made || CFStringGetCString(string.get(), buffer, sizeof buffer,
                                                  kCFStringEncodingMacRoman));
        EXPECT_EQ(std::string(buffer), c.made ? c.text : "") << c.slack;
    }
}

TEST(CFString, GetCStringNeedsRoomForTheTerminator) {
    const auto string = MakeString("abcd");
    char buffer[8] = {};
    EXPECT_FALSE(CFStringGetCString(string.get(), buffer, 4, kCFStringEncodingMacRoman));
    ASSERT_TRUE(CFStringGetCString(string.get(), buffer, 5, kCFStringEncodingMacRoman));
    EXPECT_EQ(std::string(buffer), "abcd");
}

TEST(CFURL, RefusesIllegalCharacters) {
    const struct {
        const char* text;
        bool legal;
    } cases[] = {
        {"https://secure.authorize.net/gateway/transact.dll", true},
        {"https://host/path?a=1&b=%20", true},
        {"", false},
        {"https://host/a b", false},
        {"https://host/a\"b", false},
        {"https://host/a|b", false},
    };
    for (const auto& c : cases) {
        const auto text = MakeString(c.text);
        const Owned<CFURLRef> url(CFURLCreateWithString(kCFAllocatorDefault, text.get(), nullptr));
        EXPECT_EQ(url != nullptr, c.legal) << c.text;
    }
}

TEST(CFBundle, FileSystemRepresentationOfTheBundleUrl) {
    const struct {
        const char* url;
        CFIndex room;
        const char* path;  // nullptr: refused
    } cases[] = {
        {"file:///Applications/FileMaker/Extensions/Kestova.fmplugin/", 256,
         "/Applications/FileMaker/Extensions/Kestova.fmplugin"},
        {"file:///a/b.fmplugin", 256, "/a/b.fmplugin"},
        {"file:///a%20b/c%2fd.fmplugin/", 256, "/a b/c/d.fmplugin"},
        {"file:///a/b%2.fmplugin", 256, nullptr},
        {"file:///a/b%zz.fmplugin", 256, nullptr},
        {"file:///a/b.fmplugin", 13, nullptr},
        {"file:///a/b.fmplugin", 14, "/a/b.fmplugin"},
        {"https://host/a", 256, nullptr},
    };
    for (const auto& c : cases) {
        const auto text = MakeString(c.url);
        const Owned<CFURLRef> url(CFURLCreateWithString(kCFAllocatorDefault, text.get(), nullptr));
        const Owned<CFBundleRef> bundle(CFBundleCreate(kCFAllocatorDefault, url.get()));
        const Owned<CFURLRef> copy(CFBundleCopyBundleURL(bundle.get()));
        UInt8 buffer[256] = {};
        const bool done = CFURLGetFileSystemRepresentation(copy.get(), true, buffer, c.room);
        ASSERT_EQ(done, c.path != nullptr) << c.url;
        if (done) {
            EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer)), c.path);
        }
    }
}

TEST(CFRelease, KeepsObjectsUntilTheLastReference) {
    const auto string = MakeString("kept");
    CFRetain(string.get());
    CFRelease(string.get());
    char buffer[8] = {};
    ASSERT_TRUE(CFStringGetCString(string.get(), buffer, sizeof buffer, kCFStringEncodingUTF8));
    EXPECT_EQ(std::string(buffer), "kept");
}

}  // namespace
