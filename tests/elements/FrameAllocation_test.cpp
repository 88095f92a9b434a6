// A frame allocates nothing: every heap allocation of the test program is counted while armed,
// and a heavy picture is moved and drawn several times in between.
#include "elements/ElementsGL_.h"
#include "support/RecordingGL.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

namespace {
bool counting = false;
long allocations = 0;
} // namespace

// The replacements pair malloc with free; GCC's mismatch check cannot see through them.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
#endif

void* operator new(std::size_t size) {
    if (counting)
        ++allocations;
    if (void* block = std::malloc(size == 0 ? 1 : size))
        return block;
    throw std::bad_alloc();
}
void operator delete(void* block) noexcept {
    std::free(block);
}
void operator delete(void* block, std::size_t) noexcept {
    std::free(block);
}

using namespace lumivex;

namespace {
void* volatile escape = nullptr;

class FrameAllocationTest : public ::testing::Test {
  protected:
    void SetUp() override { previous_ = lumivex::testing::BindSilentGL(); }
    void TearDown() override { GL = previous_; }

    static long CountAllocations(const auto& work) {
        allocations = 0;
        counting = true;
        work();
        counting = false;
        return allocations;
    }

  private:
    GLEntryPoints previous_{};
};
} // namespace

TEST_F(FrameAllocationTest, CounterSeesAnAllocation) {
    const long seen = CountAllocations([] {
        auto block = std::make_unique<std::vector<int>>(100);
        escape = block.get();
    });
    EXPECT_GE(seen, 1);
}

TEST_F(FrameAllocationTest, MovingAndDrawingAHeavyPictureAllocatesNothing) {
    TElementList list;
    list.Add(new TLine);
    list.Add(new TLine2);
    list.Add(new TLine3);
    list.Add(new TBezier);
    list.Add(new TBezier2);
    list.Add(new TCircle);
    list.Add(new TCircle2);
    list.Add(new TCircle3);
    list.Add(new TTriangle);
    list.Add(new TTriangle2);
    SetRandSeed(4242);
    for (std::int32_t i = 0; i < list.Count(); ++i) {
        TElement* element = list.Get(i);
        element->SetAlpha(true);
        element->SetMonochrome(true);
        element->SetMonoColor(0x00336699);
        element->SetNumOfReflections(72);
        element->SetFullScreen(true);
        element->Prepare();
    }
    const long seen = CountAllocations([&] {
        for (int frame = 0; frame < 20; ++frame) {
            for (std::int32_t i = 0; i < list.Count(); ++i) {
                list.Get(i)->Move();
                list.Get(i)->Move();
            }
            for (std::int32_t i = 0; i < list.Count(); ++i)
                list.Get(i)->Draw();
        }
    });
    EXPECT_EQ(seen, 0);
}
