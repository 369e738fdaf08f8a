// The Linux backend reads the trust store once, and again only when the CA bundle changes or a
// day has passed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>

#include "TestSupport.h"
#include "transport/CurlTls.h"

namespace {

constexpr char kSystemBundle[] = "/etc/ssl/certs/ca-certificates.crt";

void SetModificationTime(const std::string& path, time_t seconds) {
    const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
}

TEST(TrustStoreCache, ReadOnceThenAgainWhenTheBundleChangesOrADayHasPassed) {
    using std::chrono::hours;
    pgvtest::CTempDir dir;
    const std::string bundle = dir.File("bundle.pem");
    std::filesystem::copy_file(kSystemBundle, bundle);
    SetModificationTime(bundle, 1000);
    const auto start = std::chrono::system_clock::now();

    const struct {
        std::chrono::system_clock::duration after;  // since the first read
        time_t bundleTime;                          // 0: the bundle is gone
        int loads;
    } steps[] = {
        {hours(0), 1000, 1},  {hours(1), 1000, 1},  {hours(23), 1000, 1}, {hours(24), 1000, 2},
        {hours(25), 2000, 3}, {hours(26), 2000, 3}, {hours(-1), 2000, 4},  // a clock set back
        {hours(0), 0, 5},
    };
    CTrustStoreCache cache(bundle, "");
    for (const auto& step : steps) {
        if (step.bundleTime == 0) {
            std::filesystem::remove(bundle);
        } else {
            SetModificationTime(bundle, step.bundleTime);
        }
        X509_STORE* store = cache.Get(start + step.after);
        EXPECT_EQ(store != nullptr, step.bundleTime != 0) << step.loads;
        EXPECT_EQ(cache.Loads(), step.loads);
    }
}

}  // namespace
