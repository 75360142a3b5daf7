#include "report.h"

#include <cstdio>

namespace tarnwick::bench {
namespace {

std::string Format(const char* fmt, double value) {
    char text[64];
    std::snprintf(text, sizeof text, fmt, value);
    return text;
}

std::string MiB(int64_t kib) {
    return Format("%.1f MiB", static_cast<double>(kib) / 1024.0);
}

}  // namespace

double Report::MBps(const Result& r) {
    return r.seconds > 0 ? static_cast<double>(r.inputBytes) / r.seconds / 1e6 : 0;
}

double Report::WallMBps(const Result& r) {
    return r.wallSeconds > 0 ? static_cast<double>(r.inputBytes) / r.wallSeconds / 1e6 : 0;
}

double Report::NsPerPlaneRow(const Result& r) {
    return r.planeRows > 0 ? r.seconds * 1e9 / static_cast<double>(r.planeRows) : 0;
}

const Result* Report::Find(const std::string& measurement, const std::string& page, int dpi) const {
    for (const Result& r : m_results) {
        if (r.measurement == measurement && r.page == page && r.dpi == dpi) return &r;
    }
    return nullptr;
}

std::optional<double> Report::MemcpyMBps() const {
    if (const Result* r = Find(kMemcpyName, "", 0)) return MBps(*r);
    return std::nullopt;
}

std::optional<double> Report::PeerMBps(const std::string& page, int dpi) const {
    for (const Result& r : m_results) {
        if (r.peer && r.page == page && r.dpi == dpi) return MBps(r);
    }
    return std::nullopt;
}

bool Report::AllPass() const {
    for (const Target& t : m_targets) {
        if (!t.pass) return false;
    }
    return !m_targets.empty();
}

void Report::Print(std::ostream& out) const {
    out << "Machine: " << m_machine.cpuModel << ", " << m_machine.cores << " cores, "
        << m_machine.memoryMiB << " MiB memory\n\n";
    out << "| measurement | page | dpi | MB/s | ns/plane row | out/in | x memcpy | x libtiff | "
           "wall "
           "MB/s |\n"
        << "|---|---|---:|---:|---:|---:|---:|---:|---:|\n";
    const auto memcpy = MemcpyMBps();
    for (const Result& r : m_results) {
        const double mbps = MBps(r);
        const auto peer = PeerMBps(r.page, r.dpi);
        out << "| " << r.measurement << " | " << (r.page.empty() ? "-" : r.page) << " | "
            << (r.dpi > 0 ? std::to_string(r.dpi) : "-") << " | " << Format("%.0f", mbps) << " | "
            << (r.planeRows > 0 ? Format("%.0f", NsPerPlaneRow(r)) : "-") << " | "
            << (r.outputBytes >= 0 ? Format("%.3f", static_cast<double>(r.outputBytes) /
                                                        static_cast<double>(r.inputBytes))
                                   : "-")
            << " | " << (memcpy ? Format("%.2f", mbps / *memcpy) : "-") << " | "
            << (peer && !r.page.empty() ? Format("%.2f", mbps / *peer) : "-") << " | "
            << Format("%.0f", WallMBps(r)) << " |\n";
    }
    if (!m_layers.empty()) {
        out << "\n| whole print, ns per plane row (720 dpi) | job reader | line buffers, PackBits, "
               "framing, output buffer | writing the file | whole print to a file |\n"
            << "|---|---:|---:|---:|---:|\n";
        for (const LayerSplit& l : m_layers) {
            out << "| " << l.page << " | " << Format("%.0f", l.reader) << " | "
                << Format("%.0f", l.engine) << " | " << Format("%.0f", l.file) << " | "
                << Format("%.0f", l.total) << " |\n";
        }
    }
    if (!m_memory.empty()) {
        out << "\n| peak memory of a whole print | rows | plane data | at start | peak RSS |\n"
            << "|---|---:|---:|---:|---:|\n";
        for (const MemoryResult& m : m_memory) {
            out << "| " << m.page << " | " << m.rows << " | "
                << Format("%.0f MB", static_cast<double>(m.planeBytes) / 1e6) << " | "
                << MiB(m.startKiB) << " | " << MiB(m.peakKiB) << " |\n";
        }
    }
    if (!m_syscalls.empty()) {
        out << "\nSystem calls of a whole print (strace -c -f):\n";
        for (const std::string& line : m_syscalls) out << "- " << line << "\n";
    }
    if (!m_notes.empty()) {
        out << "\nNotes:\n";
        for (const std::string& note : m_notes) out << "- " << note << "\n";
    }
    out << "\nTargets:\n";
    for (const Target& t : m_targets) out << (t.pass ? "PASS " : "FAIL ") << t.text << "\n";
    out << (AllPass() ? "\nAll targets met.\n" : "\nSome targets were missed.\n");
}

}  // namespace tarnwick::bench
