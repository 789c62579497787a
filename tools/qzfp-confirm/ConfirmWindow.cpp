// The confirmation window: 600 x 400, borderless, centred; a 70-pixel dark blue title band, the question
// centred in the caller's colour, and a bottom band a quarter of the window high holding the buttons
// Yes, No, Cancel (those asked for, in that order, side by side from the left, equal widths).

#include <gtk/gtk.h>

#include <string>
#include <vector>

#include "tools/qzfp-confirm/Windows.h"

namespace qzconfirm {

namespace {

constexpr int kWindowWidth = 600;
constexpr int kWindowHeight = 400;
constexpr int kTitleHeight = 70;
constexpr const char* kTitleFont = "Sans Bold 12";
constexpr const char* kMessageFont = "Sans Bold 10";
constexpr const char* kButtonFont = "Sans Bold 12";

struct Button {
  int fAnswer;
  const char* fCaption;
  Rgb fColor;
  GdkRectangle fArea;
};

struct ConfirmState {
  ConfirmRequest fRequest;
  std::vector<Button> fButtons;
  int fButtonWidth = 0;
  int fAnswer = kExitCancel;
  int fPressedButton = -1;
  bool fAnswered = false;
  GtkWidget* fWindow = nullptr;
  GdkCursor* fHandCursor = nullptr;
};

void SetColor(cairo_t* aCairo, Rgb aColor) {
  cairo_set_source_rgb(aCairo, aColor.fRed / 255.0, aColor.fGreen / 255.0, aColor.fBlue / 255.0);
}

PangoLayout* MakeLayout(cairo_t* aCairo, const char* aFont, const std::string& aText) {
  PangoLayout* layout = pango_cairo_create_layout(aCairo);
  PangoFontDescription* font = pango_font_description_from_string(aFont);
  pango_layout_set_font_description(layout, font);
  pango_font_description_free(font);
  pango_layout_set_alignment(layout, PANGO_ALIGN_CENTER);
  pango_layout_set_text(layout, aText.c_str(), -1);
  return layout;
}

// Draws aText centred in the rectangle.
void DrawCentred(cairo_t* aCairo, const char* aFont, const std::string& aText, Rgb aColor, int aLeft,
                 int aTop, int aWidth, int aHeight) {
  PangoLayout* layout = MakeLayout(aCairo, aFont, aText);
  int width = 0;
  int height = 0;
  pango_layout_get_pixel_size(layout, &width, &height);
  SetColor(aCairo, aColor);
  cairo_move_to(aCairo, aLeft + (aWidth - width) / 2, aTop + (aHeight - height) / 2);
  pango_cairo_show_layout(aCairo, layout);
  g_object_unref(layout);
}

int CountLineBreaks(const std::string& aText) {
  int count = 0;
  for (std::size_t at = aText.find("\r\n"); at != std::string::npos; at = aText.find("\r\n", at + 2)) ++count;
  return count;
}

// The question label sizes itself to its text; it is placed in the middle area (below the title band) by
// the window's rule, in which the area is still as high as it is before the button band is added and the
// band's height is taken off explicitly.
void DrawMessage(cairo_t* aCairo, const ConfirmState& aState) {
  PangoLayout* layout = MakeLayout(aCairo, kMessageFont, aState.fRequest.fMessage);
  int labelWidth = 0;
  int labelHeight = 0;
  pango_layout_get_pixel_size(layout, &labelWidth, &labelHeight);
  int areaWidth = kWindowWidth;
  int areaHeight = kWindowHeight - kTitleHeight;
  int lineBreaks = CountLineBreaks(aState.fRequest.fMessage);
  int left = (areaWidth - labelWidth) / 2;
  int top = (areaHeight - kWindowHeight / 4 - (lineBreaks + 1) * labelHeight) / 2;
  SetColor(aCairo, kDarkBlue);
  cairo_move_to(aCairo, left, kTitleHeight + top);
  pango_cairo_show_layout(aCairo, layout);
  g_object_unref(layout);
}

gboolean OnDraw(GtkWidget*, cairo_t* aCairo, gpointer aData) {
  auto* state = static_cast<ConfirmState*>(aData);
  SetColor(aCairo, state->fRequest.fColor);
  cairo_paint(aCairo);
  SetColor(aCairo, kDarkBlue);
  cairo_rectangle(aCairo, 0, 0, kWindowWidth, kTitleHeight);
  cairo_fill(aCairo);
  DrawCentred(aCairo, kTitleFont, state->fRequest.fTitle, kWhite, 0, 0, kWindowWidth, kTitleHeight);
  DrawMessage(aCairo, *state);
  for (const Button& button : state->fButtons) {
    SetColor(aCairo, button.fColor);
    cairo_rectangle(aCairo, button.fArea.x, button.fArea.y, button.fArea.width, button.fArea.height);
    cairo_fill(aCairo);
    DrawCentred(aCairo, kButtonFont, button.fCaption, kBlack, button.fArea.x, button.fArea.y,
                button.fArea.width, button.fArea.height);
  }
  return TRUE;
}

int ButtonAt(const ConfirmState& aState, double aX, double aY) {
  for (std::size_t i = 0; i < aState.fButtons.size(); ++i) {
    const GdkRectangle& area = aState.fButtons[i].fArea;
    if (aX >= area.x && aX < area.x + area.width && aY >= area.y && aY < area.y + area.height)
      return static_cast<int>(i);
  }
  return -1;
}

// The first answer ends the window; whatever follows it (the window's own destruction) changes nothing.
void Answer(ConfirmState& aState, int aAnswer) {
  if (aState.fAnswered) return;
  aState.fAnswered = true;
  aState.fAnswer = aAnswer;
  gtk_main_quit();
}

gboolean OnPress(GtkWidget*, GdkEventButton* aEvent, gpointer aData) {
  auto* state = static_cast<ConfirmState*>(aData);
  if (aEvent->button == 1) state->fPressedButton = ButtonAt(*state, aEvent->x, aEvent->y);
  return TRUE;
}

// A click is a press and a release on the same button, as with any push button.
gboolean OnRelease(GtkWidget*, GdkEventButton* aEvent, gpointer aData) {
  auto* state = static_cast<ConfirmState*>(aData);
  if (aEvent->button != 1) return TRUE;
  int released = ButtonAt(*state, aEvent->x, aEvent->y);
  if (released >= 0 && released == state->fPressedButton) Answer(*state, state->fButtons[released].fAnswer);
  state->fPressedButton = -1;
  return TRUE;
}

gboolean OnMotion(GtkWidget* aWidget, GdkEventMotion* aEvent, gpointer aData) {
  auto* state = static_cast<ConfirmState*>(aData);
  bool overButton = ButtonAt(*state, aEvent->x, aEvent->y) >= 0;
  gdk_window_set_cursor(gtk_widget_get_window(aWidget), overButton ? state->fHandCursor : nullptr);
  return FALSE;
}

// Every way of closing the window other than a button answers Cancel.
gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer aData) {
  Answer(*static_cast<ConfirmState*>(aData), kExitCancel);
  return TRUE;
}

gboolean OnKey(GtkWidget*, GdkEventKey* aEvent, gpointer aData) {
  bool altF4 = aEvent->keyval == GDK_KEY_F4 && (aEvent->state & GDK_MOD1_MASK) != 0;
  if (aEvent->keyval == GDK_KEY_Escape || altF4) {
    Answer(*static_cast<ConfirmState*>(aData), kExitCancel);
    return TRUE;
  }
  return FALSE;
}

void PlaceButtons(ConfirmState& aState) {
  const ConfirmRequest& request = aState.fRequest;
  std::vector<Button> buttons;
  if (request.fYes) buttons.push_back({kExitYes, "Yes", kGreen, {}});
  if (request.fNo) buttons.push_back({kExitNo, "No", kRed, {}});
  if (request.fCancel) buttons.push_back({kExitCancel, "Cancel", kSilver, {}});
  int bandHeight = kWindowHeight / 4;
  aState.fButtonWidth = buttons.empty() ? 0 : kWindowWidth / static_cast<int>(buttons.size());
  for (std::size_t i = 0; i < buttons.size(); ++i)
    buttons[i].fArea = {static_cast<int>(i) * aState.fButtonWidth, kWindowHeight - bandHeight,
                        aState.fButtonWidth, bandHeight};
  aState.fButtons = std::move(buttons);
}

}  // namespace

