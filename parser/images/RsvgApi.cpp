#include "platform/loader/library.h"

// Last: glib's TRUE and FALSE.
#include <mutex>

#include "parser/images/RsvgApi.h"

namespace nbparser {

const RsvgApi* Rsvg(std::string& error) {
  static RsvgApi api{};
  static bool loaded = false;
  static std::string failure;
  static std::once_flag once;
  std::call_once(once, [] {
    using platform::loader::Bind;
    std::string why;
    // The soname the build found, then the same file in the folder pkg-config named. cairo and
    // GLib come in with librsvg; a symbol lookup through its handle finds them there.
    void* library =
        platform::loader::OpenLibrary({NB_RSVG_SONAME, NB_RSVG_LIBDIR "/" NB_RSVG_SONAME}, why);
    loaded =
        library && Bind(library, "rsvg_handle_new_from_data", api.handleNewFromData, why) &&
        Bind(library, "rsvg_handle_get_intrinsic_size_in_pixels", api.intrinsicSizeInPixels, why) &&
        Bind(library, "rsvg_handle_get_intrinsic_dimensions", api.intrinsicDimensions, why) &&
        Bind(library, "rsvg_handle_render_document", api.renderDocument, why) &&
        Bind(library, "g_error_free", api.errorFree, why) &&
        Bind(library, "g_object_unref", api.objectUnref, why) &&
        Bind(library, "cairo_image_surface_create", api.imageSurfaceCreate, why) &&
        Bind(library, "cairo_create", api.create, why) &&
        Bind(library, "cairo_destroy", api.destroy, why) &&
        Bind(library, "cairo_surface_status", api.surfaceStatus, why) &&
        Bind(library, "cairo_surface_write_to_png_stream", api.writeToPngStream, why) &&
        Bind(library, "cairo_surface_destroy", api.surfaceDestroy, why);
    if (!loaded) failure = std::string("cannot load " NB_RSVG_SONAME ": ") + why;
  });
  if (!loaded) {
    error = failure;
    return nullptr;
  }
  return &api;
}

}  // namespace nbparser
