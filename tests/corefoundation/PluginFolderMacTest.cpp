#include <FMWrapper/FMWrapper.h>
#include <gtest/gtest.h>

#include <string>

#include "Support.h"
#include "log/PluginFolder.h"

// The plug-in's own definition lives with its entry point, which this test does without.
FMX_ExternCallPtr gFMX_ExternCallPtr = nullptr;

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
        FMX_ExternCallStruct block = {};
        block.instanceID = bundle.get();
        gFMX_ExternCallPtr = &block;
        EXPECT_EQ(PluginFolder(), c.folder) << (c.bundleUrl ? c.bundleUrl : "(none)");
        gFMX_ExternCallPtr = nullptr;
    }
    EXPECT_EQ(PluginFolder(), "") << "no call block";
}

}  // namespace
