#include "app/ModelProfile.h"

#include <cstdio>

// The desktop window is not built yet; until it is, the program says what it
// is and which meters it serves.
int main() {
    const auto settings = meterdesk::app::ResolveProfile(meterdesk::app::kBuildProfile);
    std::printf("meterdesk %s\n", settings.caption.c_str());
    std::printf("The window is not part of this build yet; run scripts/test for the suite.\n");
    return 0;
}
