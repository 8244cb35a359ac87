// The cube's model, its swing and turn, and its projection.
#include <gtest/gtest.h>

#include <cmath>

#include "fx/Cube.h"

namespace {

class CubeTest : public testing::Test {
protected:
    void SetUp() override
    {
        g_fSceneProgress = 0;
        g_bZoomDone = false;
    }
    void TearDown() override
    {
        g_fSceneProgress = 0;
        g_bZoomDone = false;
    }

    // At rest in the middle of the screen, facing the viewer.
    static void Centre(CCube& cube)
    {
        cube.m_Position.fX = cube.m_Position.fY = cube.m_Position.fZ = 0;
        g_bZoomDone = true;
        cube.Update();
        cube.Project();
    }
};

TEST_F(CubeTest, ConstructedModel)
{
    CCube cube(100.0f);
    EXPECT_EQ(cube.m_Vertices[3].fX, -100);
    EXPECT_EQ(cube.m_Vertices[3].fY, -100);
    EXPECT_EQ(cube.m_Vertices[3].fZ, -100);
    EXPECT_EQ(cube.m_Vertices[5].fX, 100);
    EXPECT_EQ(cube.m_Vertices[5].fY, 100);
    EXPECT_EQ(cube.m_Vertices[5].fZ, 100);
    EXPECT_EQ(cube.m_Faces[2].Normal.fZ, 1);
    EXPECT_EQ(cube.m_Faces[2].nIndex[0], 5);
    EXPECT_EQ(cube.m_Faces[2].nIndex[1], 4);
    EXPECT_EQ(cube.m_Faces[2].nIndex[2], 7);
    EXPECT_EQ(cube.m_Faces[2].nIndex[3], 6);
    EXPECT_EQ(cube.m_Position.fX, 0);
    EXPECT_EQ(cube.m_Position.fY, -1400);
    EXPECT_EQ(cube.m_Position.fZ, 500);
    EXPECT_EQ(cube.m_fDamping, 1);
    EXPECT_EQ(cube.m_nScreenX, 0);
    EXPECT_EQ(cube.m_fAngleX + cube.m_fAngleY + cube.m_fAngleZ + cube.m_fVelocityY, 0);
}

TEST_F(CubeTest, EveryFaceNormalIsOutwardAndEveryCornerIsOnTheFace)
{
    CCube cube(1.0f);
    for (const CubeFace& face : cube.m_Faces)
        for (int k = 0; k < 4; ++k) {
            const CubeVertex& v = cube.m_Vertices[face.nIndex[k]];
            EXPECT_EQ(v.fX * face.Normal.fX + v.fY * face.Normal.fY + v.fZ * face.Normal.fZ, 1);
        }
}

TEST_F(CubeTest, FirstAndSecondUpdateSwingAndTurn)
{
    CCube cube(100.0f);
    cube.Update();
    EXPECT_EQ(cube.m_fVelocityY, 1.4f);
    EXPECT_EQ(cube.m_Position.fY, -1398.6f);
    EXPECT_EQ(cube.m_Position.fZ, 500);
    EXPECT_EQ(cube.m_fDamping, 1.0005f);
    EXPECT_EQ(cube.m_fAngleX, 0.01f);
    EXPECT_EQ(cube.m_fAngleY, 0.075f);
    EXPECT_EQ(cube.m_fAngleZ, 0);

    const CubeVertex& v0 = cube.m_Vertices[0];
    EXPECT_NEAR(v0.fRotX, -107.137, 1e-3);
    EXPECT_NEAR(v0.fRotY, 100.995, 1e-3);
    EXPECT_NEAR(v0.fRotZ, -91.224, 1e-3);
    const CubeVertex& n0 = cube.m_Faces[0].Normal;
    EXPECT_NEAR(n0.fRotX, -0.0749, 1e-4);
    EXPECT_NEAR(n0.fRotY, 0.0100, 1e-4);
    EXPECT_NEAR(n0.fRotZ, -0.9971, 1e-4);

    cube.Project();
    EXPECT_NEAR(v0.fScreenX, 282.275, 1e-3);
    EXPECT_NEAR(v0.fScreenY, -216.915, 1e-3);

    cube.Update();
    EXPECT_NEAR(cube.m_fVelocityY, 2.7986, 1e-4);
    EXPECT_NEAR(cube.m_Position.fY, -1395.104, 1e-3);
}

TEST_F(CubeTest, TheCubeDropsInSwingsThroughTheCentreAndSettles)
{
    CCube cube(100.0f);
    int nFirstCrossing = -1;
    float fLowest = 0;
    for (int i = 0; i < 3000; ++i) {
        cube.Update();
        if (nFirstCrossing < 0 && cube.m_Position.fY > 0)
            nFirstCrossing = i;
        fLowest = std::fmax(fLowest, cube.m_Position.fY);
    }
    EXPECT_GT(nFirstCrossing, 20) << "it takes a while to fall in from above the screen";
    EXPECT_LT(nFirstCrossing, 100);
    EXPECT_GT(fLowest, 100) << "it swings past the centre";
    EXPECT_LT(fLowest, 1400) << "the damping takes energy out";
    EXPECT_LT(std::fabs(cube.m_Position.fY), 5) << "and settles";
}

TEST_F(CubeTest, ZoomDoneFreezesTheMotionButStillRotates)
{
    CCube cube(100.0f);
    cube.Update();
    cube.Update();
    const CCube before = cube;
    g_bZoomDone = true;
    g_fSceneProgress = 1;
    cube.Update();
    EXPECT_EQ(cube.m_Position.fY, before.m_Position.fY);
    EXPECT_EQ(cube.m_Position.fZ, before.m_Position.fZ);
    EXPECT_EQ(cube.m_fVelocityY, before.m_fVelocityY);
    EXPECT_EQ(cube.m_fDamping, before.m_fDamping);
    EXPECT_EQ(cube.m_fAngleX, before.m_fAngleX);
    EXPECT_EQ(cube.m_fAngleY, before.m_fAngleY);
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(cube.m_Vertices[i].fRotX, before.m_Vertices[i].fRotX);
        EXPECT_EQ(cube.m_Vertices[i].fRotZ, before.m_Vertices[i].fRotZ);
    }

