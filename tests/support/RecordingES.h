// A stand-in for the ES functions of the batching layer: while a RecordingES is alive, every entry
// point of `ES` appends {name, numeric arguments} to Calls (pointers as 0). Object names are 1, 2,
// 3... in order of creation; shaders compile unless told otherwise; framebuffers are complete up to
// MaxSamples samples and MaxSize a side; vertex uploads and the last matrix kept. One at a time.
#pragma once

#include "gl/BatchingGL.h"
#include "support/RecordingGL.h"

#include <initializer_list>
#include <string>
#include <vector>

namespace lumivex::testing {

class RecordingES {
  public:
    RecordingES();
    ~RecordingES();
    RecordingES(const RecordingES&) = delete;
    RecordingES& operator=(const RecordingES&) = delete;

    // The calls of the given names, in order.
    std::vector<GLCall> Of(std::initializer_list<std::string> names) const;
    void Clear() {
        Calls.clear();
        Uploaded.clear();
    }

    std::vector<GLCall> Calls;
    std::vector<float> Uploaded; // x, y, red, green, blue, alpha of each vertex, in upload order
    GLfloat Transform[16] = {};
    int MaxSamples = 4;
    int MaxSize = 16384; // the longest side of a complete framebuffer
    bool ShadersCompile = true;

  private:
    ESEntryPoints saved_;
};

} // namespace lumivex::testing
