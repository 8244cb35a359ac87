// The demo script: opens the screen, plays the production, cleans up.
#pragma once

// False when the screen could not be opened, and nothing was played.
bool RunDemo();
