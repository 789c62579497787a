// The wait window: borderless, centred, always on top, dark blue, 50 pixels high; the caption in white,
// centred, and the window 1.3 times as wide as the caption. It stays until the library ends it (SIGTERM).

#include <glib-unix.h>
#include <gtk/gtk.h>

#include <csignal>
#include <string>

#include "tools/qzfp-confirm/Windows.h"

namespace qzconfirm {

namespace {

constexpr int kInitialWidth = 100;
constexpr int kHeight = 50;
constexpr const char* kCaptionFont = "Sans Bold 10";

struct WaitState {
  std::string fCaption;
  int fLabelWidth = 0;
  int fLabelHeight = 0;
  int fWidth = kInitialWidth;
};

PangoLayout* CaptionLayout(PangoContext* aContext, const std::string& aCaption) {
  PangoLayout* layout = pango_layout_new(aContext);
  PangoFontDescription* font = pango_font_description_from_string(kCaptionFont);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
  pango_layout_set_text(layout, aCaption.c_str(), -1);
  return layout;
}

gboolean OnDraw(GtkWidget* aWidget, cairo_t* aCairo, gpointer aData) {
  auto* state = static_cast<WaitState*>(aData);
  cairo_set_source_rgb(aCairo, kDarkBlue.fRed / 255.0, kDarkBlue.fGreen / 255.0, kDarkBlue.fBlue / 255.0);
  cairo_paint(aCairo);
  PangoLayout* layout = CaptionLayout(gtk_widget_get_pango_context(aWidget), state->fCaption);
  cairo_set_source_rgb(aCairo, 1, 1, 1);
  cairo_move_to(aCairo, (state->fWidth - state->fLabelWidth) / 2, (kHeight - state->fLabelHeight) / 2);
  pango_cairo_show_layout(aCairo, layout);
  g_object_unref(layout);
  return TRUE;
}

gboolean OnStopSignal(gpointer) {
  gtk_main_quit();
  return G_SOURCE_REMOVE;
}

}  // namespace

int RunWait(const std::string& aCaption) {
  WaitState state;
  state.fCaption = aCaption;

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  gtk_window_set_title(GTK_WINDOW(window), "qzfp-wait");
  gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);
  gtk_window_set_accept_focus(GTK_WINDOW(window), FALSE);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);

  GtkWidget* canvas = gtk_drawing_area_new();
  PangoLayout* layout = CaptionLayout(gtk_widget_get_pango_context(canvas), aCaption);
  pango_layout_get_pixel_size(layout, &state.fLabelWidth, &state.fLabelHeight);
  g_object_unref(layout);
  state.fWidth = static_cast<int>(state.fLabelWidth * 1.3);
  gtk_widget_set_size_request(canvas, state.fWidth, kHeight);
  gtk_container_add(GTK_CONTAINER(window), canvas);
  g_signal_connect(canvas, "draw", G_CALLBACK(OnDraw), &state);
  // The window has no close box: it ends when the library stops it.
  g_signal_connect(window, "delete-event", G_CALLBACK(gtk_true), nullptr);
  g_unix_signal_add(SIGTERM, OnStopSignal, nullptr);
  g_unix_signal_add(SIGINT, OnStopSignal, nullptr);

  gtk_widget_show_all(window);
  gtk_main();
  gtk_widget_destroy(window);
  return 0;
}

}  // namespace qzconfirm
