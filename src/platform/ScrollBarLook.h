#pragma once

namespace platform {

// Fusion draws a scroll bar's thumb lighter than its trough: when the thumb fills most of the bar
// (a list a little longer than its box), the bare stretch of trough reads as the thumb, at the
// wrong end. Under Fusion the thumb is drawn darker than the trough instead, as on most desktops;
// other styles are left as they are.
void useDistinctScrollBarThumbs();

} // namespace platform