    // Changing an angle by hand shows that the rotation is recomputed, not kept.
    cube.m_fAngleY = static_cast<float>(std::acos(-1.0) / 2);
    cube.m_fAngleX = 0;
    cube.Update();
    EXPECT_NEAR(cube.m_Faces[1].Normal.fRotX, 0, 1e-6);
    EXPECT_NEAR(cube.m_Faces[1].Normal.fRotZ, -1, 1e-6) << "a quarter turn brings face 1 to the front";
}

TEST_F(CubeTest, SceneProgressDrawsTheCubeNear)
{
    CCube cube(100.0f);
    g_fSceneProgress = 1;
    cube.Update();
    EXPECT_EQ(cube.m_Position.fZ, 0);
    g_fSceneProgress = 0.5f;
    cube.Update();
    EXPECT_EQ(cube.m_Position.fZ, 250);
}

TEST_F(CubeTest, ProjectionOfTheCubeAtRest)
{
    CCube cube(100.0f);
    g_bZoomDone = true;
    cube.Update();
    cube.Project();
    EXPECT_NEAR(cube.m_Vertices[0].fScreenX, 284.44, 0.01) << "the cube starts above the screen";
    EXPECT_NEAR(cube.m_Vertices[0].fScreenY, -222.22, 0.01);
    EXPECT_NEAR(cube.m_Vertices[4].fScreenX, 290.91, 0.01);
    EXPECT_NEAR(cube.m_Vertices[4].fScreenY, -138.18, 0.01);

    Centre(cube);
    const float want[8][2] = {{240, 320},         {400, 320},         {400, 160},         {240, 160},
                              {266.67f, 293.33f}, {373.33f, 293.33f}, {373.33f, 186.67f}, {266.67f, 186.67f}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_NEAR(cube.m_Vertices[i].fScreenX, want[i][0], 0.01) << i;
        EXPECT_NEAR(cube.m_Vertices[i].fScreenY, want[i][1], 0.01) << i;
    }
    cube.m_nScreenX = 20;
    cube.Project();
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(cube.m_Vertices[i].fScreenX, want[i][0] + 20, 0.01) << i;
}

}  // namespace
