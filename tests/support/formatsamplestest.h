#pragma once

#include "tests/support/formatsamples.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace plumtide::test
{

// A suite of tests that read the samples: made once for all of them, skipped without ffmpeg.
class FormatSamplesTest : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (!HaveFfmpeg())
            return;
        s_samples = new QTemporaryDir;
        s_made = MakeFormatSamples(s_samples->path());
    }
    static void TearDownTestSuite()
    {
        delete s_samples;
        s_samples = nullptr;
    }
    void SetUp() override
    {
        if (!s_samples)
            GTEST_SKIP() << "ffmpeg is missing (scripts/setup.sh installs it)";
        ASSERT_TRUE(s_made) << "scripts/make_format_samples.sh failed";
    }

    static QString Sample(const QString& name) { return s_samples->filePath(name); }

private:
    static inline QTemporaryDir* s_samples = nullptr;
    static inline bool s_made = false;
};

} // namespace plumtide::test
