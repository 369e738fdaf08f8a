// Runs SDK operations while allocations fail, through a replacement of the global operator new
// that the library's own allocations reach too.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "SdkTestSupport.h"

namespace {

// Allocations still allowed before they start failing; negative: never fail.
long gAllocationsLeft = -1;

void* Allocate(std::size_t size) noexcept {
    if (gAllocationsLeft == 0) {
        return nullptr;
    }
    gAllocationsLeft -= gAllocationsLeft > 0 ? 1 : 0;
    return std::malloc(size == 0 ? 1 : size);
}

FMX_ErrorCode Handler(int16_t, const FMX_ExprEnv*, const FMX_DataVect*, FMX_Data*) {
    return 0;
}

TEST(OutOfMemory, IsReportedAndChangesNothing) {
    const std::string longText(200, 'x');
    const Owned<FMX_Text> text = MakeText("kept");
    const Owned<FMX_Text> name = MakeText(longText);
    const Owned<FMX_Data> result(FMHost_Data_New());
    const Owned<FMX_DataVect> parms(FMHost_DataVect_New());
    const Owned<FMX_QuadChar> id(FM_QuadChar_Constructor2('P', 'G', 'V', '1', nullptr));
    const long liveBefore = FMHost_LiveObjectCount();
    FMHost_ClearRegistrations();
    FMX_Except assign{}, set{}, reg{}, made{}, counted{};
    FMX_Text* none = nullptr;
    FMX_Text* uncounted = nullptr;
    int appended = 1;
    gAllocationsLeft = 0;
    FM_Text_Assign(text.get(), longText.c_str(), kFMX_EncodingUTF8, &assign);
    FM_Data_SetAsText(result.get(), name.get(), FM_Data_GetLocale(result.get(), nullptr),
                      kFMX_DataTypeText, &set);
    appended = FMHost_DataVect_AppendText(parms.get(), longText.c_str());
    FM_ExprEnv_RegisterExternalFunction(id.get(), 1, name.get(), name.get(), 0, 0,
                                        kFMX_AllCompatible, Handler, &reg);
    none = FM_Text_Constructor1(&made);
    // Enough for the object but not for counting it as live.
    gAllocationsLeft = 1;
    uncounted = FM_Text_Constructor1(&counted);
    gAllocationsLeft = -1;

    for (const FMX_Except& x : {assign, set, reg, made, counted}) {
        EXPECT_EQ(x.m_code, kFMX_ErrOutOfMemory);
    }
    EXPECT_EQ(ReadText(text.get()), "kept");
    EXPECT_FALSE(FMHost_Data_IsSet(result.get()));
    EXPECT_EQ(appended, 0);
    EXPECT_EQ(FM_DataVect_Size(parms.get(), nullptr), 0u);
    EXPECT_EQ(FMHost_RegisteredCount(), 0u);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(uncounted, nullptr);
    EXPECT_EQ(FMHost_LiveObjectCount(), liveBefore);
}

}  // namespace

// Exported so that the library's calls resolve to them as well as the test's own.
#define PGV_EXPORTED __attribute__((visibility("default")))
PGV_EXPORTED void* operator new(std::size_t size) {
    if (void* memory = Allocate(size)) {
        return memory;
    }
    throw std::bad_alloc();
}
PGV_EXPORTED void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return Allocate(size);
}
PGV_EXPORTED void operator delete(void* memory) noexcept {
    std::free(memory);
}
PGV_EXPORTED void operator delete(void* memory, std::size_t) noexcept {
    std::free(memory);
}
PGV_EXPORTED void operator delete(void* memory, const std::nothrow_t&) noexcept {
    std::free(memory);
}
