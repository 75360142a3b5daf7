// A printer class under test: a job context and host record of its own, an
// output channel that keeps every write apart, and a record of every
// WriteNdata call (with a way to make one of them fail).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "rtl/rtl.h"
#include "tarnwick/records.h"

namespace tarnwick::rtl_test {

class CapturingChannel : public OutputChannel {
  public:
    int32_t Write(const uint8_t* data, int32_t length, int64_t tag) override {
        writes.emplace_back(reinterpret_cast<const char*>(data), static_cast<std::size_t>(length));
        tags.push_back(tag);
        return length;
    }
    std::vector<std::string> writes;
    std::vector<int64_t> tags;
};

struct WriteCall {
    std::string bytes;
    int flush;
};

class TestRTL : public RTL {
  public:
    TestRTL(JobContext* ctx, OutputChannel* out) {
        m_pCtx = ctx;
        m_pOutput = out;
    }
    // The context belongs to the fixture; the engine must not look at it
    // while it is being torn down.
    ~TestRTL() override {
        m_pCtx = nullptr;
        m_pOutput = nullptr;
    }

    int32_t WriteNdata(const uint8_t* data, int32_t n, int flush) override {
        calls.push_back(
            {n > 0 ? std::string(reinterpret_cast<const char*>(data), static_cast<std::size_t>(n))
                   : std::string(),
             flush});
        if (failCall && *failCall == calls.size() - 1) return failResult;
        return RTL::WriteNdata(data, n, flush);
    }

    void SetGeometry(int32_t resX, int32_t resY, int32_t devWidth, int32_t devHeight,
                     int32_t offsetY) {
        m_nDevResX = resX;
        m_nDevResY = resY;
        m_nDevWidth = devWidth;
        m_nDevHeight = devHeight;
        m_nDevOffsetY = offsetY;
    }
    void SetRowBufSize(int32_t size) { m_nRowBufSize = size; }
    int PlaneOrderAt(int i) const { return m_PlaneOrder[static_cast<std::size_t>(i)]; }
    void SetPlaneOrderAt(int i, int8_t v) { m_PlaneOrder[static_cast<std::size_t>(i)] = v; }
    uint8_t* Scratch() { return m_pScratchBuf.get(); }

    std::vector<WriteCall> calls;
    std::optional<std::size_t> failCall;  // index of the call that gets failResult
    int32_t failResult = 0;
};

class RtlTest : public ::testing::Test {
  protected:
    RtlTest() {
        job.m_nOutputTag = 0x5eed;
        ctx.m_pJob = &job;
        ctx.m_nScaleX = 1;
        ctx.m_nScaleY = 1;
        ctx.m_nPlanes = 4;
        rtl = std::make_unique<TestRTL>(&ctx, &channel);
    }

    // What StartJob does before the first page: settings record, model class.
    PrinterSettings& StartJob(const char* model) {
        std::strncpy(ctx.m_szPrinterModel, model, sizeof(ctx.m_szPrinterModel) - 1);
        rtl->IdentifyPrinterModel(&ctx.m_Settings.settings);
        return ctx.m_Settings.settings;
    }

    std::vector<std::string> Items() const {
        std::vector<std::string> items;
        for (const auto& call : rtl->calls) items.push_back(call.bytes);
        return items;
    }
    std::string Stream() const {
        std::string all;
        for (const auto& call : rtl->calls) all += call.bytes;
        return all;
    }

    HostJobRecord job{};
    JobContext ctx{};
    CapturingChannel channel;
    std::unique_ptr<TestRTL> rtl;
};

}  // namespace tarnwick::rtl_test
