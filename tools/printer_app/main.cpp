// tarnwick-printer-app: an IPP Everywhere printer application for the Tarnwick printers. Its
// command line is PAPPL's (server, add, submit, jobs, status, shutdown, devices, drivers,
// options); the printers are described, and their jobs printed, by the driver module.
#include <pappl/pappl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "options_web.h"
#include "pappl_driver.h"
#include "pdf_document.h"

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "unknown"
#endif

namespace {

using tarnwick::app::Catalog;

void Usage(void*) {
    std::puts(
        "Usage: tarnwick-printer-app SUB-COMMAND [OPTIONS] [FILES]\n"
        "An IPP Everywhere printer application for the Tarnwick printers (Generic RTL,\n"
        "ASBRU_V3C, CP52, CP52-LM, Coldstream SP-1400C).\n"
        "\n"
        "Sub-commands: add, cancel, default, delete, devices, drivers, jobs, modify, options,\n"
        "printers, server, shutdown, status, submit (see the manual page).\n"
        "\n"
        "Options:\n"
        "  -d PRINTER              the printer to use\n"
        "  -m DRIVER               the driver of a new printer (see 'drivers')\n"
        "  -v DEVICE-URI           its device: file:///folder, file:///file, socket://host:9100\n"
        "  -o NAME=VALUE           an option: server-port, listen-hostname (default localhost),\n"
        "                          spool-directory, state-file, log-file, log-level,\n"
        "                          raster-max-dpi (default 360), or a job attribute\n"
        "                          (print-quality, print-color-mode, media, tarnwick-...)\n"
        "  --help, --version");
}

std::string g_stateFile;

// A server option that must be a whole number from low to high; false after a message.
// An option not given leaves value as it was.
bool IntegerOption(const char* text, const char* name, long low, long high, int& value) {
    if (text == nullptr) return true;
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (*text == '\0' || *end != '\0' || parsed < low || parsed > high) {
        std::fprintf(stderr, "tarnwick-printer-app: %s '%s' must be %ld to %ld\n", name, text, low,
                     high);
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

bool SaveState(pappl_system_t* system, void*) {
    return papplSystemSaveState(system, g_stateFile.c_str());
}

// The server's system: like PAPPL's own, but listening on the loopback address unless told
// otherwise, and with PDF documents rendered by the application.
pappl_system_t* MakeSystem(int numOptions, cups_option_t* options, void* data) {
    auto option = [&](const char* name) { return cupsGetOption(name, numOptions, options); };
    pappl_loglevel_t level = PAPPL_LOGLEVEL_WARN;
    if (const char* value = option("log-level")) {
        const char* names[] = {"debug", "info", "warn", "error", "fatal"};
        for (int i = 0; i < 5; ++i) {
            if (std::strcmp(value, names[i]) == 0) level = static_cast<pappl_loglevel_t>(i);
        }
    }
    int port = 0;
    int dpi = 0;
    if (!IntegerOption(option("server-port"), "server-port", 0, 65535, port) ||
        !IntegerOption(option("raster-max-dpi"), "raster-max-dpi", 1, 10000, dpi)) {
        return nullptr;
    }
    if (dpi > 0) tarnwick::app::SetRasterMaxDpi(dpi);
    std::string spool;
    if (const char* value = option("spool-directory")) {
        spool = value;
    } else {
        spool = std::string(papplGetTempDir()) + "/tarnwick-printer-app" +
                std::to_string(getuid()) + ".d";
    }
    pappl_system_t* system = papplSystemCreate(
        PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_WEB_INTERFACE, "tarnwick-printer-app", port,
        "_print,_universal", spool.c_str(), option("log-file"), level, nullptr, false);
    if (system == nullptr) return nullptr;
    // PAPPL 1.3 looks the footer up in the client's language even when there is none, and
    // crashes on every web page without one.
    papplSystemSetFooterHTML(system, "Tarnwick printer application " TARNWICK_VERSION);
    const char* listen = option("listen-hostname");
    papplSystemAddListeners(system, listen != nullptr ? listen : "localhost");
    papplSystemAddMIMEFilter(system, "application/pdf", "image/pwg-raster", tarnwick::app::PrintPdf,
                             nullptr);
    // The drivers first: the printers of a saved state are made with them.
    auto* catalog = static_cast<Catalog*>(data);
    papplSystemSetPrinterDrivers(
        system, static_cast<int>(catalog->papplDrivers.size()), catalog->papplDrivers.data(),
        nullptr, tarnwick::app::AddOptionsPage, tarnwick::app::DescribePrinter, catalog);
    // An explicit state file (printers, their defaults) instead of PAPPL's per-user one.
    if (const char* state = option("state-file")) {
        g_stateFile = state;
        papplSystemLoadState(system, state);
        papplSystemSetSaveCallback(system, SaveState, nullptr);
    }
    return system;
}

}  // namespace

int main(int argc, char* argv[]) {
    static Catalog catalog;
    std::string error;
    if (!tarnwick::app::BuildCatalog(catalog, error)) {
        std::fprintf(stderr, "tarnwick-printer-app: %s\n", error.c_str());
        return 1;
    }
    return papplMainloop(argc, argv, TARNWICK_VERSION, nullptr,
                         static_cast<int>(catalog.papplDrivers.size()), catalog.papplDrivers.data(),
                         nullptr, tarnwick::app::DescribePrinter, nullptr, nullptr, MakeSystem,
                         Usage, &catalog);
}
