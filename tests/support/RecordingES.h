// A stand-in for the ES functions of the batching layer: while a RecordingES is alive, every entry
// point of `ES` appends {name, numeric arguments} to its log (pointers log as 0). Object names are
// 1, 2, 3... in order of creation; shaders compile and link, framebuffers are complete up to
// MaxSamples samples; the vertex uploads and the last matrix are kept. One recorder at a time.
#pragma once

#include "gl/BatchingGL.h"
#include "support/RecordingGL.h"

#include <cstddef>
#include <string>
#include <vector>

namespace lumivex::testing {

class RecordingES {
  public:
    RecordingES();
    ~RecordingES();
    RecordingES(const RecordingES&) = delete;
    RecordingES& operator=(const RecordingES&) = delete;

    std::vector<GLCall> Calls;
    // x, y, red, green, blue, alpha of every vertex, one list per glBufferSubData.
    std::vector<std::vector<float>> Uploads;
    // The last matrix given to glUniformMatrix4fv.
    GLfloat Transform[16] = {};
    int MaxSamples = 4;
    bool ShadersCompile = true;

    std::size_t Count(const std::string& name) const;
    std::vector<GLCall> Only(const std::string& name) const;
    void Clear() {
        Calls.clear();
        Uploads.clear();
    }

  private:
    ESEntryPoints saved_;
};

// Binds every ES entry point to a function that does nothing but answer as the recorder does
// (for allocation counts). Returns the previous table.
ESEntryPoints BindSilentES();

} // namespace lumivex::testing
