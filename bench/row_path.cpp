#include "row_path.h"

#include <array>
#include <cstring>

#include "rtl/printer_models.h"
#include "rtl/rtl.h"

namespace tarnwick::bench {

// The printer class with the page geometry and plane order set directly, as tests do.
class RowPath::Engine : public RTL {
  public:
    Engine(JobContext* ctx, OutputChannel* out) {
        m_pCtx = ctx;
        m_pOutput = out;
    }
    ~Engine() override {
        m_pCtx = nullptr;
        m_pOutput = nullptr;
    }

    void SetPage(const Page& page) {
        m_nDevResX = page.dpi();
        m_nDevResY = page.dpi();
        m_nDevWidth = page.rowBytes() * 8;
        m_nDevHeight = page.rows();
        m_nDevOffsetY = 0;
        m_nRowBufSize = page.rowBytes();
        InitPlaneOrder();
        for (int k = 0; k < kPlanes; ++k) {
            m_order[static_cast<std::size_t>(k)] =
                static_cast<int8_t>(GetPlaneOrder(static_cast<int16_t>(k)));
        }
    }
    std::span<const int8_t> Order() const { return m_order; }

  private:
    std::array<int8_t, kPlanes> m_order{};
};

namespace {
constexpr int kSixInkMode = 2;  // CMYKLcLm
}

RowPath::RowPath(const Page& page, OutputChannel& out)
    : m_page(page),
      m_ctx(std::make_unique<JobContext>()),
      m_job(std::make_unique<HostJobRecord>()) {
    std::memset(m_job.get(), 0, sizeof(HostJobRecord));
    *m_ctx = JobContext{};
    m_ctx->m_pJob = m_job.get();
    m_ctx->m_nScaleX = 1;
    m_ctx->m_nScaleY = 1;
    m_ctx->m_nJobResX = static_cast<int16_t>(page.dpi());
    m_ctx->m_nJobResY = static_cast<int16_t>(page.dpi());
    m_ctx->m_nColorModel = kSixInkMode;
    m_ctx->m_nFullWidth = page.rowBytes() * 8;
    m_ctx->m_nFullHeight = page.rows();
    m_ctx->m_nImageWidth = m_ctx->m_nFullWidth;
    m_ctx->m_nImageHeight = page.rows();
    std::strncpy(m_ctx->m_szPrinterModel, "CP52", sizeof m_ctx->m_szPrinterModel - 1);
    m_engine = std::make_unique<Engine>(m_ctx.get(), &out);
    m_engine->GetColorPlanes(kSixInkMode, &m_ctx->m_nPlanes, &m_ctx->m_nPlaneLayout);
    PrinterSettings& settings = m_ctx->m_Settings.settings;
    RTL::ResetSettings(&settings);
    settings.colorBar = 0;
    m_engine->IdentifyPrinterModel(&settings);
    m_engine->SetPage(page);
}

RowPath::~RowPath() {
    m_engine.reset();
}

std::span<const int8_t> RowPath::PlaneOrder() const {
    return m_engine->Order();
}

bool RowPath::Start(std::string& error) {
    if (m_ctx->m_nPlanes != kPlanes) {
        error = "colour mode 2 does not have six planes";
        return false;
    }
    if (m_engine->SendHeader() == 0) {
        error = "SendHeader refused the page";
        return false;
    }
    return true;
}

bool RowPath::SendPage() {
    std::array<int32_t, kMaxPlanes> lengths{};
    std::array<uint8_t*, kMaxPlanes> rows{};
    lengths.fill(m_page.rowBytes());
    for (int r = 0; r < m_page.rows(); ++r) {
        for (int p = 0; p < kPlanes; ++p) {
            // With the colour bar off the rows are only read.
            rows[static_cast<std::size_t>(p)] = const_cast<uint8_t*>(m_page.Row(p, r));
        }
        if (m_engine->SendAllColorData(lengths.data(), rows.data()) == 0) return false;
    }
    m_engine->WriteNdata(nullptr, 0, 1);
    return true;
}

}  // namespace tarnwick::bench
