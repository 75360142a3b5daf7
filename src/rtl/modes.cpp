// Print modes and the resolution of each, as the host lists them.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <span>

#include "host/kv_log.h"
#include "rtl/printer_models.h"
#include "rtl/rtl.h"
#include "rtl/rtl_log.h"

namespace tarnwick {
namespace {

// Mode names are copied into the list entries with at most this many
// characters.
constexpr std::size_t kModeNameLimit = 64;
// The CP52-LM prints every mode but NORMAL as SUPER.
constexpr int32_t kCp52LmSuperMode = 1;

void CopyModeName(char (&dst)[256], const char* name) {
    std::memset(dst, 0, sizeof(dst));
    std::memcpy(dst, name, std::min(std::strlen(name), kModeNameLimit));
}

}  // namespace

int RTL::GetPrintModes(const char* model, PrintModeEntry* /*current*/, PrintModeList* out,
                       int32_t* outValue) {
    if (out == nullptr) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E').Log("GetPrintModes without a list");
        return 0;
    }
    std::span<const PrintModeInfo> modes = PrintModes();
    if (IsExactlyCp52Lm(model)) modes = modes.first(kCp52LmModeCount);
    for (std::size_t i = 0; i < modes.size(); ++i) {
        PrintModeEntry entry{};
        entry.index = static_cast<int32_t>(i);
        CopyModeName(entry.name, modes[i].name);
        CopyModeName(entry.name2, modes[i].name);
        out->push_back(entry);
    }
    if (outValue != nullptr) *outValue = 1;
    return 1;
}

int RTL::GetResolutions(const char* model, PrintModeEntry* /*current*/, int32_t* printMode,
                        ResolutionList* out, int32_t* outValue) {
    if (out == nullptr || printMode == nullptr) {
        KVLogHelper(kRtlLogSource, __LINE__, 'E').Log("GetResolutions without a mode or a list");
        return 0;
    }
    int32_t mode = *printMode;
    // The CP52-LM only knows NORMAL and SUPER; every other choice prints as SUPER.
    if (IsExactlyCp52Lm(model) && mode != 0) mode = kCp52LmSuperMode;
    const int32_t dpi = ModeResolution(mode);
    char name[16];
    std::snprintf(name, sizeof(name), "%d", dpi);
    ResolutionEntry entry{};
    MakeResolutionEntry(&entry, dpi, dpi, mode, name, nullptr);
    out->push_back(entry);
    if (outValue != nullptr) *outValue = 0;
    return 1;
}

}  // namespace tarnwick
