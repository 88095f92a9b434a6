// A frame allocates nothing: a heavy picture is moved and drawn several times while every heap
// allocation of the test program is counted.
#include "elements/ElementsGL_.h"
#include "support/AllocationCounter.h"
#include "support/RecordingGL.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace lumivex;

namespace {
void* volatile escape = nullptr;

class FrameAllocationTest : public ::testing::Test {
  protected:
    void SetUp() override { previous_ = lumivex::testing::BindSilentGL(); }
    void TearDown() override { GL = previous_; }

  private:
    GLEntryPoints previous_{};
};
} // namespace

TEST_F(FrameAllocationTest, CounterSeesAnAllocation) {
    const long seen = lumivex::testing::CountAllocations([] {
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
    const long seen = lumivex::testing::CountAllocations([&] {
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
