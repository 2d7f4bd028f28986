// librsvg and the cairo and GLib functions drawing with it needs, opened at the first SVG image
// rather than linked: librsvg brings some fifty libraries, which a page without SVG should not
// pay for at start-up. Include after the platform's headers: glib defines TRUE and FALSE.
#pragma once

// clang-format off
#include <cairo.h>
#include <librsvg/rsvg.h>
// clang-format on

#include <string>

namespace nbparser {

struct RsvgApi {
  decltype(&::rsvg_handle_new_from_data) handleNewFromData;
  decltype(&::rsvg_handle_get_intrinsic_size_in_pixels) intrinsicSizeInPixels;
  decltype(&::rsvg_handle_get_intrinsic_dimensions) intrinsicDimensions;
  decltype(&::rsvg_handle_render_document) renderDocument;
  decltype(&::g_error_free) errorFree;
  decltype(&::g_object_unref) objectUnref;
  decltype(&::cairo_image_surface_create) imageSurfaceCreate;
  decltype(&::cairo_create) create;
  decltype(&::cairo_destroy) destroy;
  decltype(&::cairo_surface_status) surfaceStatus;
  decltype(&::cairo_surface_write_to_png_stream) writeToPngStream;
  decltype(&::cairo_surface_destroy) surfaceDestroy;
};

// The functions, loaded once per process; null when librsvg cannot be loaded or lacks one, with
// the reason in error ("cannot load librsvg-2.so.2: ...").
const RsvgApi* Rsvg(std::string& error);

}  // namespace nbparser
