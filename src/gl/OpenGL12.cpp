// GL entry-point table and the loader of the GL and GLU libraries.
#include "gl/OpenGL12.h"

namespace lumivex {

GLEntryPoints GL;
LibraryHandle GLLibrary = nullptr;
LibraryHandle GLULibrary = nullptr;

namespace {
const char* const DefaultGLName = "OpenGL32.DLL";
const char* const DefaultGLUName = "GLU32.DLL";

// Stand-ins for entry points a loaded library lacks: a library that loads but is no GL library
// gives a blank picture instead of a jump through an empty pointer.
#define LUMIVEX_GL_NOTHING(ret, name, params, args)                                                \
    ret LMVX_APIENTRY Missing_##name params {                                                      \
        return ret();                                                                              \
    }
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
LUMIVEX_GL_FUNCTIONS(LUMIVEX_GL_NOTHING)
#pragma GCC diagnostic pop
#undef LUMIVEX_GL_NOTHING

void FillMissingGLEntryPoints() {
#define LUMIVEX_GL_FILL(ret, name, params, args)                                                   \
    if (GL.name == nullptr)                                                                        \
        GL.name = &Missing_##name;
    LUMIVEX_GL_FUNCTIONS(LUMIVEX_GL_FILL)
#undef LUMIVEX_GL_FILL
}
} // namespace

const std::vector<const char*>& GLFunctionNames() {
    static const std::vector<const char*> names = {
#define LUMIVEX_GL_NAME(ret, name, params, args) #name,
        LUMIVEX_GL_FUNCTIONS(LUMIVEX_GL_NAME)
#undef LUMIVEX_GL_NAME
    };
    return names;
}

void ClearGLEntryPoints() {
    GL = GLEntryPoints{};
}

void CloseOpenGL() {
    Platform& platform = GetPlatform();
    if (GLLibrary != nullptr) {
        platform.FreeLibrary(GLLibrary);
        GLLibrary = nullptr;
    }
    if (GLULibrary != nullptr) {
        platform.FreeLibrary(GLULibrary);
        GLULibrary = nullptr;
    }
    ClearGLEntryPoints();
}

bool LoadOpenGL(const std::string& glName, const std::string& gluName) {
    CloseOpenGL();
    Platform& platform = GetPlatform();
    GLLibrary = platform.LoadLibrary(glName);
    GLULibrary = platform.LoadLibrary(gluName);
    if (GLLibrary == nullptr || GLULibrary == nullptr) {
        CloseOpenGL();
        return false;
    }
    // Success depends only on the two loads; a name the library lacks draws nothing.
    BindGLEntryPoints([&](const char* name) { return platform.GetProcAddress(GLLibrary, name); });
    FillMissingGLEntryPoints();
    return true;
}

bool EnsureOpenGL() {
    if (GLLibrary != nullptr && GLULibrary != nullptr)
        return true;
    return LoadOpenGL(DefaultGLName, DefaultGLUName);
}

std::string Win32ErrorMessage(std::uint32_t code, const std::string& systemText) {
    if (code == 0)
        return "A Win32 API function failed";
    return "Win32 Error.  Code: " + std::to_string(code) + ".\n" + systemText;
}

EWin32Error::EWin32Error(std::uint32_t code, const std::string& systemText)
    : EPlatformError(code, Win32ErrorMessage(code, systemText)) {}

} // namespace lumivex
