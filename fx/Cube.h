// The flat-shaded cube of the opening scenes: a model of 8 corners and 6 faces, swung into view
// by a damped spring, turned about two axes and projected with a 320-pixel focal length.
#pragma once

struct CubeVertex {
    float fX, fY, fZ;           // object coordinates
    float fRotX, fRotY, fRotZ;  // rotated by the last Update
    float fScreenX, fScreenY;   // projected by the last Project
};

struct CubeFace {
    CubeVertex Normal;  // outward unit normal; its screen fields are unused
    int nIndex[4];      // corners, counter-clockwise on the screen seen from outside
};

class CCube {
public:
    explicit CCube(float fHalfSize);

    void Update();
    void Project();
    void Draw();

    CubeVertex m_Vertices[8];
    CubeVertex m_Position;
    CubeFace m_Faces[6];
    int m_nScreenX;
    float m_fAngleX, m_fAngleY, m_fAngleZ;
    float m_fVelocityY;
    float m_fDamping;
};

// Written by the demo script: how far the opening scene has run (0 to 1), and whether the zoom
// has ended, which freezes the cube's motion for the rest of the run.
extern float g_fSceneProgress;
extern bool g_bZoomDone;
