#pragma once

// Asks the X server whether a compositing manager runs; only then do windows show
// their opacity.
class CompositorProbe {
public:
    static bool compositing();
};
