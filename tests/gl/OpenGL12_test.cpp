// Loading and releasing the GL and GLU libraries, and the platform-error messages.
#include "gl/OpenGL12.h"

#include "support/FakePlatform.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace lumivex {
namespace {

int vertices = 0;
void LMVX_APIENTRY CountVertex(GLfloat, GLfloat) {
    ++vertices;
}

class OpenGLLoaderTest : public ::testing::Test {
  protected:
    OpenGLLoaderTest() { SetPlatform(&fake); }
    ~OpenGLLoaderTest() override {
        CloseOpenGL();
        SetPlatform(nullptr);
    }
    FakePlatform fake;
};

TEST_F(OpenGLLoaderTest, BothLibrariesLoadOrNeither) {
    fake.AddLibrary("libgl-only.so", {{"glVertex2f", reinterpret_cast<void*>(&CountVertex)}});
    EXPECT_FALSE(LoadOpenGL("libgl-only.so", "missing-glu.so"));
    EXPECT_EQ(GLLibrary, nullptr);
    EXPECT_EQ(GLULibrary, nullptr);
    EXPECT_TRUE(fake.LoadedLibraries().empty());
    EXPECT_EQ(GL.glVertex2f, nullptr);

    // The GLU name is tried even when the GL library already failed.
    fake.ClearLog();
    EXPECT_FALSE(LoadOpenGL("missing-gl.so", "libgl-only.so"));
    EXPECT_EQ(fake.CountOf("LoadLibrary("), 2u);
    EXPECT_TRUE(fake.LoadedLibraries().empty());
}

TEST_F(OpenGLLoaderTest, ASecondLoadReleasesTheFirstPairAndCloseEmptiesTheTable) {
    fake.AddLibrary("gl-a.so", {{"glVertex2f", reinterpret_cast<void*>(&CountVertex)}});
    fake.AddLibrary("glu-a.so");
    fake.AddLibrary("gl-b.so", {{"glVertex2f", reinterpret_cast<void*>(&CountVertex)}});
    fake.AddLibrary("glu-b.so");
    ASSERT_TRUE(LoadOpenGL("gl-a.so", "glu-a.so"));
    ASSERT_TRUE(LoadOpenGL("gl-b.so", "glu-b.so"));
    EXPECT_EQ(fake.LoadedLibraries(), (std::vector<std::string>{"gl-b.so", "glu-b.so"}));
    EXPECT_TRUE(EnsureOpenGL()); // loaded already: nothing new is opened
    EXPECT_EQ(fake.CountOf("LoadLibrary("), 4u);

    CloseOpenGL();
    EXPECT_TRUE(fake.LoadedLibraries().empty());
    EXPECT_EQ(GL.glVertex2f, nullptr);
    CloseOpenGL(); // with nothing loaded it only empties the table
    EXPECT_EQ(fake.CountOf("FreeLibrary("), 4u);
}

TEST_F(OpenGLLoaderTest, EnsureLoadsTheSystemPairWhenNothingIsLoaded) {
    fake.AddLibrary("OpenGL32.DLL");
    fake.AddLibrary("GLU32.DLL");
    EXPECT_TRUE(EnsureOpenGL());
    EXPECT_EQ(fake.Calls("LoadLibrary("),
              (std::vector<std::string>{"LoadLibrary(OpenGL32.DLL)", "LoadLibrary(GLU32.DLL)"}));
}

// A library that loads but is no GL library must not crash the saver: what it lacks draws
// nothing, what it has is used.
TEST_F(OpenGLLoaderTest, EntryPointsALibraryLacksDoNothing) {
    fake.AddLibrary("not-gl.so", {{"glVertex2f", reinterpret_cast<void*>(&CountVertex)}});
    fake.AddLibrary("glu.so");
    ASSERT_TRUE(LoadOpenGL("not-gl.so", "glu.so"));
    ASSERT_NE(GL.glBegin, nullptr);
    ASSERT_NE(GL.glOrtho, nullptr);
    vertices = 0;
    GL.glBegin(GL_LINES);
    GL.glVertex2f(1, 2);
    GL.glEnd();
    GL.glFlush();
    EXPECT_EQ(vertices, 1);
}

TEST(Win32ErrorTest, MessageFormsForACodeAndForNone) {
    EXPECT_STREQ(EWin32Error(9, "BadDrawable").what(), "Win32 Error.  Code: 9.\nBadDrawable");
    EXPECT_STREQ(EWin32Error(0, "ignored").what(), "A Win32 API function failed");
    EXPECT_EQ(EWin32Error(9, "x").Code(), 9u);
}

} // namespace
} // namespace lumivex
