// The production's files, read from the folder it runs in. The one list of their names: the demo
// loads them from here, the asset maker writes exactly these, the tests make stand-ins under the
// same names, and the build and the scripts read them out of this file (every line that holds one
// quoted name ending in .bmp or .wav and a comma).
#pragma once

// One name a line, as the build and the scripts read them.
// clang-format off

// The pictures, in the order the demo loads them.
#define ASSET_PICTURES 10
const char* const g_pszPictureFiles[ASSET_PICTURES] = {
    "3Z-ER-AVE.bmp",  // the opening picture, the background of scenes 1 and 2
    "SS.bmp",         // the mask that zooms away
    "Plimbrix.bmp",   // the band that slides down
    "Presents.bmp",   // the scroller
    "Vorbax.bmp",     // the six credit pages
    "MurkGlavv.bmp",
    "tolbo.bmp",
    "zemmi.bmp",
    "Dedicate.bmp",
    "TheEnd.bmp",
};

// The sounds: the streamed music, then the three effects (static sounds 0, 1 and 2).
#define ASSET_SOUNDS 4
const char* const g_pszSoundFiles[ASSET_SOUNDS] = {
    "Ruzuzireve.wav",  // the music
    "THX.wav",         // from the first frame
    "Bang.wav",        // when the mask's zoom ends
    "Dshoof.wav",      // after scene 2
};
// clang-format on
