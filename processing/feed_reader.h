#pragma once
// Turns one decoded feed document into headlines: every item with a description becomes one
// Headline, in document order.

#include <vector>

#include "processing/headline.h"
#include "processing/local_clock.h"
#include "processing/xml_document.h"

namespace tidewire {

inline constexpr char16_t NoTitleText[] = u"<No Title>";
inline constexpr char16_t UnreadableDescriptionText[] = u"Feed not readable";

// Loads the zero-terminated `text` (null counts as empty) into `document` and appends the
// headlines it yields to `headlines`, leaving the entries already there alone. Nothing is
// reported: a document that cannot be read yields nothing. With no document (the parser could
// not be created) nothing is read and nothing appended. Every headline of the document carries
// the same feed title and the time that `clock` gives once, after loading.
void ReadFeedDocument(XmlDocument* document, const char16_t* text, std::vector<Headline>& headlines,
                      const LocalClock& clock);

// The same for a document that is loaded already.
void ReadLoadedFeedDocument(const XmlDocument& document, std::vector<Headline>& headlines,
                            const LocalClock& clock);

}  // namespace tidewire
