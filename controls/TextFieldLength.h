#pragma once

// Keeps what a text field holds within a length, counted in UTF-16 code units as QString
// counts. The field's own maximum length cuts a paste at the limit even inside a character of
// two code units (an emoji); such a half would be replaced when the text is stored. Used by
// the fields whose text is kept only up to a length: the names of lists.

#include <QtGlobal>

class QLineEdit;

namespace tanvill {

// Sets the field's maximum length and drops a character that an edit cut in half. Call it
// before connecting to the field's textEdited, so that the slots read the whole text.
void limitTextLength(QLineEdit *field, qsizetype limit);

} // namespace tanvill
