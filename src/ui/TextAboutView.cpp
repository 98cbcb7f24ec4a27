#include "ui/TextAboutView.h"

#include <ostream>

#include "platform/Text.h"

namespace kestrun::ui {

void TextAboutView::Show(bool /*modal*/) {
  if (shown_) return;
  shown_ = true;
  // The box keeps Windows line ends; a line on a stream ends in a line feed.
  out_ << text::WithLineFeeds(text_);
  out_.flush();
  open_ = false;
}

}  // namespace kestrun::ui
