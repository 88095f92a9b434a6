// A GL table for tests: while a RecordingGL is alive, every entry point of the global `GL`
// table appends {name, arguments} to its log instead of drawing. The previous table comes back
// when it is destroyed. One recorder at a time.
//
//     RecordingGL gl;
//     element.Draw();
//     EXPECT_EQ(gl.Count("glVertex2f"), 24u);
//     EXPECT_EQ(gl.Names().front(), "glEnable");
#pragma once

#include "gl/OpenGL12.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <string>
#include <vector>

namespace lumivex::testing {

// One recorded call; integer and enum arguments are held as doubles (exact for GL's values).
struct GLCall {
    std::string Name;
    std::vector<double> Args;
};

class RecordingGL {
  public:
    RecordingGL();
    ~RecordingGL();
    RecordingGL(const RecordingGL&) = delete;
    RecordingGL& operator=(const RecordingGL&) = delete;

    const std::vector<GLCall>& Calls() const { return calls_; }
    void Clear() { calls_.clear(); }
    bool Empty() const { return calls_.empty(); }

    // Names of all calls, in order.
    std::vector<std::string> Names() const;
    // How many calls of `name` were made.
    std::size_t Count(const std::string& name) const;
    // Every call of `name`, in order.
    std::vector<GLCall> Only(const std::string& name) const;
    // The calls before the first `name` (e.g. the state set up before glBegin).
    std::vector<GLCall> Before(const std::string& name) const;

  private:
    friend void RecordGLCall(const char* name, std::vector<double> args);
    std::vector<GLCall> calls_;
    GLEntryPoints saved_;
};

// Whether calls[from...] begin with `expected`: the same names, and arguments that agree as the
// single-precision values GL was given (within a few units in the last place).
::testing::AssertionResult StreamAt(const std::vector<GLCall>& calls, std::size_t from,
                                    const std::vector<GLCall>& expected);

inline GLCall Vertex(double x, double y) {
    return {"glVertex2f", {x, y}};
}

// Whether a full-screen stream holds, from `from`, `group` (its calls at the first tile) at each of
// the first three tiles, and then, after the group's 28 tiles, `next` in the same way. Those tiles
// are the bottom row's first, 0.87 tile widths (120/pi) apart: each moves the vertices across.
::testing::AssertionResult TiledAt(const std::vector<GLCall>& calls, std::size_t from,
                                   const std::vector<GLCall>& group,
                                   const std::vector<GLCall>& next);

// Binds every entry point of `GL` to a function that does nothing (for allocation counts and
// timing runs where the record itself would be in the way). Returns the previous table.
GLEntryPoints BindSilentGL();

} // namespace lumivex::testing
