#pragma once

// What assistive technology needs beyond Qt's own interfaces.
namespace platform {

// Registers our accessible interfaces (drop-down lists whose popup list follows their entry). After
// the application object exists and before the first window; calling it again changes nothing.
void installAccessibility();

} // namespace platform
