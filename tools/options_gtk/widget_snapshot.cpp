#include "widget_snapshot.h"

#include <cairomm/cairomm.h>

#include <exception>

namespace tarnwick::gtk {

bool SaveWidgetPng(Gtk::Widget& widget, const std::string& path, std::string& error) {
    const Gtk::Allocation area = widget.get_allocation();
    if (!widget.get_realized() || area.get_width() <= 1 || area.get_height() <= 1) {
        error = "the window is not laid out yet";
        return false;
    }
    try {
        auto surface =
            Cairo::ImageSurface::create(Cairo::FORMAT_ARGB32, area.get_width(), area.get_height());
        auto context = Cairo::Context::create(surface);
        gtk_widget_draw(widget.gobj(), context->cobj());
        surface->flush();
        surface->write_to_png(path);
    } catch (const std::exception& e) {
        error = "cannot write " + path + ": " + e.what();
        return false;
    }
    return true;
}

}  // namespace tarnwick::gtk
