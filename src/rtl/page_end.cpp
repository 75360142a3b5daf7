// The end of every page (and of an aborted job): leave raster graphics, advance or cut the sheet,
// reset the printer and flush the output.
#include "rtl/rtl.h"

namespace tarnwick {

int RTL::ResetPrinter(Word, Word, Word) {
    if (!HasJob("ResetPrinter")) return 0;
    return Writer().PageEnd(Job()) ? 1 : 0;
}

}  // namespace tarnwick
