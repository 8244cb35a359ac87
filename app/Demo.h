// The demo script: opens the screen, plays the production, cleans up.
#pragma once

void RunDemo();
