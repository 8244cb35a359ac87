// The demo script: opens the screen, plays the production, cleans up.
#pragma once

// Set while scene 1 shows the cube alone, before its flash.
extern bool g_bCubeOnly;

// False when the screen could not be opened, and nothing was played.
bool RunDemo();
