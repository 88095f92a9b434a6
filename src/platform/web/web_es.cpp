// Binds the batching layer's ES table to the browser's WebGL 2 through emscripten's GLES3
// functions. A file of its own: the GLES header defines the GL_ names as macros, which the
// program's own headers use as enumerators.
#include "gl/BatchingGL.h"
#include "platform/web/web_platform.h"

#include <GLES3/gl3.h>

namespace lumivex {

void BindWebGLFunctions() {
#define LUMIVEX_ES_WEBGL(ret, name, params, args) ES.name = &::name;
    LUMIVEX_ES_FUNCTIONS(LUMIVEX_ES_WEBGL)
#undef LUMIVEX_ES_WEBGL
}

} // namespace lumivex
