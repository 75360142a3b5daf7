// Pictures of widgets as PNG files.
#pragma once

#include <gtkmm.h>

#include <string>

namespace tarnwick::gtk {

// Draws the widget, as laid out now, into a PNG file at its own size.
// Returns false and sets error when it has no size yet or the file cannot
// be written.
bool SaveWidgetPng(Gtk::Widget& widget, const std::string& path, std::string& error);

}  // namespace tarnwick::gtk
