// The project's row path alone: RTL::SendAllColorData for every row of a page, through the
// buffered WriteNdata, into a channel. No job file, no line buffers: the rows come straight
// from the page.
#pragma once

#include <memory>
#include <span>
#include <string>

#include "engine/job_context.h"
#include "pages.h"
#include "tarnwick/records.h"

namespace tarnwick::bench {

class RowPath {
  public:
    // A CP52 page of the page's size at its dpi, six planes in the CMYKLcLm order, colour bar
    // off, set up the way the engine's page start leaves it.
    RowPath(const Page& page, OutputChannel& out);
    ~RowPath();
    RowPath(const RowPath&) = delete;
    RowPath& operator=(const RowPath&) = delete;

    // Sends the job header; false with error when the printer class refuses the page.
    bool Start(std::string& error);
    // Sends every row and flushes the output buffer; false on the first refused row.
    bool SendPage();
    // The order in which the planes go out (page plane indexes).
    std::span<const int8_t> PlaneOrder() const;

    class Engine;

  private:
    const Page& m_page;
    std::unique_ptr<JobContext> m_ctx;
    std::unique_ptr<HostJobRecord> m_job;
    std::unique_ptr<Engine> m_engine;
};

}  // namespace tarnwick::bench
