// The end of every page (and of an aborted job): leave raster graphics,
// advance or cut the sheet, reset the printer and flush the output.
#include "host/kv_log.h"
#include "rtl/command_text.h"
#include "rtl/printer_models.h"
#include "rtl/rtl.h"
#include "rtl/rtl_log.h"

namespace tarnwick {
namespace {

constexpr int32_t kJoinKeepOpen = 1;
constexpr char kEndRaster[] = "\033*rC";
constexpr char kUel[] = "\033%-12345X";
constexpr char kSheetCut[] = "@PJL DO SHEETCUT\n";
constexpr char kNamedReset[] = "@PJL RESET\n@PJL ENTER LANGUAGE=RESET\n\033E";

}  // namespace

int RTL::ResetPrinter(Word, Word, Word) {
    if (!HasJob("ResetPrinter")) return 0;
    return m_pSettings->modelClass == kModelGeneric ? SendGenericPageEnd() : SendNamedPageEnd();
}

int RTL::SendGenericPageEnd() {
    const PrinterSettings& s = *m_pSettings;
    if (WriteCommand("%s%s", kEndRaster, kUel) < 0) return 0;
    // A generic printer cuts whatever "Advance After Print" says.
    if (s.driverOptionsOff != 1 && s.cutSheet != 0) {
        if (WriteLiteral(kSheetCut) <= 0) return 0;
    }
    CommandText reset(CmdBuffer());
    reset.Append("@PJL RESET\n@PJL ENTER LANGUAGE=RTL\n\033E");
    return WriteText(reset, 1) >= 0 ? 1 : 0;
}

int RTL::SendNamedPageEnd() {
    const PrinterSettings& s = *m_pSettings;
    CommandText text(CmdBuffer());
    text.Append(kEndRaster);
    if (m_pCtx->m_bAbort != 0) {
        // An aborted job ends the same way whatever the settings say.
        text.Append("\033%0B!PG;");
        text.Append(kUel);
        text.Append("@PJL\n");
        text.Append(kNamedReset);
    } else if (m_pCtx->m_pJob->m_nJoinMode != kJoinKeepOpen) {
        const bool optionsOn = s.driverOptionsOff == 0;
        // Without the advance the plot language parks the pen and ends the
        // page without feeding it out.
        text.Append(optionsOn && s.advanceAfterPrint == 0 ? "\033%0B!ST1;PU;PA0,0;!PG0"
                                                          : "\033%0BPG;");
        text.Append(kUel);
        text.Append("@PJL\n");
        // The sheet can only be cut once it has been advanced.
        if (optionsOn && s.advanceAfterPrint != 0 && s.cutSheet != 0) text.Append(kSheetCut);
        text.Append(kNamedReset);
    }
    return WriteText(text, 1) >= 0 ? 1 : 0;
}

}  // namespace tarnwick
