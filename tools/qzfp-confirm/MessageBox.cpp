// The message box: the text, the information or error icon and an OK button.

#include <gtk/gtk.h>

#include <string>

#include "tools/qzfp-confirm/Windows.h"

namespace qzconfirm {

int RunMessage(int aKind, const std::string& aTitle, const std::string& aText) {
  GtkWidget* dialog =
      gtk_message_dialog_new(nullptr, GTK_DIALOG_MODAL, aKind == 1 ? GTK_MESSAGE_ERROR : GTK_MESSAGE_INFO,
                             GTK_BUTTONS_OK, "%s", aText.c_str());
  gtk_window_set_title(GTK_WINDOW(dialog), aTitle.c_str());
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  gtk_dialog_run(GTK_DIALOG(dialog));
  gtk_widget_destroy(dialog);
  return 0;
}

}  // namespace qzconfirm
