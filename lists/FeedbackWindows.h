#pragma once

// Local stand-ins for the rating and feedback windows of the feedback framework: rating opens
// Tanvill's page in the store, feedback a new mail to its makers. The rating prompt and the
// Send Feedback menu command use them.

namespace tanvill {

void presentRatingWindow();
void presentFeedbackWindow();

} // namespace tanvill
