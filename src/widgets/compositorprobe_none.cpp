#include "widgets/compositorprobe.h"

bool CompositorProbe::compositing() {
    return false;
}
