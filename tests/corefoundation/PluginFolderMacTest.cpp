#include <gtest/gtest.h>

#include <string>

#include "Support.h"
#include "platform/OsServices.h"

namespace {

TEST(PluginFolderMac, TheFolderThatHoldsTheBundle) {
    const struct {
        const char* bundleUrl;  // nullptr: the host gave no instance
        const char* folder;
    } cases[] = {
        {"file:///Applications/FileMaker%20Pro/Extensions/Kestova.fmplugin/",
         "/Applications/FileMaker Pro/Extensions/"},
        {"file:///Users/ann/Library/Application%20Support/FileMaker/Extensions/Kestova.fmplugin",
         "/Users/ann/Library/Application Support/FileMaker/Extensions/"},
        {"file:///Kestova.fmplugin/", "/"},
        {"https://host/Kestova.fmplugin/", ""},
        {nullptr, ""},
    };
    for (const auto& c : cases) {
        Owned<CFBundleRef> bundle;
        if (c.bundleUrl != nullptr) {
            const auto text = MakeString(c.bundleUrl);
            const Owned<CFURLRef> url(
                CFURLCreateWithString(kCFAllocatorDefault, text.get(), nullptr));
            bundle.reset(CFBundleCreate(kCFAllocatorDefault, url.get()));
        }
        EXPECT_EQ(BundleFolder(bundle.get()), c.folder) << (c.bundleUrl ? c.bundleUrl : "(none)");
    }
}

}  // namespace
