#pragma once
// One line of the ticker band, as read from one feed item.

#include <string>

namespace tidewire {

struct Headline {
  std::u16string link;       // the item's link, exactly as the document gives it
  std::u16string title;      // the cleaned item title, or "<No Title>"
  std::u16string text;       // what the band draws: title, ". ", cleaned description
  std::u16string feedTitle;  // the cleaned first title of the document
  std::u16string fetchTime;  // local "hh:mm" at which the document was read

  bool operator==(const Headline&) const = default;
};

}  // namespace tidewire
