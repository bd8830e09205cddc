#pragma once

// The drawings the detail windows ship (screenshot placeholders, header buttons), found by
// name through Images once this has run; safe to call any number of times.

namespace tanvill {

void loadDetailImages();

} // namespace tanvill
