#include "fx/Cube.h"

#include <cfloat>
#include <cmath>
#include <limits>

#include "fx/Triangle.h"

float g_fSceneProgress = 0.0f;
bool g_bZoomDone = false;

namespace {

struct Corner {
    float fX, fY, fZ;
};

const Corner kCorners[8] = {
    {-1, 1, -1}, {1, 1, -1}, {1, -1, -1}, {-1, -1, -1}, {-1, 1, 1}, {1, 1, 1}, {1, -1, 1}, {-1, -1, 1},
};

struct FaceModel {
    Corner normal;
    int nIndex[4];
};

const FaceModel kFaces[6] = {
    {{0, 0, -1}, {0, 1, 2, 3}}, {{1, 0, 0}, {1, 5, 6, 2}}, {{0, 0, 1}, {5, 4, 7, 6}},
    {{-1, 0, 0}, {4, 0, 3, 7}}, {{0, 1, 0}, {4, 5, 1, 0}}, {{0, -1, 0}, {3, 2, 6, 7}},
};

// The float nearest each step's increment.
const float kDampingStep = 0.0005f;
const float kTurnX = 0.01f;
const float kTurnY = 0.075f;

struct Turn {
    double dCosX, dSinX, dCosY, dSinY, dCosZ, dSinZ;
};

// Each stage is stored as floats before the next reads it, so the poses are the same on every
// machine whatever its floating-point registers.
void Rotate(const Turn& t, CubeVertex& v)
{
    const float x1 = v.fX;
    const float y1 = static_cast<float>(v.fY * t.dCosX - v.fZ * t.dSinX);
    const float z1 = static_cast<float>(v.fY * t.dSinX + v.fZ * t.dCosX);
    const float x2 = static_cast<float>(x1 * t.dCosY + z1 * t.dSinY);
    const float z2 = static_cast<float>(z1 * t.dCosY - x1 * t.dSinY);
    v.fRotX = static_cast<float>(x2 * t.dCosZ + y1 * t.dSinZ);
    v.fRotY = static_cast<float>(y1 * t.dCosZ - x2 * t.dSinZ);
    v.fRotZ = z2;
}

// Truncation toward zero is defined only for floats that fit an int; anything else (a corner
// at or behind the eye, an infinity, NaN) leaves the face out.
bool ToScreenInt(float f, int& n)
{
    if (!(std::fabs(f) < 2147483648.0f))
        return false;
    n = static_cast<int>(f);
    return true;
}

// A corner at or behind the eye projects to no float at all; it becomes an infinity (or stays
// NaN) instead of an out-of-range conversion, and Draw leaves its faces out.
float ToScreenFloat(double d)
{
    if (d > FLT_MAX)
        return std::numeric_limits<float>::infinity();
    if (d < -FLT_MAX)
        return -std::numeric_limits<float>::infinity();
    return static_cast<float>(d);
}

}  // namespace

CCube::CCube(float fHalfSize)
    : m_Position{0, -1400, 500, 0, 0, 0, 0, 0}, m_nScreenX(0), m_fAngleX(0), m_fAngleY(0), m_fAngleZ(0),
      m_fVelocityY(0), m_fDamping(1)
{
    for (int i = 0; i < 8; ++i) {
        m_Vertices[i] = CubeVertex{};
        m_Vertices[i].fX = kCorners[i].fX * fHalfSize;
        m_Vertices[i].fY = kCorners[i].fY * fHalfSize;
        m_Vertices[i].fZ = kCorners[i].fZ * fHalfSize;
    }
    for (int i = 0; i < 6; ++i) {
        m_Faces[i].Normal = CubeVertex{};
        m_Faces[i].Normal.fX = kFaces[i].normal.fX;
        m_Faces[i].Normal.fY = kFaces[i].normal.fY;
        m_Faces[i].Normal.fZ = kFaces[i].normal.fZ;
        for (int k = 0; k < 4; ++k)
            m_Faces[i].nIndex[k] = kFaces[i].nIndex[k];
    }
}

void CCube::Update()
{
    if (!g_bZoomDone) {
        // A spring towards height 0 whose position is divided down a little more every step,
        // while the scene's progress draws the cube nearer.
        m_fVelocityY = static_cast<float>(-m_Position.fY / 1000.0 + m_fVelocityY);
        m_Position.fY = static_cast<float>(static_cast<double>(m_Position.fY) + m_fVelocityY);
        m_Position.fY = static_cast<float>(m_Position.fY / static_cast<double>(m_fDamping));
        m_Position.fZ = static_cast<float>(500.0 - 500.0 * g_fSceneProgress);
        m_fDamping = static_cast<float>(static_cast<double>(m_fDamping) + kDampingStep);
        m_fAngleX = static_cast<float>(static_cast<double>(m_fAngleX) + kTurnX);
        m_fAngleY = static_cast<float>(static_cast<double>(m_fAngleY) + kTurnY);
    }
    const double a = m_fAngleX, b = m_fAngleY, c = m_fAngleZ;
    const Turn t = {std::cos(a), std::sin(a), std::cos(b), std::sin(b), std::cos(c), std::sin(c)};
    for (CubeVertex& v : m_Vertices)
        Rotate(t, v);
    for (CubeFace& f : m_Faces)
        Rotate(t, f.Normal);
}

void CCube::Project()
{
    const double dCentreX = m_nScreenX + 320;
    for (CubeVertex& v : m_Vertices) {
        const double d = static_cast<double>(v.fRotZ) + m_Position.fZ + 500.0;
        v.fScreenX = ToScreenFloat(dCentreX + (static_cast<double>(v.fRotX) + m_Position.fX) * 320.0 / d);
        v.fScreenY = ToScreenFloat((static_cast<double>(v.fRotY) + m_Position.fY) * 320.0 / d + 240.0);
    }
}

// No sorting and no depth buffer: for a convex solid, drawing only the faces that turn towards
// the eye gives the right picture.
void CCube::Draw()
{
    for (const CubeFace& face : m_Faces) {
        const CubeVertex* c[4];
        for (int k = 0; k < 4; ++k)
            c[k] = &m_Vertices[face.nIndex[k]];
        const float fD = static_cast<float>((static_cast<double>(c[2]->fScreenX) - c[0]->fScreenX) *
                                                (static_cast<double>(c[1]->fScreenY) - c[0]->fScreenY) -
                                            (static_cast<double>(c[1]->fScreenX) - c[0]->fScreenX) *
                                                (static_cast<double>(c[2]->fScreenY) - c[0]->fScreenY));
        if (!(fD > 0))
            continue;
        const double dShade = (static_cast<double>(face.Normal.fRotZ) + 1.0) / 2.0 * 8.0;
        if (!(dShade > -1.0 && dShade < 9.0))
            continue;
        const int n = static_cast<int>(dShade);
        const unsigned char colour = static_cast<unsigned char>(127 - (16 - (n + 8)));
        int x[4], y[4];
        bool bFits = true;
        for (int k = 0; k < 4; ++k)
            bFits = bFits && ToScreenInt(c[k]->fScreenX, x[k]) && ToScreenInt(c[k]->fScreenY, y[k]);
        if (!bFits)
            continue;
        FillTriangle(x[0], y[0], x[1], y[1], x[3], y[3], colour);
        FillTriangle(x[1], y[1], x[2], y[2], x[3], y[3], colour);
    }
}