int RunConfirm(const ConfirmRequest& aRequest) {
  ConfirmState state;
  state.fRequest = aRequest;
  PlaceButtons(state);

  GtkWidget* window = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  state.fWindow = window;
  gtk_window_set_title(GTK_WINDOW(window), aRequest.fTitle.c_str());
  gtk_window_set_decorated(GTK_WINDOW(window), FALSE);
  gtk_window_set_resizable(GTK_WINDOW(window), FALSE);
  gtk_window_set_default_size(GTK_WINDOW(window), kWindowWidth, kWindowHeight);
  gtk_window_set_position(GTK_WINDOW(window), GTK_WIN_POS_CENTER);
  // The question stands in for a modal window of the till program: it must not open behind it.
  gtk_window_set_keep_above(GTK_WINDOW(window), TRUE);

  GtkWidget* canvas = gtk_drawing_area_new();
  gtk_widget_set_size_request(canvas, kWindowWidth, kWindowHeight);
  gtk_widget_add_events(canvas, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
  gtk_container_add(GTK_CONTAINER(window), canvas);
  g_signal_connect(canvas, "draw", G_CALLBACK(OnDraw), &state);
  g_signal_connect(canvas, "button-press-event", G_CALLBACK(OnPress), &state);
  g_signal_connect(canvas, "button-release-event", G_CALLBACK(OnRelease), &state);
  g_signal_connect(canvas, "motion-notify-event", G_CALLBACK(OnMotion), &state);
  g_signal_connect(window, "delete-event", G_CALLBACK(OnDelete), &state);
  // A window destroyed from outside (a window manager or a tool killing it) has been closed too.
  g_signal_connect(window, "destroy-event", G_CALLBACK(OnDelete), &state);
  g_signal_connect(window, "key-press-event", G_CALLBACK(OnKey), &state);

  state.fHandCursor = gdk_cursor_new_from_name(gdk_display_get_default(), "pointer");
  gtk_widget_show_all(window);
  gtk_window_present(GTK_WINDOW(window));
  gtk_main();
  gtk_widget_destroy(window);
  if (state.fHandCursor != nullptr) g_object_unref(state.fHandCursor);
  return state.fAnswer;
}

}  // namespace qzconfirm
