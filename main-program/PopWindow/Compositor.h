#pragma once
#include <functional>

// Whether something composites translucent windows onto the screen. Without
// it, the transparent parts of a window show black, so the attached windows
// cut their outline out of the window instead.
namespace Compositor {

// On X11: whether the display's compositing-manager selection has an owner.
// Other platforms (Wayland, the offscreen platform) always composite.
bool isRunning();

// Replaces the check; an empty function brings the real one back. For tests.
void setCheck(std::function<bool()> check);

}  // namespace Compositor
