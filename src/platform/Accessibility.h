#pragma once

// What assistive technology needs beyond Qt's own interfaces.
namespace platform {

// Registers our accessible interfaces (drop-down lists named by their labels). After the
// application object exists and before the first window; calling it again changes nothing.
void installAccessibility();

} // namespace platform
